#include "harness.h"

#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <functional>
#include <sstream>
#include <thread>

#include "res/resource.h"
#include "toolkit/text_fit.h"

namespace v7er_ui {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPoll = std::chrono::milliseconds(30);
constexpr UINT kSendTimeoutMs = 5000;
constexpr wchar_t kFormCaption[] = L"Hardware Parameter Setup";
constexpr int kFirstFieldId = 1002;        // any form control tells the form from a message box
constexpr int kMessageBoxTextId = 0xFFFF;  // the text of a standard message box

std::wstring ClassOf(HWND hwnd) {
  wchar_t name[64] = {};
  GetClassNameW(hwnd, name, 64);
  return name;
}

bool IsDialogWindow(HWND hwnd) {
  return ClassOf(hwnd) == L"#32770";
}

ULONGLONG ToUlong(const FILETIME& ft) {
  return (static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

LRESULT SendWithTimeout(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(hwnd, msg, wparam, lparam, SMTO_NORMAL, kSendTimeoutMs, &result);
  return static_cast<LRESULT>(result);
}

std::wstring Describe(HWND hwnd, const Program& program) {
  std::wstringstream out;
  out << L"[" << ClassOf(hwnd) << L" \"" << program.Text(hwnd) << L"\"]";
  return out.str();
}

}  // namespace

std::wstring Widen(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int size =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), size);
  return out;
}

std::string Narrow(std::wstring_view text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                      nullptr, nullptr);
  return out;
}

std::wstring WindowsPath(std::string_view path) {
  std::wstring windows = Widen(path);
  // Built and prepared on the Unix side; Wine's Z: drive is the root.
  if (!windows.empty() && windows.front() == L'/') windows = L"Z:" + windows;
  std::replace(windows.begin(), windows.end(), L'/', L'\\');
  return windows;
}

std::wstring ProgramUnderTest() {
  const char* other = std::getenv("V7ER_PROGRAM");
  return WindowsPath(other != nullptr ? other : V7ER_EXE_PATH);
}

std::wstring IoPath(const std::wstring& path) {
  // Room for a file name of a few characters below a directory path.
  if (path.size() < MAX_PATH - 12 || path.starts_with(L"\\\\")) return path;
  return L"\\\\?\\" + path;
}

