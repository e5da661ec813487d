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

// Hands each line of `bytes`, decoded, to `take`. Lines are split on the raw
// bytes: in the multibyte encodings a locale can have, a byte 0x0A is always a
// line feed. Each line is decoded on its own, so one bad byte sequence cannot
// spill into the lines after it.
template <class Take>
void SplitLines(std::string_view bytes, Take take) {
  for (std::size_t end; (end = bytes.find('\n')) != std::string_view::npos;) {
    take(DecodeLine(bytes.substr(0, end)));
    bytes.remove_prefix(end + 1);
  }
  if (!bytes.empty()) take(DecodeLine(bytes));
}

// Hands each line of the file, decoded, to `take`, a piece of the file at a
// time; false if it is not there or cannot be read whole. A holder is waited
// for, as a save waits.
template <class Take>
bool ReadLines(const std::wstring& path, Take take) {
  FileSystem& files = SystemFiles();
  FileSystem::Handle file = -1;
  if (OpenToRead(files, path, file)) return false;
  std::string chunk(64 * 1024, '\0'), unfinished;
  std::size_t count = 0;
  SystemError error = 0;
  while (!(error = files.Read(file, chunk.data(), chunk.size(), count)) && count > 0) {
    const std::string_view data(chunk.data(), count);
    const std::size_t last = data.rfind('\n');
    if (last == std::string_view::npos) {
      unfinished.append(data);
      continue;
    }
    if (unfinished.empty()) {
      SplitLines(data.substr(0, last), take);
    } else {
      unfinished.append(data.substr(0, last));
      SplitLines(unfinished, take);
    }
    unfinished.assign(data.substr(last + 1));
  }
  files.Close(file);
  if (error) return false;
  SplitLines(unfinished, take);
  return true;
}

}  // namespace

std::wstring SettingsPath() {
  return ExecutableDirectory() + kSettingsFileName;
}

void TakeFailure(const SaveFailure& failure, SaveResult& result) {
  result.path = failure.file;
  result.reason = failure.reason;
  result.systemError = failure.systemError;
  result.kept = failure.kept;
}

std::wstring BackupPath(const std::wstring& settingsPath) {
  return settingsPath + L".bak";
}

void LoadSettings(HardwareParams& params) {
  LoadSettingsFrom(SettingsPath(), params);
}

// Read into a copy: a read that fails part way lays nothing over.
bool LoadSettingsFrom(const std::wstring& path, HardwareParams& params) {
  HardwareParams read = params;
  if (!ReadLines(path, [&](std::wstring line) { ApplySettingsLine(std::move(line), read); }))
    return false;
  params = read;
  return true;
}

bool GivenInFile(const std::wstring& path, GivenValues& given) {
  GivenValues read = NoValuesGiven();
  if (!ReadLines(path, [&](std::wstring line) { GiveSettingsLine(std::move(line), read); }))
    return false;
  given = read;
  return true;
}

SystemError ReadSettingsFile(FileSystem& files, const std::wstring& path, HardwareParams& params,
                             FileContents& contents) {
  const SystemError error = ReadFileContents(files, path, contents);
  if (!error) ApplySettingsBytes(contents.bytes, params);
  return error;
}

void ApplySettingsBytes(std::string_view bytes, HardwareParams& params) {
  SplitLines(bytes, [&](std::wstring line) { ApplySettingsLine(std::move(line), params); });
}

SaveResult SaveSettings(const HardwareParams& params) {
  return SaveSettingsTo(SettingsPath(), params);
}

SaveResult SaveSettingsTo(const std::wstring& path, const HardwareParams& params) {
  return SaveSettingsTo(SystemFiles(), path, params);
}

SaveResult SaveSettingsTo(FileSystem& files, const std::wstring& path, const HardwareParams& params,
                          const FileContents* expected) {
  SaveResult result;
  result.path = path;
  // A line feed would end the line early and turn the rest into a line of its own.
  if (params.strResetOrder.find(L'\n') != std::wstring::npos) {
    result.problem = SaveProblem::LineBreakInResetOrder;
    return result;
  }
  SaveFailure failure;
  result.problem =
      ReplaceFileContents(files, path, BackupPath(path),
                          EncodeLocaleText(FormatSettingsText(params)), failure, expected);
  if (result.problem != SaveProblem::None) TakeFailure(failure, result);
  // The new settings are in place even when their backup could not be made.
  result.saved =
      result.problem == SaveProblem::None || result.problem == SaveProblem::PreviousKeptAside;
  return result;
}
