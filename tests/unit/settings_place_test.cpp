// Which printer.ini the main application reads, and where a save goes, for
// each answer of the system: protected folder or not, elevated or not, with a
// per-user copy or without.
#include "settings_place.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <gtest/gtest.h>

#include <map>

#include "temp_dir.h"
#include "test_files.h"

namespace {

const std::map<std::wstring, std::wstring> kWindows = {
    {L"ProgramFiles", L"C:\\Program Files"},
    {L"ProgramFiles(x86)", L"C:\\Program Files (x86)"},
    {L"SystemRoot", L"C:\\Windows"},
    {L"ProgramData", L"C:\\ProgramData"},
    {L"LOCALAPPDATA", L"C:\\Users\\tech\\AppData\\Local"},
};

TEST(SettingsPlace, FoundAsAnOlderProgramFindsIt) {
  const std::wstring store = L"C:\\Users\\tech\\AppData\\Local\\VirtualStore\\";
  const struct {
    const char* name;
    std::wstring folder;
    bool elevated, copyThere;
    std::wstring path, userCopy;
  } cases[] = {
      {"not protected", L"D:\\Laser\\", false, false, L"D:\\Laser\\printer.ini", L""},
      {"a name that only begins like a root", L"C:\\Program Files Old\\X\\", false, false,
       L"C:\\Program Files Old\\X\\printer.ini", L""},
      {"protected, no copy", L"C:\\Program Files (x86)\\Calvor\\", false, false,
       L"C:\\Program Files (x86)\\Calvor\\printer.ini",
       store + L"Program Files (x86)\\Calvor\\printer.ini"},
      {"protected, the user's copy", L"c:\\program files (x86)\\Calvor\\", false, true,
       store + L"program files (x86)\\Calvor\\printer.ini",
       store + L"program files (x86)\\Calvor\\printer.ini"},
      {"elevated reads beside the program", L"C:\\ProgramData\\Calvor\\", true, true,
       L"C:\\ProgramData\\Calvor\\printer.ini", store + L"ProgramData\\Calvor\\printer.ini"},
      {"the Windows folder", L"C:\\Windows\\Calvor\\", false, true,
       store + L"Windows\\Calvor\\printer.ini", store + L"Windows\\Calvor\\printer.ini"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TestFiles files;
    files.environment = kWindows;
    files.elevated = c.elevated;
    files.existing.emplace();
    if (c.copyThere) files.existing->insert(c.userCopy);
    const SettingsPlace place = FindSettingsPlace(files, c.folder);
    EXPECT_EQ(place.path, c.path);
    EXPECT_EQ(place.userCopy, c.userCopy);
    EXPECT_EQ(place.OtherCopyRead(), c.elevated && c.copyThere);
  }
}

#ifdef _WIN32
constexpr SystemError kDenied = ERROR_ACCESS_DENIED;

// Without elevation, a folder that refuses the save sends it to the user's
// copy, made with its folders; elevated, the refusal stands.
TEST(SettingsPlace, RefusedFolderSavesToTheUserCopy) {
  for (const bool elevated : {false, true}) {
    SCOPED_TRACE(elevated ? "elevated" : "not elevated");
    TempDir dir;
    const std::wstring root = dir.File(L"Program Files");
    const std::wstring program = root + L"\\Calvor\\";
    std::filesystem::create_directories(program);
    std::filesystem::create_directories(dir.path() / "Local");
    WriteBytes(program + L"printer.ini", "fAreaX = 5\r\n");
    TestFiles files;
    files.environment = {{L"ProgramFiles", root}, {L"LOCALAPPDATA", dir.File(L"Local")}};
    files.elevated = elevated;
    // The program's folder refuses new files, as for lack of rights.
    files.fail = [&](const std::wstring& path) {
      return path.starts_with(program) && path.ends_with(L".tmp") ? kDenied : 0;
    };
    SettingsPlace place = FindSettingsPlace(files, program);
    ASSERT_EQ(place.path, program + L"printer.ini");
    HardwareParams params;
    params.fAreaX = 7;
    const SaveResult result = SaveSettingsAt(files, place, params);
    EXPECT_EQ(ReadBytes(program + L"printer.ini"), "fAreaX = 5\r\n");
    const std::wstring copy =
        dir.File(L"Local") + L"\\VirtualStore" + program.substr(2) + L"printer.ini";
    EXPECT_EQ(result.saved, !elevated);
    EXPECT_EQ(place.path, elevated ? program + L"printer.ini" : copy);
    EXPECT_EQ(ReadBytes(copy).substr(0, 12), elevated ? "" : "fAreaX = 7\r\n");
  }
}
#endif

}  // namespace
