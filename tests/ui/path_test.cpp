// The program finds printer.ini beside itself wherever it was put: in a folder
// with Chinese characters and a space in its name, and at the end of a path
// longer than MAX_PATH, which a fixed-size path buffer would cut.
#include <cwctype>
#include <string>
#include <vector>

#include "form_facts.h"

namespace v7er_ui {
namespace {

std::wstring Lower(std::wstring text) {
  for (auto& c : text) c = static_cast<wchar_t>(towlower(c));
  return text;
}

// Folder names under the sandbox, each short enough for the file system, the
// whole well past MAX_PATH.
std::wstring LongSubPath(const std::wstring& last) {
  std::wstring path;
  for (int level = 1; level <= 6; ++level)
    path += L"level-" + std::to_wstring(level) + L"-" + std::wstring(44, L'a' + level) + L"\\";
  return path + last;
}

struct Place {
  const char* name;
  std::wstring sub_path;
  Program::Start start;
};

void PrintTo(const Place& place, std::ostream* os) {
  *os << place.name;
}

class ProgramPlace : public ::testing::TestWithParam<Place> {};

TEST_P(ProgramPlace, ReadsAndWritesPrinterIniBesideItself) {
  const Place& place = GetParam();
  Sandbox sandbox(place.sub_path);
  ASSERT_TRUE(sandbox.Ready());
  if (place.start == Program::Start::kFromUnixShell) {
    ASSERT_GT(sandbox.ExePath().size(), static_cast<std::size_t>(MAX_PATH));
  }
  std::string file = kDefaultIni;
  file.replace(file.find("fAreaX = 110"), 12, "fAreaX = 150.25");
  ASSERT_NO_FATAL_FAILURE(sandbox.WriteIni(file));
  // Started from the shell, the program's working folder is Wine's Windows
  // folder: a path taken relative to it would land there.
  wchar_t windows[MAX_PATH + 1] = {};
  GetWindowsDirectoryW(windows, MAX_PATH + 1);
  const std::wstring stray = std::wstring(windows) + L"\\printer.ini";
  ASSERT_EQ(GetFileAttributesW(stray.c_str()), INVALID_FILE_ATTRIBUTES) << Narrow(stray);

  Program program(sandbox, place.start);
  ASSERT_TRUE(program.WaitForForm());
  EXPECT_EQ(Lower(program.ImagePath()), Lower(sandbox.ExePath()))
      << "the program does not run from the sandbox";
  EXPECT_EQ(Narrow(program.Shown(IDC_AREA_X)), "150.25") << "printer.ini was not read";
  program.SetText(IDC_AREA_Y, L"81.5");
  program.PostClick(IDOK);
  ASSERT_TRUE(program.WaitForExit());

  std::string expected = file;
  expected.replace(expected.find("fAreaY = 80"), 11, "fAreaY = 81.5");
  EXPECT_EQ(sandbox.IniBytes(), expected);
  // The replaced file is kept beside it, as it was.
  const std::vector<std::wstring> names = sandbox.FileNames();
  EXPECT_EQ(names, (std::vector<std::wstring>{L"V7ER.exe", L"printer.ini", L"printer.ini.bak"}));
  EXPECT_EQ(sandbox.BackupBytes(), file);
  EXPECT_EQ(GetFileAttributesW(stray.c_str()), INVALID_FILE_ATTRIBUTES)
      << "the program wrote " << Narrow(stray);
  // Nothing landed in a folder on the way down, as a cut path would make it.
  std::wstring dir = sandbox.Dir();
  for (std::wstring rest = place.sub_path; !rest.empty();) {
    const std::size_t slash = rest.rfind(L'\\');
    const std::wstring last = slash == std::wstring::npos ? rest : rest.substr(slash + 1);
    rest.resize(slash == std::wstring::npos ? 0 : slash);
    dir.resize(dir.size() - last.size() - 1);
    EXPECT_EQ(NamesIn(dir), std::vector<std::wstring>{last}) << "in " << Narrow(dir);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Folders, ProgramPlace,
    ::testing::Values(Place{"ChineseName", L"\u53c2\u6570 \u8bbe\u7f6e", Program::Start::kNow},
                      Place{"LongPath", LongSubPath(L"setup"), Program::Start::kFromUnixShell},
                      Place{"LongPathChineseName", LongSubPath(L"\u53c2\u6570 \u8bbe\u7f6e"),
                            Program::Start::kFromUnixShell}),
    [](const ::testing::TestParamInfo<Place>& place) { return std::string(place.param.name); });

}  // namespace
}  // namespace v7er_ui
