#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "file_io.h"
#include "hardware_params.h"
#include "settings_text.h"

// Outcome of a save. A failed save leaves the old file exactly as it was.
struct SaveResult {
  bool saved = false;
  SaveProblem problem = SaveProblem::None;
  std::wstring path;              // the file that was (or was to be) written
  std::wstring reason;            // the system's own words, where it gave any
  std::uint32_t systemError = 0;  // the system's error number, 0 if none
  // PreviousKeptAside: the file with the replaced bytes; Link: the link's target.
  std::wstring kept;
};

// The directory of the running executable plus "printer.ini".
std::wstring SettingsPath();

// What a refused save step found, in `result`.
void TakeFailure(const SaveFailure& failure, SaveResult& result);

// Where a save keeps the file it replaced: "printer.ini.bak" beside it.
std::wstring BackupPath(const std::wstring& settingsPath);

// Lays the values found in the file over `params`; a missing or unreadable file
// leaves them as they are.
void LoadSettings(HardwareParams& params);
// false when the file is not there or could not be read whole, with nothing
// laid over (on Windows the last error says why).
bool LoadSettingsFrom(const std::wstring& path, HardwareParams& params);
// What the file gives, read as LoadSettingsFrom reads it; false as there.
bool GivenInFile(const std::wstring& path, GivenValues& given);
// The same as LoadSettingsFrom, with what was read in `contents`: no error for
// a missing file.
SystemError ReadSettingsFile(FileSystem& files, const std::wstring& path, HardwareParams& params,
                             FileContents& contents);
// Lays the values of a settings file's bytes over `params`.
void ApplySettingsBytes(std::string_view bytes, HardwareParams& params);

// Rewrites the whole file, replacing it in one step only once the new text is
// safely on disk; with `expected`, only while the file is still that.
SaveResult SaveSettings(const HardwareParams& params);
SaveResult SaveSettingsTo(const std::wstring& path, const HardwareParams& params);
SaveResult SaveSettingsTo(FileSystem& files, const std::wstring& path, const HardwareParams& params,
                          const FileContents* expected = nullptr);
