#include "settings_file.h"

#include <string>
#include <string_view>

#include "file_io.h"
#include "locale_text.h"
#include "settings_text.h"

namespace {

constexpr wchar_t kSettingsFileName[] = L"printer.ini";

void ApplyRawLine(std::string_view bytes, HardwareParams& params) {
  if (!bytes.empty() && bytes.back() == '\r') bytes.remove_suffix(1);
  ApplySettingsLine(DecodeLocaleText(bytes), params);
}

}  // namespace

std::wstring SettingsPath() {
  return ExecutableDirectory() + kSettingsFileName;
}

std::wstring BackupPath(const std::wstring& settingsPath) {
  return settingsPath + L".bak";
}

void LoadSettings(HardwareParams& params) {
  LoadSettingsFrom(SettingsPath(), params);
}

bool LoadSettingsFrom(const std::wstring& path, HardwareParams& params) {
  InputFile file;
  if (file.Open(path) != 0) return false;
  // Lines are split on the raw bytes: in the multibyte encodings a locale can
  // have, a byte 0x0A is always a line feed. Each line is decoded on its own, so
  // one bad byte sequence cannot spill into the lines after it.
  static constexpr std::size_t kChunkSize = 64 * 1024;
  std::string chunk(kChunkSize, '\0');
  std::string unfinished;
  for (;;) {
    const std::ptrdiff_t count = file.Read(chunk.data(), chunk.size());
    if (count < 0) return true;  // keep what was read; the cut-off line is dropped
    if (count == 0) break;
    const std::string_view data(chunk.data(), static_cast<std::size_t>(count));
    std::size_t start = 0;
    for (std::size_t end; (end = data.find('\n', start)) != std::string_view::npos;
         start = end + 1) {
      if (unfinished.empty()) {
        ApplyRawLine(data.substr(start, end - start), params);
      } else {
        unfinished.append(data.substr(start, end - start));
        ApplyRawLine(unfinished, params);
        unfinished.clear();
      }
    }
    unfinished.append(data.substr(start));
  }
  if (!unfinished.empty()) ApplyRawLine(unfinished, params);
  return true;
}

SaveResult SaveSettings(const HardwareParams& params) {
  return SaveSettingsTo(SettingsPath(), params);
}

SaveResult SaveSettingsTo(const std::wstring& path, const HardwareParams& params) {
  return SaveSettingsTo(SystemFiles(), path, params);
}

SaveResult SaveSettingsTo(FileSystem& files, const std::wstring& path,
                          const HardwareParams& params) {
  SaveResult result;
  result.path = path;
  // A line feed would end the line early and turn the rest into a line of its own.
  if (params.strResetOrder.find(L'\n') != std::wstring::npos) {
    result.problem = SaveProblem::LineBreakInResetOrder;
    return result;
  }
  SaveFailure failure;
  result.problem = ReplaceFileContents(files, path, BackupPath(path),
                                       EncodeLocaleText(FormatSettingsText(params)), failure);
  if (result.problem != SaveProblem::None) {
    result.path = failure.file;
    result.reason = failure.reason;
    result.systemError = failure.systemError;
  }
  result.saved = result.problem == SaveProblem::None;
  return result;
}
