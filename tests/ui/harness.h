// Black-box harness: runs a private copy of V7ER.exe and works its windows from
// outside, the way a user would, through window messages only.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace v7er_ui {

// Long enough for Wine to start a process and show a window, short enough that
// a hung program fails the case instead of the whole run.
inline constexpr std::chrono::milliseconds kTimeout{15000};

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view text);

// A path as Wine sees it: a Unix path becomes one on the Z: drive.
std::wstring WindowsPath(std::string_view path);

// The Unix path of the Wine loader that runs this process, for a Unix shell
// command; "wine" if Wine does not say.
std::wstring WineLoader();

// The calls a relay trace shows (Wine's RelayInclude; the whole trace of a
// start-up is a hundred megabytes). tests/unit/flush-before-replace.sh sets the
// same list: the registry value is one for every process of the prefix.
inline constexpr wchar_t kRelayInclude[] =
    L"KERNEL32.CreateFileW;KERNEL32.FlushFileBuffers;KERNEL32.MoveFileExW;"
    L"user32.GetSystemMenu;user32.AppendMenuW;user32.EnableMenuItem;user32.DeleteMenu;"
    L"user32.SendMessageW;advapi32.SetNamedSecurityInfoW";

// One call in a trace of Start::kRelayTraced: its arguments as written, and
// what the next return of the same function gave. Wine's menu trace gives
// "InsertMenuW" with the menu, flags, id and text.
struct TracedCall {
  std::string function;
  std::vector<std::string> args;
  std::string retval;
};
std::vector<TracedCall> TracedCalls(const std::wstring& log);
// A number as the trace writes it, in hexadecimal.
std::uint64_t Number(const std::string& hex);

// The built program (or the file V7ER_PROGRAM names), as a Windows path.
std::wstring ProgramUnderTest();

// The same path, with the extended-length prefix when it is too long for the
// plain file functions.
std::wstring IoPath(const std::wstring& path);

// Names in a directory (ending in a backslash), sorted, without "." and "..".
std::vector<std::wstring> NamesIn(const std::wstring& dir);

// Bytes and write time of printer.ini, to prove a run left it alone.
struct FileState {
  bool exists = false;
  std::string bytes;
  ULONGLONG write_time = 0;
  bool operator==(const FileState&) const = default;
};
void PrintTo(const FileState& state, std::ostream* os);
FileState FileAt(const std::wstring& path);
// Writes a file and dates it far back, so that any rewrite shows in its write
// time without waiting.
void WriteFileDated(const std::wstring& path, std::string_view bytes);

// A fresh directory under the temporary path holding a copy of the program; the
// program keeps printer.ini beside itself, so every case gets its own.
class Sandbox {
 public:
  Sandbox();
  // The copy goes into `sub_path` (components separated by backslashes) below
  // the fresh directory, each component created in turn, so that the whole path
  // may be longer than MAX_PATH.
  explicit Sandbox(std::wstring_view sub_path);
  // A directory prepared outside the test, with the copy of the program already
  // in it; it is used as it is and left for whoever prepared it to remove.
  struct PreparedDirectory {
    std::wstring dir;
  };
  explicit Sandbox(PreparedDirectory prepared);
  ~Sandbox();
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  bool Ready() const { return ready_; }
  const std::wstring& Dir() const { return dir_; }  // ends in a backslash
  std::wstring ExePath() const { return dir_ + L"V7ER.exe"; }
  std::wstring IniPath() const { return dir_ + L"printer.ini"; }

  // Writes printer.ini and dates it far back, so that any rewrite shows in its
  // write time without waiting.
  void WriteIni(std::string_view bytes);
  FileState Ini() const;
  std::string IniBytes() const { return Ini().bytes; }
  std::string BackupBytes() const;  // printer.ini.bak, empty if there is none
  void SetIniReadOnly(bool read_only);
  std::vector<std::wstring> FileNames() const;  // sorted

 private:
  std::wstring dir_;
  std::vector<std::wstring> created_dirs_;  // outermost first; none when prepared
  bool ready_ = false;
};

// A message box of the program: caption, text and whose it is.
struct MessageBoxInfo {
  HWND hwnd = nullptr;
  HWND owner = nullptr;
  std::wstring caption;
  std::wstring text;
};

// One run of the program from a sandbox. The destructor ends a run that is
// still going, so a failing case leaves no window behind.
class Program {
 public:
  enum class Start {
    kNow,
    // Created with its main thread suspended; Resume lets it run.
    kSuspended,
    // Started by a Unix shell from the sandbox directory, `wine ./V7ER.exe`:
    // Wine's CreateProcessW refuses an .exe path longer than MAX_PATH, the
    // Unix loader does not. The process is then found by its image name.
    kFromUnixShell,
    // The same, with Wine's relay trace of the calls in kRelayInclude and of
    // the messages to the dialogs, its menu trace (which gives the texts of
    // menu items) and its font trace (the heights of the fonts made) written
    // to relay.log in the sandbox directory.
    kRelayTraced,
    // Directly, with the token linked to this process's: Wine runs every
    // process elevated, and its linked token is the limited one.
    kWithoutElevation,
  };

  explicit Program(const Sandbox& sandbox, Start start = Start::kNow);
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  bool Started() const { return process_ != nullptr; }
  bool Running() const;
  DWORD Pid() const { return pid_; }
  void Resume();
  // The executable's path as the system reports it for the process.
  std::wstring ImagePath() const;