std::vector<std::wstring> NamesIn(const std::wstring& dir) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found = {};
  HANDLE search = FindFirstFileW(IoPath(dir + L"*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

void PrintTo(const FileState& state, std::ostream* os) {
  if (!state.exists) {
    *os << "(no file)";
    return;
  }
  *os << "write time " << state.write_time << ", bytes \"";
  for (const char c : state.bytes) {
    if (c == '\r') {
      *os << "\\r";
    } else if (c == '\n') {
      *os << "\\n";
    } else {
      *os << c;
    }
  }
  *os << "\"";
}

// ---------------------------------------------------------------- Sandbox

Sandbox::Sandbox() : Sandbox(std::wstring_view()) {}

Sandbox::Sandbox(std::wstring_view sub_path) {
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  wchar_t long_temp[MAX_PATH + 1] = {};
  // The program reports its own long path; compare like with like.
  if (GetLongPathNameW(temp, long_temp, MAX_PATH + 1) == 0) wcscpy_s(long_temp, temp);
  for (int attempt = 0; attempt < 100 && dir_.empty(); ++attempt) {
    std::wstringstream name;
    name << long_temp << L"v7er-ui-" << GetCurrentProcessId() << L"-" << GetTickCount64() << L"-"
         << attempt << L"\\";
    if (CreateDirectoryW(name.str().c_str(), nullptr)) dir_ = name.str();
  }
  if (dir_.empty()) {
    ADD_FAILURE() << "cannot create a directory under " << Narrow(long_temp);
    return;
  }
  created_dirs_.push_back(dir_);
  while (!sub_path.empty()) {
    const auto end = std::min(sub_path.find(L'\\'), sub_path.size());
    dir_ += std::wstring(sub_path.substr(0, end)) + L"\\";
    sub_path.remove_prefix(std::min(end + 1, sub_path.size()));
    if (!CreateDirectoryW(IoPath(dir_).c_str(), nullptr)) {
      ADD_FAILURE() << "cannot create " << Narrow(dir_) << ": error " << GetLastError();
      return;
    }
    created_dirs_.push_back(dir_);
  }
  ready_ = CopyFileW(ProgramUnderTest().c_str(), IoPath(ExePath()).c_str(), TRUE) != FALSE;
  if (!ready_) {
    ADD_FAILURE() << "cannot copy " << Narrow(ProgramUnderTest()) << " to " << Narrow(dir_)
                  << ": error " << GetLastError();
  }
}

Sandbox::Sandbox(PreparedDirectory prepared) : dir_(std::move(prepared.dir)) {
  if (!dir_.empty() && dir_.back() != L'\\') dir_ += L'\\';
  ready_ = GetFileAttributesW(IoPath(ExePath()).c_str()) != INVALID_FILE_ATTRIBUTES;
  if (!ready_) ADD_FAILURE() << "no copy of the program in the prepared " << Narrow(dir_);
}

Sandbox::~Sandbox() {
  // Innermost first; a program that lost its way may have left files higher up.
  for (auto dir = created_dirs_.rbegin(); dir != created_dirs_.rend(); ++dir) {
    for (const std::wstring& name : NamesIn(*dir)) {
      const std::wstring path = IoPath(*dir + name);
      SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileW(path.c_str());
    }
    RemoveDirectoryW(IoPath(*dir).c_str());
  }
}

void Sandbox::WriteIni(std::string_view bytes) {
  WriteFileDated(IniPath(), bytes);
}

void WriteFileDated(const std::wstring& file_path, std::string_view bytes) {
  const std::wstring path = IoPath(file_path);
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << "cannot create " << Narrow(path);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  SYSTEMTIME long_ago = {2001, 2, 0, 3, 4, 5, 6, 0};
  FILETIME stamp = {};
  SystemTimeToFileTime(&long_ago, &stamp);
  SetFileTime(file, nullptr, nullptr, &stamp);
  CloseHandle(file);
  ASSERT_EQ(written, bytes.size());
}

FileState FileAt(const std::wstring& file_path) {
  const std::wstring path = IoPath(file_path);
  FileState state;
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return state;
  state.exists = true;
  state.write_time = ToUlong(data.ftLastWriteTime);
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return state;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
    state.bytes.append(buffer, got);
  CloseHandle(file);
  return state;
}

FileState Sandbox::Ini() const {
  return FileAt(IniPath());
}

std::string Sandbox::BackupBytes() const {
  return FileAt(IniPath() + L".bak").bytes;
}

void Sandbox::SetIniReadOnly(bool read_only) {
  const std::wstring path = IoPath(IniPath());
  ASSERT_TRUE(SetFileAttributesW(path.c_str(),
                                 read_only ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL));
}

std::vector<std::wstring> Sandbox::FileNames() const {
  return NamesIn(dir_);
}

// ---------------------------------------------------------------- traces

std::vector<TracedCall> TracedCalls(const std::wstring& log) {
  const std::string text = FileAt(log).bytes;
  std::vector<TracedCall> calls;
  for (std::size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
    const std::string line = text.substr(at, end - at);
    if (const auto proc = line.find("dialog proc "); proc != std::string::npos) {
      // "Call|Ret  dialog proc P (hwnd=H,msg=M,wp=W,lp=L)[ retval=R result=X]": a
      // message to a dialog, "dialog proc M" (H, W, L), and "return from" it with X.
      const auto open = line.find('(', proc), close = line.find(')', proc);
      const auto result = line.find("result=");
      if (open == std::string::npos || close == std::string::npos) continue;
      std::vector<std::string> fields;
      std::istringstream args(line.substr(open + 1, close - open - 1));
      for (std::string arg; std::getline(args, arg, ',');)
        fields.push_back(arg.substr(arg.find('=') + 1));
      const bool ret = line.find(":Ret ") != std::string::npos;
      if (fields.size() == 4)
        calls.push_back({(ret ? "return from dialog proc " : "dialog proc ") + fields[1],
                         {fields[0], fields[2], fields[3]},
                         result == std::string::npos ? "" : line.substr(result + 7)});
    } else if (const auto font = line.find(":trace:font:NtGdiHfontCreate (");
               font != std::string::npos) {
      // "(height width ...) face ... => handle": NtGdiHfontCreate(height) giving it.
      const auto from = font + 30, made = line.rfind("=> ");
      if (made != std::string::npos)
        calls.push_back({"NtGdiHfontCreate",
                         {line.substr(from, line.find(' ', from) - from)},
                         line.substr(made + 3)});
    } else if (const auto call = line.find(":Call "); call != std::string::npos) {
      // Only numbers are read from the arguments: a comma always separates two.
      const auto open = line.find('(', call), close = line.rfind(") ret=");
      if (open == std::string::npos || close == std::string::npos) continue;
      TracedCall traced{line.substr(call + 6, open - call - 6), {}, {}};
      std::istringstream args(line.substr(open + 1, close - open - 1));
      for (std::string arg; std::getline(args, arg, ',');) traced.args.push_back(arg);
      calls.push_back(traced);
    } else if (const auto ret = line.find(":Ret  "); ret != std::string::npos) {
      const auto name_end = line.find('(', ret), value = line.find("retval=");
      for (auto it = calls.rbegin(); it != calls.rend() && value != std::string::npos; ++it) {
        if (it->function != line.substr(ret + 6, name_end - ret - 6) || !it->retval.empty())
          continue;
        it->retval = line.substr(value + 7, line.find(' ', value) - value - 7);
        break;
      }
    } else if (const auto insert = line.find(":trace:menu:InsertMenuW ");
               insert != std::string::npos) {
      // "hMenu H, pos P, flags F, id I, str L"..."": the text the relay does not show.
      TracedCall traced{"InsertMenuW", {}, {}};
      for (const char* key : {"hMenu ", ", flags ", ", id ", ", str "}) {
        const auto found = line.find(key, insert);
        const auto from = found == std::string::npos ? line.size() : found + std::strlen(key);
        traced.args.push_back(line.substr(from, std::strcmp(key, ", str ") == 0
                                                    ? std::string::npos
                                                    : line.find(',', from) - from));
      }
      calls.push_back(traced);
    }
  }
  return calls;
}

std::uint64_t Number(const std::string& hex) {
  return std::strtoull(hex.c_str(), nullptr, 16);
}

// ---------------------------------------------------------------- Program

Program::Program(const Sandbox& sandbox, Start start) {
  if (!sandbox.Ready()) return;
  if (start == Start::kFromUnixShell || start == Start::kRelayTraced) {
    StartFromUnixShell(sandbox, start == Start::kRelayTraced);
  } else {
    StartDirectly(sandbox, start == Start::kSuspended, start == Start::kWithoutElevation);
  }
}

void Program::StartDirectly(const Sandbox& sandbox, bool suspended, bool limited) {
  const std::wstring exe = sandbox.ExePath();
  std::wstring command_line = L"\"" + exe + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  HANDLE own = nullptr;
  TOKEN_LINKED_TOKEN linked = {};
  DWORD size = 0;
  if (limited && (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &own) ||
                  !GetTokenInformation(own, TokenLinkedToken, &linked, sizeof linked, &size))) {
    ADD_FAILURE() << "no linked token: error " << GetLastError();
  }
  if (own) CloseHandle(own);
  const BOOL started =
      limited ? CreateProcessAsUserW(linked.LinkedToken, exe.c_str(), command_line.data(), nullptr,
                                     nullptr, FALSE, suspended ? CREATE_SUSPENDED : 0, nullptr,
                                     sandbox.Dir().c_str(), &startup, &info)
              : CreateProcessW(exe.c_str(), command_line.data(), nullptr, nullptr, FALSE,
                               suspended ? CREATE_SUSPENDED : 0, nullptr, sandbox.Dir().c_str(),
                               &startup, &info);
  if (linked.LinkedToken) CloseHandle(linked.LinkedToken);
  if (!started) {
    ADD_FAILURE() << "cannot start " << Narrow(exe) << ": error " << GetLastError();
    return;
  }
  if (suspended) {
    suspended_thread_ = info.hThread;
  } else {
    CloseHandle(info.hThread);
  }
  process_ = info.hProcess;
  pid_ = info.dwProcessId;
}

namespace {

std::vector<DWORD> ProcessesNamed(const wchar_t* name) {
  std::vector<DWORD> pids;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return pids;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
    if (_wcsicmp(entry.szExeFile, name) == 0) pids.push_back(entry.th32ProcessID);
  CloseHandle(snapshot);
  return pids;
}

// Wine's own export; absent on Windows.
std::string UnixPathOf(const std::wstring& path) {
  using UnixFileName = char*(CDECL*)(LPCWSTR);
  const auto proc = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name");
  if (!proc) return {};
  const auto unix_file_name = reinterpret_cast<UnixFileName>(reinterpret_cast<void (*)()>(proc));
  char* name = unix_file_name(path.c_str());
  if (!name) return {};
  std::string result = name;
  HeapFree(GetProcessHeap(), 0, name);
  return result;
}

}  // namespace

std::wstring WineLoader() {
  // The loader of this process's own bitness, which is the program's: Debian's
  // `wine` is the 32-bit loader, and when it hands a 64-bit program on to the
  // 64-bit one from a folder whose Windows path is longer than MAX_PATH, the
  // program is lost (and a kernel without 32-bit support cannot start it at
  // all). Wine keeps the loader's path in the Windows environment only.
  wchar_t loader[MAX_PATH] = L"wine";
  const DWORD length = GetEnvironmentVariableW(L"WINELOADER", loader, MAX_PATH);
  if (length == 0 || length >= MAX_PATH || wcschr(loader, L'\'') != nullptr) return L"wine";
  return loader;
}

void Program::StartFromUnixShell(const Sandbox& sandbox, bool relay_traced) {
  const std::string dir = UnixPathOf(IoPath(sandbox.Dir()));
  if (dir.empty() || dir.find('\'') != std::string::npos) {
    ADD_FAILURE() << "no Unix path to quote for " << Narrow(sandbox.Dir()) << " (not under Wine?)";
    return;
  }
  const std::vector<DWORD> before = ProcessesNamed(L"V7ER.exe");
  if (relay_traced &&
      RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Wine\\Debug", L"RelayInclude", REG_SZ,
                      kRelayInclude, sizeof kRelayInclude) != ERROR_SUCCESS) {
    ADD_FAILURE() << "cannot set Wine's RelayInclude";
    return;
  }
  // The output goes nowhere (but the trace): a Wine process holding the test's
  // output pipe would keep CTest waiting.
  std::wstring command_line = L"/bin/sh -c \"cd '" + Widen(dir) + L"' && " +
                              (relay_traced ? L"WINEDEBUG=-all,+relay,+menu,+font " : L"") +
                              L"exec '" + WineLoader() + L"' ./V7ER.exe </dev/null >/dev/null " +
                              (relay_traced ? L"2>relay.log" : L"2>&1") + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(L"Z:\\bin\\sh", command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &info)) {
    ADD_FAILURE() << "cannot start /bin/sh: error " << GetLastError();
    return;
  }
  // A Unix child gets no usable process handle; the program is found by name.
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  const auto deadline = Clock::now() + kTimeout;
  while (Clock::now() < deadline) {
    for (const DWORD pid : ProcessesNamed(L"V7ER.exe")) {
      if (std::find(before.begin(), before.end(), pid) != before.end()) continue;
      process_ = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION,
                             FALSE, pid);
      if (!process_) continue;
      pid_ = pid;
      return;
    }
    std::this_thread::sleep_for(kPoll);
  }
  ADD_FAILURE() << "no new V7ER.exe process within " << kTimeout.count() << " ms of `"
                << Narrow(command_line) << "`";
}

