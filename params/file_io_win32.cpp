#include <windows.h>

#include <string>

#include "file_io.h"

namespace {

// Paths of MAX_PATH and longer open only with the extended-length prefix.
std::wstring ExtendedLengthPath(const std::wstring& path) {
  if (path.size() < MAX_PATH - 12 || path.starts_with(L"\\\\?\\")) return path;
  if (path.size() > 2 && path[1] == L':' && path[2] == L'\\') return L"\\\\?\\" + path;
  if (path.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + path.substr(2);
  return path;
}

std::wstring SystemMessage(DWORD error) {
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

// A new, empty file beside `path`, opened for writing by us alone.
HANDLE CreateSiblingFile(const std::wstring& path, std::wstring& name) {
  const std::wstring stem = path + L"." + std::to_wstring(GetCurrentProcessId());
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = ExtendedLengthPath(stem + L"." + std::to_wstring(attempt) + L".tmp");
    const HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return file;
  }
  return INVALID_HANDLE_VALUE;
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

SaveProblem ReplaceFileContents(const std::wstring& path, std::string_view bytes,
                                std::wstring& reason, std::uint32_t& systemError) {
  const auto systemFault = [&](DWORD error, SaveProblem problem = SaveProblem::System) {
    systemError = error;
    reason = SystemMessage(error);
    return problem;
  };
  const std::wstring target = ExtendedLengthPath(path);
  const DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return SaveProblem::FolderInTheWay;
    // Windows refuses to replace a read-only file, but not every implementation
    // of its API does; the attribute is the user's word, so honour it here.
    if (attributes & FILE_ATTRIBUTE_READONLY) return SaveProblem::ReadOnlyFile;
  }

  std::wstring temporary;
  const HANDLE file = CreateSiblingFile(path, temporary);
  if (file == INVALID_HANDLE_VALUE) {
    // Refused a new file in the folder (Program Files, say): a matter of rights.
    // Later refusals (the file held open by another program) are not.
    const DWORD error = GetLastError();
    return systemFault(
        error, error == ERROR_ACCESS_DENIED ? SaveProblem::AccessDenied : SaveProblem::System);
  }
  bool written = WriteAll(file, bytes) && FlushFileBuffers(file);
  DWORD error = written ? ERROR_SUCCESS : GetLastError();
  if (!CloseHandle(file) && written) {
    written = false;
    error = GetLastError();
  }
  if (written && !MoveFileExW(temporary.c_str(), target.c_str(),
                              MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    written = false;
    error = GetLastError();
  }
  if (written) return SaveProblem::None;
  DeleteFileW(temporary.c_str());
  return systemFault(error);
}
