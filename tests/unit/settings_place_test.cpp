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
    {L"ProgramFiles", L"C:\\Program Files"}, {L"ProgramFiles(x86)", L"C:\\Program Files (x86)"},
    {L"ProgramW6432", L"C:\\Program Files"}, {L"SystemRoot", L"C:\\Windows"},
    {L"ProgramData", L"C:\\ProgramData"},    {L"LOCALAPPDATA", L"C:\\Users\\tech\\AppData\\Local"},
};

TEST(SettingsPlace, FoundAsAnOlderProgramFindsIt) {
  const std::wstring store = L"C:\\Users\\tech\\AppData\\Local\\VirtualStore\\";
  const struct {
    const char* name;
    std::wstring folder;
    bool elevated, copyThere;
    std::wstring path, userCopy;
    bool wow64 = false;           // a 32-bit process on 64-bit Windows
    bool virtualization = true;   // the token allows it
    std::wstring longForm = L"";  // `folder`'s, where it differs
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
      {"32-bit, in the 64-bit programs' folder", L"C:\\Program Files\\Calvor\\", false, true,
       store + L"Program Files\\Calvor\\printer.ini", store + L"Program Files\\Calvor\\printer.ini",
       true},
      {"a short name", L"C:\\PROGRA~2\\Calvor\\", false, true,
       store + L"Program Files (x86)\\Calvor\\printer.ini",
       store + L"Program Files (x86)\\Calvor\\printer.ini", false, true,
       L"C:\\Program Files (x86)\\Calvor\\"},
      {"an extended-length path", L"\\\\?\\C:\\ProgramData\\Calvor\\", false, false,
       L"C:\\ProgramData\\Calvor\\printer.ini", store + L"ProgramData\\Calvor\\printer.ini"},
      {"virtualisation not allowed", L"C:\\Program Files\\Calvor\\", false, false,
       L"C:\\Program Files\\Calvor\\printer.ini", L"", false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TestFiles files;
    files.environment = kWindows;
    if (c.wow64) files.environment[L"ProgramFiles"] = kWindows.at(L"ProgramFiles(x86)");
    files.elevated = c.elevated;
    files.virtualization = c.virtualization;
    if (!c.longForm.empty()) files.longPaths[c.folder] = c.longForm;
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

// Without elevation, a file beside the program that may not be made or
// replaced sends the save to the user's copy, made with its folders, and the
// first such save keeps the file it stands in for as the copy's backup;
// elevated, the refusal stands. Elevated with a copy, the user picks the files.
TEST(SettingsPlace, RefusedFolderSavesToTheUserCopy) {
  enum Refusal { kNone, kNewFiles, kReplace };
  const struct {
    const char* name;
    bool elevated;
    Refusal refusal;
    bool copyThere, both;
    bool besideSaved, copySaved;
    const char* copyBackup;  // its first bytes
  } cases[] = {
      {"new files refused", false, kNewFiles, false, false, false, true, "fAreaX = 5\r\n"},
      {"new files refused, elevated", true, kNewFiles, false, false, false, false, ""},
      {"replace refused", false, kReplace, false, false, false, true, "fAreaX = 5\r\n"},
      {"replace refused, elevated", true, kReplace, false, false, false, false, ""},
      {"elevated with a copy, this file only", true, kNone, true, false, true, false, ""},
      {"elevated with a copy, both", true, kNone, true, true, true, true, "fAreaX = 6\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::wstring root = dir.File(L"Program Files");
    const std::wstring program = root + L"\\Calvor\\";
    const std::wstring copy =
        dir.File(L"Local") + L"\\VirtualStore" + program.substr(2) + L"printer.ini";
    std::filesystem::create_directories(program);
    std::filesystem::create_directories(dir.path() / "Local");
    WriteBytes(program + L"printer.ini", "fAreaX = 5\r\n");
    if (c.copyThere) {
      std::filesystem::create_directories(std::filesystem::path(copy).parent_path());
      WriteBytes(copy, "fAreaX = 6\r\n");
    }
    TestFiles files;
    files.environment = {{L"ProgramFiles", root}, {L"LOCALAPPDATA", dir.File(L"Local")}};
    files.elevated = c.elevated;
    files.fail = [&](const std::wstring& path) {
      return c.refusal == kNewFiles && path.starts_with(program) && path.ends_with(L".tmp")
                 ? kDenied
                 : 0;
    };
    if (c.refusal == kReplace) files.unreplaceable[program + L"printer.ini"] = kDenied;
    SettingsPlace place = FindSettingsPlace(files, program);
    ASSERT_EQ(place.path, program + L"printer.ini");
    bool exists = false;
    SaveFailure failure;  // as About finds it
    EXPECT_EQ(CheckSettingsPlace(files, place, exists, failure) == SaveProblem::AccessDenied,
              c.refusal != kNone);
    HardwareParams params;
    params.fAreaX = 7;
    const SaveResult result = SaveSettingsAt(files, place, params, c.both);
    EXPECT_EQ(result.saved, c.besideSaved || c.copySaved);
    EXPECT_EQ(result.problem, result.saved ? SaveProblem::None : SaveProblem::AccessDenied);
    EXPECT_EQ(ReadBytes(program + L"printer.ini").substr(0, 12),
              c.besideSaved ? "fAreaX = 7\r\n" : "fAreaX = 5\r\n");
    EXPECT_EQ(ReadBytes(copy).substr(0, 12),
              c.copySaved ? "fAreaX = 7\r\n" : (c.copyThere ? "fAreaX = 6\r\n" : ""));
    EXPECT_EQ(ReadBytes(copy + L".bak").substr(0, 12), c.copyBackup);
    EXPECT_EQ(place.path, c.copySaved && !c.besideSaved ? copy : program + L"printer.ini");
    EXPECT_TRUE(c.elevated || files.waited == 0) << "a refusal of rights was waited for";
  }
}
#endif

}  // namespace