Program::~Program() {
  if (suspended_thread_) CloseHandle(suspended_thread_);
  if (!process_) return;
  if (Running()) {
    TerminateProcess(process_, 1);
    WaitForSingleObject(process_, kSendTimeoutMs);
  }
  CloseHandle(process_);
}

void Program::Resume() {
  if (!suspended_thread_) return;
  ResumeThread(suspended_thread_);
  CloseHandle(suspended_thread_);
  suspended_thread_ = nullptr;
}

std::wstring Program::ImagePath() const {
  std::wstring path(32768, L'\0');
  auto size = static_cast<DWORD>(path.size());
  if (!process_ || !QueryFullProcessImageNameW(process_, 0, path.data(), &size)) return {};
  path.resize(size);
  return path;
}

bool Program::Running() const {
  return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

namespace {

struct WindowSearch {
  DWORD pid;
  std::vector<HWND> found;
};

// A callback of its own, not a lambda: on x86 it must be __stdcall.
BOOL CALLBACK CollectWindowOfProcess(HWND hwnd, LPARAM context) {
  auto* search = reinterpret_cast<WindowSearch*>(context);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid == search->pid) search->found.push_back(hwnd);
  return TRUE;
}

}  // namespace

std::vector<HWND> Program::TopLevelWindows() const {
  WindowSearch search{pid_, {}};
  EnumWindows(CollectWindowOfProcess, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

::testing::AssertionResult Program::WaitForForm() {
  if (!process_) return ::testing::AssertionFailure() << "the program was not started";
  const auto deadline = Clock::now() + kTimeout;
  while (Clock::now() < deadline) {
    for (HWND hwnd : TopLevelWindows()) {
      if (IsWindowVisible(hwnd) && IsDialogWindow(hwnd) && Text(hwnd) == kFormCaption &&
          GetDlgItem(hwnd, kFirstFieldId)) {
        form_ = hwnd;
        form_thread_ = GetWindowThreadProcessId(hwnd, nullptr);
        form_seen_ = true;
        return ::testing::AssertionSuccess();
      }
    }
    if (!Running()) {
      DWORD code = 0;
      GetExitCodeProcess(process_, &code);
      return ::testing::AssertionFailure()
             << "the program ended (exit code " << code << ") without showing its form";
    }
    std::this_thread::sleep_for(kPoll);
  }
  std::wstring seen;
  for (HWND hwnd : TopLevelWindows())
    if (IsWindowVisible(hwnd)) seen += Describe(hwnd, *this);
  return ::testing::AssertionFailure()
         << "no form \"Hardware Parameter Setup\" within " << kTimeout.count()
         << " ms; visible windows: " << Narrow(seen);
}

::testing::AssertionResult Program::WaitForMessageBox(MessageBoxInfo& box) {
  if (!process_) return ::testing::AssertionFailure() << "the program was not started";
  const auto deadline = Clock::now() + kTimeout;
  while (Clock::now() < deadline) {
    for (HWND hwnd : TopLevelWindows()) {
      if (!IsWindowVisible(hwnd) || !IsDialogWindow(hwnd) || hwnd == form_) continue;
      if (GetDlgItem(hwnd, kFirstFieldId)) {
        form_seen_ = true;
        continue;
      }
      // The box may be visible before its text is set; wait for the text.
      HWND text = GetDlgItem(hwnd, kMessageBoxTextId);
      if (!text) continue;
      box.hwnd = hwnd;
      box.owner = GetWindow(hwnd, GW_OWNER);
      box.caption = Text(hwnd);
      box.text = Text(text);
      if (box.text.empty()) continue;
      return ::testing::AssertionSuccess();
    }
    if (!Running()) {
      return ::testing::AssertionFailure() << "the program ended without showing a message box";
    }
    std::this_thread::sleep_for(kPoll);
  }
  return ::testing::AssertionFailure() << "no message box within " << kTimeout.count() << " ms";
}

::testing::AssertionResult Program::WaitForFormOrMessageBox(MessageBoxInfo& box) {
  if (!process_) return ::testing::AssertionFailure() << "the program was not started";
  box = {};
  const auto deadline = Clock::now() + kTimeout;
  while (Clock::now() < deadline) {
    for (HWND hwnd : TopLevelWindows()) {
      if (!IsWindowVisible(hwnd) || !IsDialogWindow(hwnd)) continue;
      if (GetDlgItem(hwnd, kFirstFieldId)) {
        if (Text(hwnd) != kFormCaption) continue;
        form_ = hwnd;
        form_thread_ = GetWindowThreadProcessId(hwnd, nullptr);
        form_seen_ = true;
        return ::testing::AssertionSuccess();
      }
      HWND text = GetDlgItem(hwnd, kMessageBoxTextId);
      if (!text || Text(text).empty()) continue;
      box.hwnd = hwnd;
      box.owner = GetWindow(hwnd, GW_OWNER);
      box.caption = Text(hwnd);
      box.text = Text(text);
      return ::testing::AssertionSuccess();
    }
    if (!Running()) {
      DWORD code = 0;
      GetExitCodeProcess(process_, &code);
      return ::testing::AssertionFailure()
             << "the program ended (exit code " << code << ") without showing a window";
    }
    std::this_thread::sleep_for(kPoll);
  }
  return ::testing::AssertionFailure()
         << "neither the form nor a message box within " << kTimeout.count() << " ms";
}

::testing::AssertionResult Program::DismissMessageBox(const MessageBoxInfo& box, int id) {
  HWND button =
      id ? GetDlgItem(box.hwnd, id) : FindWindowExW(box.hwnd, nullptr, L"Button", nullptr);
  if (!button) return ::testing::AssertionFailure() << "the message box has no button";
  PostMessageW(button, BM_CLICK, 0, 0);
  const auto deadline = Clock::now() + kTimeout;
  while (Clock::now() < deadline) {
    if (!IsWindow(box.hwnd) || !IsWindowVisible(box.hwnd)) return ::testing::AssertionSuccess();
    std::this_thread::sleep_for(kPoll);
  }
  return ::testing::AssertionFailure() << "the message box did not close after OK";
}

::testing::AssertionResult Program::WaitForExit() {
  if (!process_) return ::testing::AssertionFailure() << "the program was not started";
  if (WaitForSingleObject(process_, static_cast<DWORD>(kTimeout.count())) == WAIT_OBJECT_0)
    return ::testing::AssertionSuccess();
  std::wstring seen;
  for (HWND hwnd : TopLevelWindows())
    if (IsWindowVisible(hwnd)) seen += Describe(hwnd, *this);
  return ::testing::AssertionFailure() << "the program still runs after " << kTimeout.count()
                                       << " ms; visible windows: " << Narrow(seen);
}

bool Program::DropFile(const std::wstring& path) {
  DROPFILES header = {};
  header.pFiles = sizeof header;
  header.fWide = TRUE;
  std::string block(reinterpret_cast<const char*>(&header), sizeof header);
  // The names, each ending in a NUL, and an empty one after the last.
  block.append(reinterpret_cast<const char*>(path.c_str()), (path.size() + 1) * sizeof(wchar_t));
  block.append(sizeof(wchar_t), '\0');
  void* drop = VirtualAllocEx(process_, nullptr, block.size(), MEM_COMMIT, PAGE_READWRITE);
  return drop && WriteProcessMemory(process_, drop, block.data(), block.size(), nullptr) &&
         PostMessageW(form_, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
}

HWND Program::Item(int id) const {
  return form_ ? GetDlgItem(form_, id) : nullptr;
}

std::vector<HWND> Program::Children() const {
  std::vector<HWND> children;
  for (HWND child = GetWindow(form_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    children.push_back(child);
  return children;
}

std::wstring Program::Text(HWND hwnd) const {
  if (!hwnd) return L"(no window)";
  const auto length = SendWithTimeout(hwnd, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const auto got =
      SendWithTimeout(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(std::clamp<LRESULT>(got, 0, length)));
  return text;
}

std::wstring Program::Shown(int id) const {
  HWND item = Item(id);
  if (!item) return L"(no control)";
  if (_wcsicmp(ClassOf(item).c_str(), L"Button") == 0)
    return Checked(id) ? L"checked" : L"unchecked";
  return Text(item);
}

void Program::SetText(int id, std::wstring_view text) {
  const std::wstring copy(text);
  SendWithTimeout(Item(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(copy.c_str()));
}

bool Program::Checked(int id) const {
  return SendWithTimeout(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

std::pair<int, int> Program::Selection(int id) const {
  const auto packed = static_cast<DWORD>(SendWithTimeout(Item(id), EM_GETSEL, 0, 0));
  return {LOWORD(packed), HIWORD(packed)};
}

void Program::Click(int id) {
  SendWithTimeout(Item(id), BM_CLICK, 0, 0);
}

void Program::PostClick(int id) {
  PostMessageW(Item(id), BM_CLICK, 0, 0);
}

void Program::Focus(int id) {
  SendToForm(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(id)), TRUE);
}

HWND Program::Focused() const {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (!form_thread_ || !GetGUIThreadInfo(form_thread_, &info)) return nullptr;
  return info.hwndFocus;
}

::testing::AssertionResult Program::WaitForFocus(HWND expected) {
  const auto deadline = Clock::now() + kTimeout;
  while (Clock::now() < deadline) {
    if (Focused() == expected) return ::testing::AssertionSuccess();
    std::this_thread::sleep_for(kPoll);
  }
  HWND focus = Focused();
  return ::testing::AssertionFailure()
         << "the focus is on " << (focus ? Narrow(Describe(focus, *this)) : "nothing") << " (id "
         << (focus ? GetDlgCtrlID(focus) : 0) << "), expected id "
         << (expected ? GetDlgCtrlID(expected) : 0);
}

void Program::PressKey(UINT vk) {
  HWND target = Focused();
  if (!target) target = form_;
  const auto scan = static_cast<LPARAM>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC)) << 16;
  PostMessageW(target, WM_KEYDOWN, vk, 1 | scan);
  PostMessageW(target, WM_KEYUP, vk, 1 | scan | static_cast<LPARAM>(0xC0000000u));
}

void Program::SendToForm(UINT msg, WPARAM wparam, LPARAM lparam) {
  SendWithTimeout(form_, msg, wparam, lparam);
}

void Program::SendToItem(int id, UINT msg, WPARAM wparam, LPARAM lparam) {
  SendWithTimeout(Item(id), msg, wparam, lparam);
}

void Program::PostToForm(UINT msg, WPARAM wparam, LPARAM lparam) {
  PostMessageW(form_, msg, wparam, lparam);
}

::testing::AssertionResult Program::WaitForDialog(int item_id, HWND& dialog) {
  dialog = nullptr;
  const auto deadline = Clock::now() + kTimeout;
  while (Clock::now() < deadline) {
    for (HWND hwnd : TopLevelWindows()) {
      if (hwnd != form_ && IsWindowVisible(hwnd) && IsDialogWindow(hwnd) &&
          GetDlgItem(hwnd, item_id)) {
        dialog = hwnd;
        return ::testing::AssertionSuccess();
      }
    }
    if (!Running()) return ::testing::AssertionFailure() << "the program ended";
    std::this_thread::sleep_for(kPoll);
  }
  return ::testing::AssertionFailure()
         << "no dialog with control " << item_id << " within " << kTimeout.count() << " ms";
}

std::wstring Program::ItemText(HWND dialog, int id) const {
  return Text(GetDlgItem(dialog, id));
}

void Program::SetItemText(HWND dialog, int id, std::wstring_view text) {
  const std::wstring copy(text);
  SendWithTimeout(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(copy.c_str()));
}

void Program::ClickItem(HWND dialog, int id) {
  SendWithTimeout(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

void Program::PostClickItem(HWND dialog, int id) {
  PostMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

std::pair<int, int> Program::ItemSelection(HWND dialog, int id) const {
  const auto packed = static_cast<DWORD>(SendWithTimeout(GetDlgItem(dialog, id), EM_GETSEL, 0, 0));
  return {LOWORD(packed), HIWORD(packed)};
}

// ---------------------------------------------------------------- marker

MarkerHeld::MarkerHeld(Access access) {
  SECURITY_DESCRIPTOR descriptor = {};
  ACL nobody = {};
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, &descriptor, FALSE};
  const bool denied = access == Access::kDeniedToOthers &&
                      InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
                      InitializeAcl(&nobody, sizeof nobody, ACL_REVISION) &&
                      SetSecurityDescriptorDacl(&descriptor, TRUE, &nobody, FALSE);
  if (access == Access::kDeniedToOthers && !denied) return;  // not Ok()
  handle_ = CreateMutexW(denied ? &attributes : nullptr, FALSE, L"Cavlor");
  existed_ = GetLastError() == ERROR_ALREADY_EXISTS;
}

MarkerHeld::~MarkerHeld() {
  if (handle_) CloseHandle(handle_);
}

bool MarkerExists() {
  HANDLE handle = OpenMutexW(SYNCHRONIZE, FALSE, L"Cavlor");
  if (!handle) return false;
  CloseHandle(handle);
  return true;
}

// ---------------------------------------------------------------- pictures

Canvas::Canvas(int width, int height) : width_(width), height_(height) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  dc_ = CreateCompatibleDC(nullptr);
  bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
  old_ = SelectObject(dc_, bitmap_);
}

Canvas::~Canvas() {
  SelectObject(dc_, old_);
  DeleteObject(bitmap_);
  DeleteDC(dc_);
}

Pixels Canvas::Read() const {
  GdiFlush();
  if (!bits_) return {};
  const auto* p = static_cast<const std::uint32_t*>(bits_);
  return {width_, height_, std::vector<std::uint32_t>(p, p + width_ * height_)};
}

// ---------------------------------------------------------------- template form

namespace {

// A dialog procedure of its own, not a lambda: on x86 it must be __stdcall.
INT_PTR CALLBACK LeaveAlone(HWND, UINT, WPARAM, LPARAM) {
  return FALSE;
}

}  // namespace

TemplateForm::TemplateForm(int template_id, bool fitted) {
  const std::wstring exe = ProgramUnderTest();
  ACTCTXW manifest = {};
  manifest.cbSize = sizeof manifest;
  manifest.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
  manifest.lpSource = exe.c_str();
  manifest.lpResourceName = CREATEPROCESS_MANIFEST_RESOURCE_ID;
  context_ = CreateActCtxW(&manifest);
  ULONG_PTR cookie = 0;
  if (context_ == INVALID_HANDLE_VALUE || !ActivateActCtx(context_, &cookie)) return;
  module_ = LoadLibraryExW(exe.c_str(), nullptr,
                           LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (module_) {
    dialog_ = CreateDialogParamW(module_, MAKEINTRESOURCEW(template_id), nullptr, LeaveAlone, 0);
  }
  if (dialog_ && fitted) {
    const HRSRC found = FindResourceW(module_, MAKEINTRESOURCEW(template_id), RT_DIALOG);
    const HGLOBAL loaded = found ? LoadResource(module_, found) : nullptr;
    fitted_fonts_ = FitTextsToControls(
        dialog_, static_cast<const DLGTEMPLATE*>(loaded ? LockResource(loaded) : nullptr));
  }
  DeactivateActCtx(0, cookie);
}

TemplateForm::~TemplateForm() {
  if (dialog_) DestroyWindow(dialog_);
  for (const HFONT font : fitted_fonts_) DeleteObject(font);
  if (module_) FreeLibrary(module_);
  if (context_ != INVALID_HANDLE_VALUE) ReleaseActCtx(context_);
}

HFONT TemplateForm::Font() const {
  return reinterpret_cast<HFONT>(SendMessageW(dialog_, WM_GETFONT, 0, 0));
}

std::vector<HWND> TemplateForm::Children() const {
  std::vector<HWND> children;
  for (HWND c = GetWindow(dialog_, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    children.push_back(c);
  return children;
}

RECT TemplateForm::ToPixels(int x, int y, int cx, int cy) const {
  RECT units = {x, y, cx, cy};
  MapDialogRect(dialog_, &units);
  return {units.left, units.top, units.left + units.right, units.top + units.bottom};
}

// ---------------------------------------------------------------- icons

namespace {

long long Distance(const Pixels& a, const Pixels& b) {
  long long sum = 0;
  for (std::size_t i = 0; i < a.data.size() && i < b.data.size(); ++i) {
    for (int shift = 0; shift < 24; shift += 8) {
      sum += std::abs(static_cast<int>((a.data[i] >> shift) & 0xFF) -
                      static_cast<int>((b.data[i] >> shift) & 0xFF));
    }
  }
  return sum;
}

}  // namespace

std::wstring MessageBoxIconKind(HWND box) {
  HWND icon = nullptr;
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (_wcsicmp(ClassOf(child).c_str(), L"Static") == 0 &&
        (GetWindowLongPtrW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON && IsWindowVisible(child)) {
      icon = child;
      break;
    }
  }
  if (!icon) return {};
  RECT rect = {};
  GetWindowRect(icon, &rect);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return {};

  // The box may be on screen before it is painted, or half painted on a busy
  // machine: wait for a picture that holds still over two looks.
  const auto uniform = [](const Pixels& p) {
    return std::adjacent_find(p.data.begin(), p.data.end(), std::not_equal_to<>()) == p.data.end();
  };
  Pixels shown;
  Pixels before;
  const auto deadline = Clock::now() + std::chrono::seconds(3);
  do {
    Canvas screen_copy(width, height);
    HDC screen = GetDC(nullptr);
    BitBlt(screen_copy.Dc(), 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    ReleaseDC(nullptr, screen);
    shown = screen_copy.Read();
    if (!uniform(shown) && shown.data == before.data) break;
    before = shown;
    std::this_thread::sleep_for(kPoll);
  } while (Clock::now() < deadline);
  if (uniform(shown)) return {};
  // The icons' corners are transparent: that pixel is the box's background.
  const std::uint32_t background = shown.data.front();

  struct Candidate {
    const wchar_t* kind;
    LPCWSTR resource;
  };
  const Candidate candidates[] = {{L"error", IDI_HAND},
                                  {L"warning", IDI_EXCLAMATION},
                                  {L"information", IDI_ASTERISK},
                                  {L"question", IDI_QUESTION}};
  std::wstring best;
  long long best_distance = -1;
  for (const Candidate& candidate : candidates) {
    Canvas drawn(width, height);
    HBRUSH brush = CreateSolidBrush(
        RGB((background >> 16) & 0xFF, (background >> 8) & 0xFF, background & 0xFF));
    RECT all = {0, 0, width, height};
    FillRect(drawn.Dc(), &all, brush);
    DeleteObject(brush);
    DrawIconEx(drawn.Dc(), 0, 0, LoadIconW(nullptr, candidate.resource), width, height, 0, nullptr,
               DI_NORMAL);
    const long long distance = Distance(shown, drawn.Read());
    if (best_distance < 0 || distance < best_distance) {
      best_distance = distance;
      best = candidate.kind;
    }
  }
  return best;
}

std::wstring EnabledStates(const Program& program, const std::vector<int>& ids) {
  std::wstringstream out;
  for (const int id : ids) out << id << (program.Enabled(id) ? L":on " : L":off ");
  return out.str();
}

::testing::AssertionResult Eventually(const std::function<std::wstring()>& value,
                                      const std::wstring& expected) {
  const auto deadline = Clock::now() + kTimeout;
  std::wstring actual = value();
  while (actual != expected && Clock::now() < deadline) {
    std::this_thread::sleep_for(kPoll);
    actual = value();
  }
  if (actual == expected) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "got \"" << Narrow(actual) << "\", expected \"" << Narrow(expected) << "\"";
}

}  // namespace v7er_ui