  // Waits for the setup form to be shown.
  ::testing::AssertionResult WaitForForm();
  // Waits for a message box other than the form. While waiting, notes whether
  // the form ever showed up (see FormSeen).
  ::testing::AssertionResult WaitForMessageBox(MessageBoxInfo& box);
  // Clicks the box's OK button (or the button `button`, such as IDNO) and
  // waits until the box is gone.
  ::testing::AssertionResult DismissMessageBox(const MessageBoxInfo& box, int button = 0);
  // Waits for whichever comes first, the form or a message box; `box.hwnd` is
  // set only for a box.
  ::testing::AssertionResult WaitForFormOrMessageBox(MessageBoxInfo& box);
  ::testing::AssertionResult WaitForExit();
  bool FormSeen() const { return form_seen_; }

  HWND Form() const { return form_; }
  HWND Item(int id) const;
  std::vector<HWND> Children() const;  // in creation (tab) order

  // Edit text, or "checked"/"unchecked" for a check box or option.
  std::wstring Shown(int id) const;
  std::wstring Text(HWND hwnd) const;
  void SetText(int id, std::wstring_view text);
  bool Checked(int id) const;
  bool Enabled(int id) const { return IsWindowEnabled(Item(id)) != FALSE; }
  // Selection of an edit box as [start, end).
  std::pair<int, int> Selection(int id) const;

  // A click that the form handles at once (options, check boxes); returns when
  // the form has handled it.
  void Click(int id);
  // A click whose handling may not return (OK may open a message box or end the
  // program); only posted.
  void PostClick(int id);
  // Moves the focus the way the dialog manager does, e.g. for Tab.
  void Focus(int id);
  HWND Focused() const;
  ::testing::AssertionResult WaitForFocus(HWND expected);
  // A key press delivered to the control holding the focus, through the form's
  // message loop, so the dialog manager sees it.
  void PressKey(UINT vk);
  // Sends a message to the form and returns once it is handled.
  void SendToForm(UINT msg, WPARAM wparam, LPARAM lparam);
  void SendToItem(int id, UINT msg, WPARAM wparam, LPARAM lparam);
  void PostToForm(UINT msg, WPARAM wparam, LPARAM lparam);
  // Drops a file on the form as the shell does: the handle is a block of the
  // program's own memory (here a fixed one, its address) that names the file.
  bool DropFile(const std::wstring& path);

  // A second dialog of the program (not the form, not a message box), known by
  // one of its controls; waits for it to be shown.
  ::testing::AssertionResult WaitForDialog(int item_id, HWND& dialog);
  // The same operations on a control of such a dialog.
  std::wstring ItemText(HWND dialog, int id) const;
  void SetItemText(HWND dialog, int id, std::wstring_view text);
  void ClickItem(HWND dialog, int id);
  void PostClickItem(HWND dialog, int id);
  std::pair<int, int> ItemSelection(HWND dialog, int id) const;

 private:
  std::vector<HWND> TopLevelWindows() const;
  void StartDirectly(const Sandbox& sandbox, bool suspended, bool limited = false);
  void StartFromUnixShell(const Sandbox& sandbox, bool relay_traced);

  HANDLE process_ = nullptr;
  HANDLE suspended_thread_ = nullptr;
  DWORD pid_ = 0;
  DWORD form_thread_ = 0;
  HWND form_ = nullptr;
  bool form_seen_ = false;
};

// The running-application marker, held by the test as the main application
// would hold it.
class MarkerHeld {
 public:
  enum class Access {
    kDefault,
    // An empty access list: nobody else may open it, as when the main
    // application runs with rights the user does not have.
    kDeniedToOthers,
  };
  explicit MarkerHeld(Access access = Access::kDefault);
  ~MarkerHeld();
  MarkerHeld(const MarkerHeld&) = delete;
  MarkerHeld& operator=(const MarkerHeld&) = delete;
  bool Ok() const { return handle_ != nullptr && !existed_; }

 private:
  HANDLE handle_ = nullptr;
  bool existed_ = false;
};

bool MarkerExists();

// Template 102 of the built program as a hidden dialog of this process, with
// the common controls its manifest asks for: the font, base units and template
// flags the program's form gets, before the program changes any.
class TemplateForm {
 public:
  // Another template of the program (the calculator's, in the thread's
  // language), and with `fitted` the texts fitted to their controls as the
  // program's dialogs fit them.
  explicit TemplateForm(int template_id = 102, bool fitted = false);
  ~TemplateForm();
  TemplateForm(const TemplateForm&) = delete;
  TemplateForm& operator=(const TemplateForm&) = delete;

  HWND Dialog() const { return dialog_; }
  HFONT Font() const;
  std::vector<HWND> Children() const;  // in template order
  // Dialog units to pixels: the dialog manager converts a control's position
  // and its size each on its own, so the far edge is not the converted far edge.
  RECT ToPixels(int x, int y, int cx, int cy) const;

 private:
  HANDLE context_ = INVALID_HANDLE_VALUE;
  HMODULE module_ = nullptr;
  HWND dialog_ = nullptr;
  std::vector<HFONT> fitted_fonts_;
};

// Pixels as 0x00RRGGBB, row by row from the top.
struct Pixels {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> data;
};

// A 32-bit top-down DIB section selected into a memory DC.
class Canvas {
 public:
  Canvas(int width, int height);
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  HDC Dc() const { return dc_; }
  Pixels Read() const;

 private:
  int width_;
  int height_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
  void* bits_ = nullptr;
};

// Which standard message-box icon the box shows, judged from its pixels on
// screen: "error", "warning", "information", "question", or empty if unknown.
std::wstring MessageBoxIconKind(HWND box);

// "1006:on 1007:off ..." for a list of controls, for readable comparisons.
std::wstring EnabledStates(const Program& program, const std::vector<int>& ids);

// Polls `value` until it gives `expected`; for effects of posted input, which
// the program handles in its own time.
::testing::AssertionResult Eventually(const std::function<std::wstring()>& value,
                                      const std::wstring& expected);

}  // namespace v7er_ui
