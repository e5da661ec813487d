#include <windows.h>
// After windows.h, which it needs.
#include <aclapi.h>

#include <string>

#include "file_system.h"

// The seam's primitives on Windows: each one call to the system, with the
// extended-length prefix where a path needs it.

namespace {

// Paths of MAX_PATH and longer open only with the extended-length prefix.
std::wstring ExtendedLengthPath(const std::wstring& path) {
  if (path.size() < MAX_PATH - 12 || path.starts_with(L"\\\\?\\")) return path;
  if (path.size() > 2 && path[1] == L':' && path[2] == L'\\') return L"\\\\?\\" + path;
  if (path.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + path.substr(2);
  return path;
}

SystemError LastError() {
  const DWORD error = GetLastError();
  return error ? error : ERROR_GEN_FAILURE;  // a failure never passes for success
}

HANDLE AsHandle(FileSystem::Handle file) {
  return reinterpret_cast<HANDLE>(file);
}

constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

std::uint64_t Ticks(const FILETIME& time) {
  return (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

// At most 1 GiB a call: a DWORD counts the bytes.
DWORD Chunk(std::size_t size) {
  return size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
}

// One answer about this process's token. Asked only for a program in a
// protected folder: advapi32 is looked up then, not loaded by every start.
bool AskToken(TOKEN_INFORMATION_CLASS what, void* answer, DWORD size) {
  using OpenToken = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE*);
  using TokenInformation = BOOL(WINAPI*)(HANDLE, TOKEN_INFORMATION_CLASS, void*, DWORD, DWORD*);
  const HMODULE advapi = LoadLibraryW(L"advapi32.dll");
  const auto open = reinterpret_cast<OpenToken>(
      reinterpret_cast<void (*)()>(GetProcAddress(advapi, "OpenProcessToken")));
  const auto query = reinterpret_cast<TokenInformation>(
      reinterpret_cast<void (*)()>(GetProcAddress(advapi, "GetTokenInformation")));
  HANDLE token = nullptr;
  DWORD got = 0;
  const bool asked = open && query && open(GetCurrentProcess(), TOKEN_QUERY, &token) &&
                     query(token, what, answer, size, &got);
  if (token) CloseHandle(token);
  return asked;
}

class Win32Files final : public FileSystem {
 public:
  SystemError Look(const std::wstring& path, PathFacts& facts) override {
    facts = {};
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExW(ExtendedLengthPath(path).c_str(), GetFileExInfoStandard, &data)) {
      const DWORD error = GetLastError();
      return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? 0 : LastError();
    }
    const DWORD attributes = data.dwFileAttributes;
    facts.exists = true;
    facts.folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    facts.readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    // A renamed file keeps its own attributes, not those of the file it replaces.
    facts.mode = attributes & kKeptAttributes;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    facts.age = (static_cast<std::int64_t>(Ticks(now)) -
                 static_cast<std::int64_t>(Ticks(data.ftLastWriteTime))) /
                10000000;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) facts.linkTarget = LinkTarget(path);
    return 0;
  }

  // The file a symbolic link names; empty for other reparse points (a cloud
  // file's placeholder, say), which a move replaces as a plain file.
  static std::wstring LinkTarget(const std::wstring& path) {
    WIN32_FIND_DATAW found = {};
    const HANDLE search = FindFirstFileW(ExtendedLengthPath(path).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return path;
    FindClose(search);
    if (found.dwReserved0 != IO_REPARSE_TAG_SYMLINK) return {};
    const HANDLE file = CreateFileW(ExtendedLengthPath(path).c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    std::wstring target(32768, L'\0');
    const DWORD length =
        file != INVALID_HANDLE_VALUE
            ? GetFinalPathNameByHandleW(file, target.data(), static_cast<DWORD>(target.size()), 0)
            : 0;
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    if (length == 0 || length >= target.size()) return path;
    target.resize(length);
    return target.starts_with(L"\\\\?\\UNC\\") ? L"\\" + target.substr(7)
           : target.starts_with(L"\\\\?\\")    ? target.substr(4)
                                               : target;
  }

  SystemError OpenRead(const std::wstring& path, Handle& file) override {
    const HANDLE handle =
        CreateFileW(ExtendedLengthPath(path).c_str(), GENERIC_READ,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LastError();
    file = reinterpret_cast<Handle>(handle);
    return 0;
  }

  SystemError Read(Handle file, char* buffer, std::size_t size, std::size_t& count) override {
    DWORD read = 0;
    count = 0;
    if (!ReadFile(AsHandle(file), buffer, Chunk(size), &read, nullptr)) return LastError();
    count = read;
    return 0;
  }

  SystemError CreateNew(const std::wstring& path, std::uint32_t mode, Handle& file) override {
    const DWORD attributes = mode & kKeptAttributes;
    const HANDLE handle =
        CreateFileW(ExtendedLengthPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                    attributes ? attributes : FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LastError();
    file = reinterpret_cast<Handle>(handle);
    return 0;
  }

  SystemError Write(Handle file, const char* bytes, std::size_t size,
                    std::size_t& written) override {
    DWORD count = 0;
    written = 0;
    if (!WriteFile(AsHandle(file), bytes, Chunk(size), &count, nullptr)) return LastError();
    written = count;
    return 0;
  }

  SystemError Flush(Handle file) override {
    return FlushFileBuffers(AsHandle(file)) ? 0 : LastError();
  }

  SystemError Close(Handle file) override { return CloseHandle(AsHandle(file)) ? 0 : LastError(); }

  SystemError Move(const std::wstring& from, const std::wstring& to) override {
    return MoveFileExW(ExtendedLengthPath(from).c_str(), ExtendedLengthPath(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? 0
               : LastError();
  }

  SystemError Remove(const std::wstring& path) override {
    return DeleteFileW(ExtendedLengthPath(path).c_str()) ? 0 : LastError();
  }

  // A new file gets the folder's inherited rights only: an installer's grant on
  // the settings file alone (so that the main application may write it) would
  // be gone after one save. advapi32 is looked up by a save, not by every start.
  SystemError CopyRights(const std::wstring& from, const std::wstring& to) override {
    using GetInfo = DWORD(WINAPI*)(LPCWSTR, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID*, PSID*,
                                   PACL*, PACL*, PSECURITY_DESCRIPTOR*);
    using SetInfo =
        DWORD(WINAPI*)(LPWSTR, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID, PSID, PACL, PACL);
    using Control = BOOL(WINAPI*)(PSECURITY_DESCRIPTOR, PSECURITY_DESCRIPTOR_CONTROL, LPDWORD);
    const HMODULE advapi = LoadLibraryW(L"advapi32.dll");
    const auto get = reinterpret_cast<GetInfo>(
        reinterpret_cast<void (*)()>(GetProcAddress(advapi, "GetNamedSecurityInfoW")));
    const auto set = reinterpret_cast<SetInfo>(
        reinterpret_cast<void (*)()>(GetProcAddress(advapi, "SetNamedSecurityInfoW")));
    const auto control = reinterpret_cast<Control>(
        reinterpret_cast<void (*)()>(GetProcAddress(advapi, "GetSecurityDescriptorControl")));
    if (!get || !set || !control) return ERROR_PROC_NOT_FOUND;
    PSID owner = nullptr;
    PACL access = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    DWORD error = get(ExtendedLengthPath(from).c_str(), SE_FILE_OBJECT,
                      OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr,
                      &access, nullptr, &descriptor);
    if (error) return error;
    SECURITY_DESCRIPTOR_CONTROL flags = 0;
    DWORD revision = 0;
    const SECURITY_INFORMATION inheritance =
        control(descriptor, &flags, &revision) && (flags & SE_DACL_PROTECTED)
            ? PROTECTED_DACL_SECURITY_INFORMATION
            : UNPROTECTED_DACL_SECURITY_INFORMATION;
    std::wstring target = ExtendedLengthPath(to);
    error = set(target.data(), SE_FILE_OBJECT,
                OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION | inheritance, owner,
                nullptr, access, nullptr);
    // Only a user who may restore files gives a file someone else as owner.
    if (error == ERROR_INVALID_OWNER) {
      error = set(target.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | inheritance, nullptr,
                  nullptr, access, nullptr);
    }
    LocalFree(descriptor);
    return error;
  }

  SystemError List(const std::wstring& folder, const std::wstring& prefix,
                   std::vector<std::wstring>& names) override {
    WIN32_FIND_DATAW found = {};
    const HANDLE search =
        FindFirstFileW(ExtendedLengthPath(folder + prefix + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
      return GetLastError() == ERROR_FILE_NOT_FOUND ? 0 : LastError();
    }
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return 0;
  }

  SystemError MakeFolder(const std::wstring& path) override {
    if (CreateDirectoryW(ExtendedLengthPath(path).c_str(), nullptr)) return 0;
    return GetLastError() == ERROR_ALREADY_EXISTS ? 0 : LastError();
  }

  // UAC's elevation: an elevated token whose linked token is the limited one.
  // With UAC off an administrator's token is of the default type, as older
  // programs run with it too.
  bool Elevated() override {
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    return AskToken(TokenElevationType, &type, sizeof type) && type == TokenElevationTypeFull;
  }

  // Windows (Vista on) always answers; Wine 8 does not, and an unanswered
  // query counts as allowed.
  bool VirtualizationAllowed() override {
    DWORD allowed = 0;
    return !AskToken(TokenVirtualizationAllowed, &allowed, sizeof allowed) || allowed != 0;
  }

  std::wstring LongPath(const std::wstring& path) override {
    const std::wstring asked = ExtendedLengthPath(path);
    std::wstring found(MAX_PATH, L'\0');
    for (;;) {
      const DWORD length =
          GetLongPathNameW(asked.c_str(), found.data(), static_cast<DWORD>(found.size()));
      if (length == 0) return path;
      if (length < found.size()) {
        found.resize(length);
        break;
      }
      found.resize(length);
    }
    if (found.starts_with(L"\\\\?\\UNC\\")) return L"\\\\" + found.substr(8);
    if (found.starts_with(L"\\\\?\\")) return found.substr(4);
    return found;
  }

  // Sharing everything: a program that holds the file is no matter of rights.
  SystemError MayReplace(const std::wstring& path) override {
    const HANDLE handle = CreateFileW(ExtendedLengthPath(path).c_str(), DELETE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LastError();
    CloseHandle(handle);
    return 0;
  }

  std::wstring Environment(const std::wstring& name) override {
    std::wstring value(MAX_PATH, L'\0');
    for (;;) {
      const DWORD length =
          GetEnvironmentVariableW(name.c_str(), value.data(), static_cast<DWORD>(value.size()));
      if (length < value.size()) {
        value.resize(length);
        return value;
      }
      value.resize(length);
    }
  }

  ErrorKind KindOf(SystemError error) const override {
    switch (error) {
      case ERROR_FILE_EXISTS:
      case ERROR_ALREADY_EXISTS:
        return ErrorKind::Exists;
      case ERROR_FILE_NOT_FOUND:
      case ERROR_PATH_NOT_FOUND:
        return ErrorKind::NotFound;
      case ERROR_ACCESS_DENIED:
        return ErrorKind::AccessDenied;
      case ERROR_SHARING_VIOLATION:
      case ERROR_LOCK_VIOLATION:
        return ErrorKind::Busy;
      default:
        return ErrorKind::Other;
    }
  }

  std::uint64_t ProcessNumber() const override { return GetCurrentProcessId(); }

  std::uint32_t MachineNumber() const override {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(name, &size)) size = 0;
    return NameHash(std::wstring_view(name, size));
  }

  // A process we may not open still runs; one that ended but is still held
  // open by someone has its handle signalled.
  bool ProcessGone(std::uint64_t process) override {
    if (process > 0xFFFFFFFFu) return true;
    const HANDLE handle = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(process));
    if (!handle) return GetLastError() == ERROR_INVALID_PARAMETER;
    const bool ended = WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
    CloseHandle(handle);
    return ended;
  }

  void Wait(int milliseconds) override { Sleep(static_cast<DWORD>(milliseconds)); }
};

}  // namespace

FileSystem& SystemFiles() {
  static Win32Files files;
  return files;
}

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

std::wstring SystemErrorText(SystemError error) {
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
