// V7ER in a folder Windows protects, where Windows keeps a copy of printer.ini
// for each user whose older programs (the main application) could not write
// there: run without elevation it reads and saves that copy, elevated the file
// beside it, and About says which and why. Wine has no such redirection; the
// folders and the copy are made here as Windows would have made them.
#include <cwctype>
#include <string>

#include "form_facts.h"

namespace v7er_ui {
namespace {

std::wstring Variable(const wchar_t* name) {
  wchar_t value[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
  return length && length < MAX_PATH ? value : L"";
}

void Write(const std::wstring& path, const std::string& bytes) {
  const HANDLE file =
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

std::string Read(const std::wstring& path) {
  std::string bytes;
  const HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  char chunk[4096];
  DWORD got = 0;
  while (file != INVALID_HANDLE_VALUE && ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got)
    bytes.append(chunk, got);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  return bytes;
}

// Each folder of `folder` (ending in a backslash), outermost first.
void MakeFolders(const std::wstring& folder) {
  for (std::size_t at = folder.find(L'\\', 3); at != std::wstring::npos;
       at = folder.find(L'\\', at + 1))
    CreateDirectoryW(folder.substr(0, at).c_str(), nullptr);
}

TEST(VirtualStore, WithoutElevationTheUsersCopyElevatedTheFileBesideIt) {
  std::wstring root = Variable(L"ProgramFiles(x86)");
  if (root.empty()) root = Variable(L"ProgramFiles");
  const std::wstring local = Variable(L"LOCALAPPDATA");
  ASSERT_FALSE(root.empty() || local.empty());
  const std::wstring dir = root + L"\\V7ER-test-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
  const std::wstring copy_dir = local + L"\\VirtualStore\\" + dir.substr(3);
  MakeFolders(dir);
  MakeFolders(copy_dir);
  ASSERT_TRUE(CopyFileW(ProgramUnderTest().c_str(), (dir + L"V7ER.exe").c_str(), FALSE));
  const std::wstring copy = copy_dir + L"printer.ini";
  Write(copy, "fAreaX = 222\r\n");
  Sandbox sandbox(Sandbox::PreparedDirectory{dir});
  sandbox.WriteIni(kDefaultIni);
  const FileState beside = sandbox.Ini();
  const Language language = ProgramLanguage();
  {
    SCOPED_TRACE("without elevation");
    Program program(sandbox, Program::Start::kWithoutElevation);
    ASSERT_TRUE(program.WaitForForm());
    EXPECT_EQ(Narrow(program.Shown(IDC_AREA_X)), "222");
    program.PostToForm(WM_SYSCOMMAND, IDM_ABOUT, 0);
    MessageBoxInfo box;
    ASSERT_TRUE(program.WaitForMessageBox(box));
    EXPECT_EQ(Narrow(box.text),
              Narrow(kAbout.In(language, L"1.0.0", copy) + L"\n" + kAboutWritable.In(language) +
                     L"\n\n" + kAboutUserCopy.In(language)));
    ASSERT_TRUE(program.DismissMessageBox(box));
    program.SetText(IDC_AREA_X, L"333");
    program.PostClick(IDOK);
    ASSERT_TRUE(program.WaitForExit());
    std::string saved = kDefaultIni;
    saved.replace(saved.find("fAreaX = 110"), 12, "fAreaX = 333");
    EXPECT_EQ(Read(copy), saved);
    EXPECT_EQ(Read(copy + L".bak"), "fAreaX = 222\r\n");
    EXPECT_EQ(sandbox.Ini(), beside) << "the file beside the program was written";
  }
  {
    SCOPED_TRACE("elevated");
    Program program(sandbox);
    ASSERT_TRUE(program.WaitForForm());
    EXPECT_EQ(Narrow(program.Shown(IDC_AREA_X)), "110");
    program.PostToForm(WM_SYSCOMMAND, IDM_ABOUT, 0);
    MessageBoxInfo box;
    ASSERT_TRUE(program.WaitForMessageBox(box));
    EXPECT_EQ(Narrow(box.text),
              Narrow(kAbout.In(language, L"1.0.0", sandbox.IniPath()) + L"\n" +
                     kAboutWritable.In(language) + L"\n\n" + kUserCopyNote.In(language, copy)));
    ASSERT_TRUE(program.DismissMessageBox(box));
    program.PostClick(IDCANCEL);
    ASSERT_TRUE(program.WaitForExit());
  }
  for (const std::wstring& file : {copy, copy + L".bak", sandbox.IniPath(), dir + L"V7ER.exe"})
    DeleteFileW(file.c_str());
  RemoveDirectoryW(copy_dir.c_str());
  RemoveDirectoryW(dir.c_str());
}

// Without a copy, in a protected folder that refuses new files (prepared by
// fault-dirs.sh as a link in the prefix's Program Files), OK makes the copy and
// its folders, as Windows' redirection would, and saves there.
TEST(VirtualStoreSaveFault, RefusedFolderMakesTheUsersCopy) {
  std::wstring root = Variable(L"ProgramFiles(x86)");
  if (root.empty()) root = Variable(L"ProgramFiles");
  const std::wstring dir = root + L"\\v7er-refusing-folder\\";
  if (GetFileAttributesW(dir.c_str()) == INVALID_FILE_ATTRIBUTES)
    GTEST_SKIP() << "no " << Narrow(dir) << ": tests/ui/fault-dirs.sh makes it, as root";
  const std::wstring copy_dir = Variable(L"LOCALAPPDATA") + L"\\VirtualStore\\" + dir.substr(3);
  const std::wstring copy = copy_dir + L"printer.ini";
  DeleteFileW(copy.c_str());
  DeleteFileW((copy + L".bak").c_str());
  Sandbox sandbox(Sandbox::PreparedDirectory{dir});
  sandbox.WriteIni(kDefaultIni);
  const FileState beside = sandbox.Ini();
  Program program(sandbox, Program::Start::kWithoutElevation);
  ASSERT_TRUE(program.WaitForForm());
  program.SetText(IDC_AREA_X, L"444");
  program.PostClick(IDOK);
  ASSERT_TRUE(program.WaitForExit()) << "the save did not go to the user's copy";
  std::string saved = kDefaultIni;
  saved.replace(saved.find("fAreaX = 110"), 12, "fAreaX = 444");
  EXPECT_EQ(Read(copy), saved);
  EXPECT_EQ(sandbox.Ini(), beside);
  DeleteFileW(copy.c_str());
  RemoveDirectoryW(copy_dir.c_str());
}

}  // namespace
}  // namespace v7er_ui
