#pragma once

#include <string>

#include "hardware_params.h"

// Outcome of a save. A failed save leaves the old file exactly as it was.
struct SaveResult {
  bool saved = false;
  std::wstring path;    // the file that was (or was to be) written
  std::wstring reason;  // why not, in the system's words; empty when saved
};

// The directory of the running executable plus "printer.ini".
std::wstring SettingsPath();

// Lays the values found in the file over `params`; a missing or unreadable file
// leaves them as they are.
void LoadSettings(HardwareParams& params);
void LoadSettingsFrom(const std::wstring& path, HardwareParams& params);

// Rewrites the whole file, replacing it in one step only once the new text is
// safely on disk.
SaveResult SaveSettings(const HardwareParams& params);
SaveResult SaveSettingsTo(const std::wstring& path, const HardwareParams& params);
