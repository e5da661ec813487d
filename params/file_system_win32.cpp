#include <windows.h>

#include <string>
#include <utility>

#include "file_io.h"

namespace {

// Where writing a file in place failed.
enum class FailedStage { NewFile, Writing, Replacing };

// Paths of MAX_PATH and longer open only with the extended-length prefix.
std::wstring ExtendedLengthPath(const std::wstring& path) {
  if (path.size() < MAX_PATH - 12 || path.starts_with(L"\\\\?\\")) return path;
  if (path.size() > 2 && path[1] == L':' && path[2] == L'\\') return L"\\\\?\\" + path;
  if (path.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + path.substr(2);
  return path;
}

std::wstring SystemMessageOf(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message = length ? std::wstring(text, length) : std::wstring();
  if (text) LocalFree(text);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r')) {
    message.pop_back();
  }
  return message;
}

bool WriteAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = bytes.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
    bytes.remove_prefix(written);
  }
  return true;
}

// Splits a path after its last separator: the folder (with it) and the name.
std::pair<std::wstring, std::wstring> FolderAndName(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return {std::wstring(), path};
  return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

// Temporary files of a save that was cut off (killed, power lost) before it
// could remove them: those of our own pattern, nobody else's.
void RemoveStaleTemporaries(const std::wstring& path) {
  const auto [folder, name] = FolderAndName(path);
  WIN32_FIND_DATAW found = {};
  const HANDLE search =
      FindFirstFileW(ExtendedLengthPath(folder + name + L".*.tmp").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
        IsTemporaryName(name, found.cFileName)) {
      DeleteFileW(ExtendedLengthPath(folder + found.cFileName).c_str());
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

// A new, empty file named after the settings file `namedAfter`, beside it,
// opened for writing by us alone.
HANDLE CreateTemporaryFile(const std::wstring& namedAfter, std::wstring& name) {
  const auto [folder, file] = FolderAndName(namedAfter);
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = ExtendedLengthPath(folder + TemporaryName(file, GetCurrentProcessId(), attempt));
    const HANDLE handle = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return handle;
  }
  return INVALID_HANDLE_VALUE;
}

// Writes `bytes` to a temporary file, forces them to disk and only then moves
// the file over `target` in one step. ERROR_SUCCESS, or why not; `stage` tells
// where it failed.
DWORD WriteInPlace(const std::wstring& namedAfter, const std::wstring& target,
                   std::string_view bytes, FailedStage& stage) {
  std::wstring temporary;
  const HANDLE file = CreateTemporaryFile(namedAfter, temporary);
  if (file == INVALID_HANDLE_VALUE) {
    stage = FailedStage::NewFile;
    return GetLastError();
  }
  stage = FailedStage::Writing;
  bool written = WriteAll(file, bytes) && FlushFileBuffers(file);
  DWORD error = written ? ERROR_SUCCESS : GetLastError();
  if (!CloseHandle(file) && written) {
    written = false;
    error = GetLastError();
  }
  if (written && !MoveFileExW(temporary.c_str(), ExtendedLengthPath(target).c_str(),
                              MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    written = false;
    error = GetLastError();
    stage = FailedStage::Replacing;
  }
  if (!written) DeleteFileW(temporary.c_str());
  return error;
}

// The whole file, or why not.
DWORD ReadWhole(const std::wstring& path, std::string& bytes) {
  InputFile file;
  if (!file.Open(path)) return GetLastError();
  char chunk[64 * 1024];
  for (;;) {
    const std::ptrdiff_t count = file.Read(chunk, sizeof chunk);
    if (count < 0) return GetLastError();
    if (count == 0) return ERROR_SUCCESS;
    bytes.append(chunk, static_cast<std::size_t>(count));
  }
}

}  // namespace

std::wstring ExecutableDirectory() {
  // The buffer grows until the whole path fits: a cut path would name another file.
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    if (path.size() >= 65536) return {};
    path.resize(path.size() * 2);
  }
  const std::size_t slash = path.rfind(L'\\');
  if (slash != std::wstring::npos) path.erase(slash + 1);
  return path;
}

InputFile::~InputFile() {
  if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

bool InputFile::Open(const std::wstring& path) {
  const HANDLE file =
      CreateFileW(ExtendedLengthPath(path).c_str(), GENERIC_READ,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  handle_ = reinterpret_cast<std::intptr_t>(file);
  return true;
}

std::ptrdiff_t InputFile::Read(char* buffer, std::size_t size) {
  DWORD count = 0;
  const DWORD wanted = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
  if (!ReadFile(reinterpret_cast<HANDLE>(handle_), buffer, wanted, &count, nullptr)) return -1;
  return static_cast<std::ptrdiff_t>(count);
}

std::wstring SystemErrorText(std::uint32_t error) {
  return SystemMessageOf(error);
}

bool IsFile(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(ExtendedLengthPath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

namespace {

// What the file in the way of a save says against replacing it.
SaveProblem OldFileProblem(const std::wstring& path, bool& exists) {
  const DWORD attributes = GetFileAttributesW(ExtendedLengthPath(path).c_str());
  exists = attributes != INVALID_FILE_ATTRIBUTES;
  if (!exists) return SaveProblem::None;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return SaveProblem::FolderInTheWay;
  // Windows refuses to replace a read-only file, but not every implementation
  // of its API does; the attribute is the user's word, so honour it here.
  if (attributes & FILE_ATTRIBUTE_READONLY) return SaveProblem::ReadOnlyFile;
  return SaveProblem::None;
}

}  // namespace

SaveProblem CheckReplaceable(const std::wstring& path, bool& exists, SaveFailure& failure) {
  failure.file = path;
  const SaveProblem problem = OldFileProblem(path, exists);
  if (problem != SaveProblem::None || !exists) return problem;
  // Opened for writing and closed at once: nothing changes.
  const HANDLE file = CreateFileW(ExtendedLengthPath(path).c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    return SaveProblem::None;
  }
  failure.systemError = GetLastError();
  failure.reason = SystemMessageOf(failure.systemError);
  return SaveProblem::System;
}

SaveProblem ReplaceFileContents(const std::wstring& path, const std::wstring& backup,
                                std::string_view bytes, SaveFailure& failure) {
  const auto systemFault = [&](const std::wstring& file, DWORD error,
                               SaveProblem problem = SaveProblem::System) {
    failure.file = file;
    failure.systemError = error;
    failure.reason = SystemMessageOf(error);
    return problem;
  };
  failure.file = path;
  bool exists = false;
  if (const SaveProblem problem = OldFileProblem(path, exists); problem != SaveProblem::None) {
    return problem;
  }
  RemoveStaleTemporaries(path);

  // A folder that takes no new file (Program Files, say) is a matter of
  // rights; later refusals (the file held open by another program) are not.
  // Only a file that refuses to be replaced is named; the settings file else.
  FailedStage stage = FailedStage::NewFile;
  const auto fault = [&](const std::wstring& target, DWORD error) {
    const bool rights = stage == FailedStage::NewFile && error == ERROR_ACCESS_DENIED;
    return systemFault(stage == FailedStage::Replacing ? target : path, error,
                       rights ? SaveProblem::AccessDenied : SaveProblem::System);
  };
  if (exists && !backup.empty()) {
    std::string old;
    if (const DWORD error = ReadWhole(path, old)) return systemFault(path, error);
    if (const DWORD error = WriteInPlace(path, backup, old, stage)) {
      return fault(backup, error);
    }
  }
  if (const DWORD error = WriteInPlace(path, path, bytes, stage)) return fault(path, error);
  return SaveProblem::None;
}
