// V7ER in a folder Windows protects, where Windows keeps a copy of printer.ini
// for each user whose older programs (the main application) could not write
// there: run without elevation it reads and saves that copy, elevated the file
// beside it (and the copy too, if the user says so), and names both. Wine has
// no such redirection; the folders and the copy are made here as Windows would
// have made them.
#include <string>

#include "form_facts.h"

namespace v7er_ui {
namespace {

std::wstring Variable(const wchar_t* name) {
  wchar_t value[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
  return length && length < MAX_PATH ? value : L"";
}

// The protected folder of 32-bit programs, and the user's copy of `folder`.
std::wstring ProgramFilesFolder() {
  const std::wstring x86 = Variable(L"ProgramFiles(x86)");
  return x86.empty() ? Variable(L"ProgramFiles") : x86;
}
std::wstring UserCopyFolder(const std::wstring& folder) {
  return Variable(L"LOCALAPPDATA") + L"\\VirtualStore\\" + folder.substr(3);
}

std::wstring IniWithAreaX(const char* value) {
  std::string ini = kDefaultIni;
  return Widen(ini.replace(ini.find("fAreaX = 110"), 12, std::string("fAreaX = ") + value));
}

TEST(VirtualStore, WithoutElevationTheUsersCopyElevatedTheFileBesideIt) {
  const std::wstring dir =
      ProgramFilesFolder() + L"\\V7ER-test-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
  const std::wstring copy_dir = UserCopyFolder(dir);
  for (const std::wstring& folder : {dir, copy_dir})
    for (std::size_t at = folder.find(L'\\', 3); at != std::wstring::npos;
         at = folder.find(L'\\', at + 1))
      CreateDirectoryW(folder.substr(0, at).c_str(), nullptr);
  ASSERT_TRUE(CopyFileW(ProgramUnderTest().c_str(), (dir + L"V7ER.exe").c_str(), FALSE));
  const std::wstring copy = copy_dir + L"printer.ini";
  WriteFileDated(copy, "fAreaX = 222\r\n");
  Sandbox sandbox(Sandbox::PreparedDirectory{dir});
  sandbox.WriteIni(kDefaultIni);
  const FileState beside = sandbox.Ini();
  const struct {
    Program::Start start;
    const char* shown;                   // fAreaX
    std::vector<std::wstring> in_about;  // the file in use first
    const wchar_t* typed;
  } runs[] = {{Program::Start::kWithoutElevation, "222", {copy}, L"333"},
              {Program::Start::kNow, "110", {sandbox.IniPath(), copy}, L"444"}};
  for (const auto& run : runs) {
    SCOPED_TRACE(run.shown);
    const bool elevated = run.start == Program::Start::kNow;
    Program program(sandbox, run.start);
    ASSERT_TRUE(program.WaitForForm());
    MessageBoxInfo box;
    // Elevated, the form says at once which file the main application reads;
    // About says so too, and Show changes names the copy.
    for (const UINT command : elevated ? std::vector<UINT>{0, IDM_ABOUT, IDM_SHOW_CHANGES}
                                       : std::vector<UINT>{IDM_ABOUT}) {
      if (command) program.PostToForm(WM_SYSCOMMAND, command, 0);
      ASSERT_TRUE(program.WaitForMessageBox(box));
      for (const std::wstring& path : run.in_about) {
        if (command == IDM_SHOW_CHANGES && path != copy) continue;
        EXPECT_NE(box.text.find(path), std::wstring::npos) << Narrow(box.text);
      }
      ASSERT_TRUE(program.DismissMessageBox(box));
    }
    EXPECT_EQ(Narrow(program.Shown(IDC_AREA_X)), run.shown);
    program.SetText(IDC_AREA_X, run.typed);
    program.PostClick(IDOK);
    // Elevated, OK asks which files to save: Cancel goes back to the form,
    // Yes saves to both.
    for (const int answer : elevated ? std::vector<int>{IDCANCEL, IDYES} : std::vector<int>{}) {
      ASSERT_TRUE(program.WaitForMessageBox(box));
      EXPECT_NE(box.text.find(copy), std::wstring::npos) << Narrow(box.text);
      EXPECT_TRUE(GetDlgItem(box.hwnd, IDNO));
      ASSERT_TRUE(program.DismissMessageBox(box, answer));
      if (answer == IDCANCEL) {
        EXPECT_EQ(sandbox.Ini(), beside) << "saved on Cancel";
        program.PostClick(IDOK);
      }
    }
    ASSERT_TRUE(program.WaitForExit());
  }
  EXPECT_EQ(Widen(FileAt(copy).bytes), IniWithAreaX("444"));
  EXPECT_EQ(Widen(FileAt(copy + L".bak").bytes), IniWithAreaX("333"));
  EXPECT_EQ(Widen(sandbox.IniBytes()), IniWithAreaX("444"));
  EXPECT_EQ(sandbox.BackupBytes(), kDefaultIni);
  for (const std::wstring& file :
       {copy, copy + L".bak", sandbox.IniPath(), sandbox.IniPath() + L".bak", dir + L"V7ER.exe"})
    DeleteFileW(file.c_str());
  RemoveDirectoryW(copy_dir.c_str());
  RemoveDirectoryW(dir.c_str());
}

}  // namespace
}  // namespace v7er_ui
