#include "settings_file.h"

#include <string>
#include <string_view>
#include <utility>

#include "file_io.h"
#include "locale_text.h"
#include "settings_text.h"

namespace {

constexpr wchar_t kSettingsFileName[] = L"printer.ini";

// Decodes one line of the file's bytes, without its line end.
std::wstring DecodeLine(std::string_view bytes) {
  if (!bytes.empty() && bytes.back() == '\r') bytes.remove_suffix(1);
  return DecodeLocaleText(bytes);
}

// Hands each line of the file, decoded, to `take`; false if it cannot be opened.
template <class Take>
bool ReadLines(const std::wstring& path, Take take) {
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
        take(DecodeLine(data.substr(start, end - start)));
      } else {
        unfinished.append(data.substr(start, end - start));
        take(DecodeLine(unfinished));
        unfinished.clear();
      }
    }
    unfinished.append(data.substr(start));
  }
  if (!unfinished.empty()) take(DecodeLine(unfinished));
  return true;
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
  return ReadLines(path, [&](std::wstring line) { ApplySettingsLine(std::move(line), params); });
}

bool GivenInFile(const std::wstring& path, GivenValues& given) {
  given = NoValuesGiven();
  return ReadLines(path, [&](std::wstring line) { GiveSettingsLine(std::move(line), given); });
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
