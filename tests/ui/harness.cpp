#include "harness.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <thread>

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

std::wstring ProgramUnderTest() {
  std::wstring path = Widen(V7ER_EXE_PATH);
  // Built on the Unix side and run under Wine, whose Z: drive is the root.
  if (!path.empty() && path.front() == L'/') path = L"Z:" + path;
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return path;
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

Sandbox::Sandbox() {
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  wchar_t long_temp[MAX_PATH + 1] = {};
  // The program reports its own long path; compare like with like.
  if (GetLongPathNameW(temp, long_temp, MAX_PATH + 1) == 0) wcscpy_s(long_temp, temp);
  for (int attempt = 0; attempt < 100 && !ready_; ++attempt) {
    std::wstringstream name;
    name << long_temp << L"v7er-ui-" << GetCurrentProcessId() << L"-" << GetTickCount64() << L"-"
         << attempt << L"\\";
    if (!CreateDirectoryW(name.str().c_str(), nullptr)) continue;
    dir_ = name.str();
    ready_ = CopyFileW(ProgramUnderTest().c_str(), ExePath().c_str(), TRUE) != FALSE;
    if (!ready_) {
      ADD_FAILURE() << "cannot copy " << Narrow(ProgramUnderTest()) << " to " << Narrow(dir_)
                    << ": error " << GetLastError();
      return;
    }
  }
  if (!ready_ && dir_.empty())
    ADD_FAILURE() << "cannot create a directory under " << Narrow(long_temp);
}

Sandbox::~Sandbox() {
  if (dir_.empty()) return;
  for (const std::wstring& name : FileNames()) {
    const std::wstring path = dir_ + name;
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path.c_str());
  }
  RemoveDirectoryW(dir_.c_str());
}

void Sandbox::WriteIni(std::string_view bytes) {
  const std::wstring path = IniPath();
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

FileState Sandbox::Ini() const {
  FileState state;
  const std::wstring path = IniPath();
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

void Sandbox::SetIniReadOnly(bool read_only) {
  const std::wstring path = IniPath();
  ASSERT_TRUE(SetFileAttributesW(path.c_str(),
                                 read_only ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL));
}

std::vector<std::wstring> Sandbox::FileNames() const {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found = {};
  HANDLE search = FindFirstFileW((dir_ + L"*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

// ---------------------------------------------------------------- Program

Program::Program(const Sandbox& sandbox) {
  if (!sandbox.Ready()) return;
  const std::wstring exe = sandbox.ExePath();
  std::wstring command_line = L"\"" + exe + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(exe.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      sandbox.Dir().c_str(), &startup, &info)) {
    ADD_FAILURE() << "cannot start " << Narrow(exe) << ": error " << GetLastError();
    return;
  }
  CloseHandle(info.hThread);
  process_ = info.hProcess;
  pid_ = info.dwProcessId;
}

Program::~Program() {
  if (!process_) return;
  if (Running()) {
    TerminateProcess(process_, 1);
    WaitForSingleObject(process_, kSendTimeoutMs);
  }
  CloseHandle(process_);
}

bool Program::Running() const {
  return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

std::vector<HWND> Program::TopLevelWindows() const {
  struct Search {
    DWORD pid;
    std::vector<HWND> found;
  } search{pid_, {}};
  EnumWindows(
      [](HWND hwnd, LPARAM context) -> BOOL {
        auto* s = reinterpret_cast<Search*>(context);
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        if (pid == s->pid) s->found.push_back(hwnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
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

::testing::AssertionResult Program::DismissMessageBox(const MessageBoxInfo& box) {
  HWND button = FindWindowExW(box.hwnd, nullptr, L"Button", nullptr);
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

// ---------------------------------------------------------------- marker

MarkerHeld::MarkerHeld() {
  handle_ = CreateMutexW(nullptr, FALSE, L"Cavlor");
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

// ---------------------------------------------------------------- icons

namespace {

struct Pixels {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> data;
};

// A 32-bit top-down DIB section selected into a memory DC.
class Canvas {
 public:
  Canvas(int width, int height) : width_(width), height_(height) {
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
  ~Canvas() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  HDC Dc() const { return dc_; }
  Pixels Read() const {
    GdiFlush();
    const auto* p = static_cast<const std::uint32_t*>(bits_);
    return {width_, height_, std::vector<std::uint32_t>(p, p + width_ * height_)};
  }

 private:
  int width_;
  int height_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
  void* bits_ = nullptr;
};

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

  // The box may be on screen before it is painted: wait for a picture.
  Pixels shown;
  const auto deadline = Clock::now() + std::chrono::seconds(3);
  do {
    Canvas screen_copy(width, height);
    HDC screen = GetDC(nullptr);
    BitBlt(screen_copy.Dc(), 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    ReleaseDC(nullptr, screen);
    shown = screen_copy.Read();
    if (std::adjacent_find(shown.data.begin(), shown.data.end(), std::not_equal_to<>()) !=
        shown.data.end())
      break;
    std::this_thread::sleep_for(kPoll);
  } while (Clock::now() < deadline);
  if (std::adjacent_find(shown.data.begin(), shown.data.end(), std::not_equal_to<>()) ==
      shown.data.end())
    return {};
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
