// Wine takes the user's locale and code page from the Unix locale of each
// process. CTest runs this case with LANG and LC_ALL naming a locale that is
// not installed: the form must still open, show the file's values and write
// them back unchanged.
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "form_facts.h"

namespace v7er_ui {
namespace {

std::string ReadAll(const std::wstring& path) {
  std::string bytes;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

// The Unix environment of the process whose Unix command line names `exe`, as
// NUL-separated NAME=value entries; what Wine read its locale from.
std::vector<std::string> UnixEnvironmentOf(const std::wstring& exe) {
  const std::string wanted = Narrow(exe);
  WIN32_FIND_DATAW found = {};
  HANDLE search = FindFirstFileW(L"Z:\\proc\\*", &found);
  if (search == INVALID_HANDLE_VALUE) return {};
  std::vector<std::string> environment;
  do {
    const std::wstring pid = found.cFileName;
    if (pid.empty() || pid.find_first_not_of(L"0123456789") != std::wstring::npos) continue;
    const std::wstring proc = L"Z:\\proc\\" + pid + L"\\";
    if (ReadAll(proc + L"cmdline").find(wanted) == std::string::npos) continue;
    const std::string all = ReadAll(proc + L"environ");
    for (std::size_t start = 0; start < all.size();) {
      const std::size_t end = std::min(all.find('\0', start), all.size());
      environment.push_back(all.substr(start, end - start));
      start = end + 1;
    }
    break;
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return environment;
}

// Lines as the program writes them, with values away from the defaults.
struct Line {
  int id;  // 0: the mode option group
  const char* line;
  const wchar_t* shown;
};
const Line kLines[] = {
    {IDC_AREA_X, "fAreaX = 120.5", L"120.5"},
    {IDC_AREA_Y, "fAreaY = 0.1", L"0.1"},
    {IDC_AREA_Z, "fAreaZ = 100", L"100"},
    {IDC_STEP_X, "fStepX = 0.006985134916", L"0.006985134916"},
    {IDC_STEP_Y, "fStepY = -2.5", L"-2.5"},
    {IDC_STEP_Z, "fStepZ = 1234.5678", L"1234.5678"},
    {IDC_SPEED_SCALE, "nSpeedScale = -7", L"-7"},
    {IDC_SPEED_BASE, "nSpeedBase = 31", L"31"},
    {IDC_RELEASE_LIMIT, "nResetMode = 2", L"checked"},
    {IDC_RESET_ORDER, "strResetOrder = z,xy", L"z,xy"},
    {0, "nPrintMode = 3", L"2063"},
    {IDC_FLIP_ANGLE, "dFlipAngle = 45.25", L"45.25"},
    {IDC_CLEAR_ROTATE_RETURN, "bClearRotateReturn = 0", L"unchecked"},
    {IDC_RESET_ROTATE, "bResetRotate = 1", L"checked"},
    {IDC_SWIVEL_MODULUS, "fSwivelModulus = 0.3333333333", L"0.3333333333"},
    {IDC_INIT_RESET, "bInitReset = 1", L"checked"},
    {IDC_FIRST_PRN_RESET, "bFirstPrnReset = 0", L"unchecked"},
    {IDC_DELAY_CHAR_SP, "nDelayCharSp = 2147483647", L"2147483647"},
};

TEST(NoUsableLocale, FormOpensAndFileRoundTrips) {
  const char* lang = std::getenv("LANG");
  const char* lc_all = std::getenv("LC_ALL");
  if (!lang || !lc_all || std::string(lang) != lc_all)
    GTEST_SKIP() << "LANG and LC_ALL do not name one locale; CTest sets both for this case";

  std::string file;
  for (const Line& line : kLines) file += std::string(line.line) + "\r\n";
  Sandbox sandbox;
  sandbox.WriteIni(file);
  const FileState before = sandbox.Ini();
  Program program(sandbox);
  ASSERT_TRUE(program.WaitForForm());

  // The setting must have reached the program itself, not only this driver.
  const std::vector<std::string> environment = UnixEnvironmentOf(sandbox.ExePath());
  ASSERT_FALSE(environment.empty()) << "no Unix process runs " << Narrow(sandbox.ExePath());
  for (const std::string name : {"LANG", "LC_ALL"}) {
    const std::string expected = name + "=" + lang;
    EXPECT_NE(std::find(environment.begin(), environment.end(), expected), environment.end())
        << "the program runs without " << expected;
  }

  for (const Line& line : kLines) {
    const std::wstring shown = line.id == 0 ? CheckedOptions(program) : program.Shown(line.id);
    EXPECT_EQ(Narrow(shown), Narrow(line.shown)) << "line \"" << line.line << "\"";
  }
  program.PostClick(IDOK);
  ASSERT_TRUE(program.WaitForExit());
  const FileState after = sandbox.Ini();
  EXPECT_EQ(after.bytes, file);
  EXPECT_NE(after.write_time, before.write_time) << "OK did not write printer.ini";
}

}  // namespace
}  // namespace v7er_ui
