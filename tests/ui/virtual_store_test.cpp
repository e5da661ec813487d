// V7ER in a folder Windows protects, where Windows keeps a copy of printer.ini
// for each user whose older programs (the main application) could not write
// there: run without elevation it reads and saves that copy, elevated the file
// beside it, and About names both. Wine has no such redirection; the folders
// and the copy are made here as Windows would have made them.
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
  } runs[] = {{Program::Start::kWithoutElevation, "222", {copy}},
              {Program::Start::kNow, "110", {sandbox.IniPath(), copy}}};
  for (const auto& run : runs) {
    SCOPED_TRACE(run.shown);
    Program program(sandbox, run.start);
    ASSERT_TRUE(program.WaitForForm());
    EXPECT_EQ(Narrow(program.Shown(IDC_AREA_X)), run.shown);
    program.PostToForm(WM_SYSCOMMAND, IDM_ABOUT, 0);
    MessageBoxInfo box;
    ASSERT_TRUE(program.WaitForMessageBox(box));
    for (const std::wstring& path : run.in_about)
      EXPECT_NE(box.text.find(path), std::wstring::npos) << Narrow(box.text);
    ASSERT_TRUE(program.DismissMessageBox(box));
    program.SetText(IDC_AREA_X, L"333");
    program.PostClick(run.start == Program::Start::kNow ? IDCANCEL : IDOK);
    ASSERT_TRUE(program.WaitForExit());
  }
  EXPECT_EQ(Widen(FileAt(copy).bytes), IniWithAreaX("333"));
  EXPECT_EQ(FileAt(copy + L".bak").bytes, "fAreaX = 222\r\n");
  EXPECT_EQ(sandbox.Ini(), beside) << "the file beside the program was written";
  for (const std::wstring& file : {copy, copy + L".bak", sandbox.IniPath(), dir + L"V7ER.exe"})
    DeleteFileW(file.c_str());
  RemoveDirectoryW(copy_dir.c_str());
  RemoveDirectoryW(dir.c_str());
}

}  // namespace
}  // namespace v7er_ui
