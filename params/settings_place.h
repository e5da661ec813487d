#pragma once

#include <string>

#include "file_system.h"
#include "hardware_params.h"
#include "settings_file.h"

// Which printer.ini the main application reads. It is an older program without
// a manifest: run without elevation from a protected folder (Program Files,
// Windows, ProgramData), Windows gives it a per-user copy of each file it could
// not write there, under %LOCALAPPDATA%\VirtualStore plus the folder's path
// without its drive, and from then on its reads find that copy first. V7ER,
// which Windows never redirects, finds the file the same way.
struct SettingsPlace {
  std::wstring path;      // the file read and saved
  std::wstring userCopy;  // this user's copy; empty where Windows keeps none
  bool elevated = false;
  bool userCopyExists = false;
  bool InUserCopy() const { return !userCopy.empty() && path == userCopy; }
  // The main application, run without elevation, reads the user's copy and
  // not the file this (elevated) run uses.
  bool OtherCopyRead() const { return elevated && userCopyExists && !InUserCopy(); }
  // A save refused for lack of rights goes to the user's copy, as Windows'
  // redirection would send the main application's.
  bool FallsBackToUserCopy() const { return !elevated && !userCopy.empty() && !InUserCopy(); }
};

// `programFolder` ends in its separator. One elevation query, one look at the
// user's copy and, without elevation, one virtualisation query: those only for
// a protected folder.
SettingsPlace FindSettingsPlace(FileSystem& files, const std::wstring& programFolder);

// Saves at `place.path`. Without elevation, when the file beside the program
// may not be made or replaced for lack of rights, the user's copy and its
// folders are made and the save goes there, as Windows' own redirection would;
// `place` then names it. The first such save keeps the file it stands in for
// as the copy's backup. `alsoUserCopy`: where OtherCopyRead(), the user's copy
// is saved too, after the file beside the program. `expected`: what the file
// beside the program must still hold (SaveSettingsTo).
SaveResult SaveSettingsAt(FileSystem& files, SettingsPlace& place, const HardwareParams& params,
                          bool alsoUserCopy = false, const FileContents* expected = nullptr);

// Whether a save at `place.path` could go through, as CheckReplaceable finds
// it, and whether this user may replace the file there.
SaveProblem CheckSettingsPlace(FileSystem& files, const SettingsPlace& place, bool& exists,
                               SaveFailure& failure);
