// Which printer.ini the main application reads, and where a save goes, for
// each answer of the system: protected folder or not, elevated or not, with a
// per-user copy or without.
#include "settings_place.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "temp_dir.h"

namespace {

// The real files, with the environment, the elevation and (optionally) a
// folder that refuses new files as the test says.
class PlaceFiles final : public FileSystem {
 public:
  std::map<std::wstring, std::wstring> environment;
  bool elevated = false;
  std::set<std::wstring> existing;  // Look finds these and nothing else, when set
  std::wstring refusing;            // CreateNew fails for lack of rights below it

  SystemError Look(const std::wstring& path, PathFacts& facts) override {
    if (existing.empty()) return real_.Look(path, facts);
    facts = {};
    facts.exists = existing.count(path) > 0;
    return 0;
  }
  SystemError OpenRead(const std::wstring& path, Handle& file) override {
    return real_.OpenRead(path, file);
  }
  SystemError Read(Handle file, char* buffer, std::size_t size, std::size_t& count) override {
    return real_.Read(file, buffer, size, count);
  }
  SystemError CreateNew(const std::wstring& path, std::uint32_t mode, Handle& file) override {
    if (!refusing.empty() && path.starts_with(refusing)) return denied_;
    return real_.CreateNew(path, mode, file);
  }
  SystemError Write(Handle file, const char* bytes, std::size_t size,
                    std::size_t& written) override {
    return real_.Write(file, bytes, size, written);
  }
  SystemError Flush(Handle file) override { return real_.Flush(file); }
  SystemError Close(Handle file) override { return real_.Close(file); }
  SystemError Move(const std::wstring& from, const std::wstring& to) override {
    return real_.Move(from, to);
  }
  SystemError Remove(const std::wstring& path) override { return real_.Remove(path); }
  SystemError List(const std::wstring& folder, const std::wstring& prefix,
                   std::vector<std::wstring>& names) override {
    return real_.List(folder, prefix, names);
  }
  SystemError MakeFolder(const std::wstring& path) override { return real_.MakeFolder(path); }
  ErrorKind KindOf(SystemError error) const override { return real_.KindOf(error); }
  bool Elevated() override { return elevated; }
  std::wstring Environment(const std::wstring& name) override {
    const auto found = environment.find(name);
    return found == environment.end() ? std::wstring() : found->second;
  }
  std::uint64_t ProcessNumber() const override { return real_.ProcessNumber(); }
  void Wait(int milliseconds) override { real_.Wait(milliseconds); }

 private:
  FileSystem& real_ = SystemFiles();
  // The system's own "access denied": the refusal of rights the save knows.
  const SystemError denied_ = [] {
    for (SystemError e = 1; e < 200; ++e)
      if (SystemFiles().KindOf(e) == ErrorKind::AccessDenied) return e;
    return SystemError{0};
  }();
};

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
    PlaceFiles files;
    files.environment = kWindows;
    files.elevated = c.elevated;
    files.existing = {L"(nothing)"};
    if (c.copyThere) files.existing.insert(c.userCopy);
    const SettingsPlace place = FindSettingsPlace(files, c.folder);
    EXPECT_EQ(place.path, c.path);
    EXPECT_EQ(place.userCopy, c.userCopy);
    EXPECT_EQ(place.besideProgram, c.folder + L"printer.ini");
    EXPECT_EQ(place.OtherCopyRead(), c.elevated && c.copyThere);
  }
}

#ifdef _WIN32
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
    PlaceFiles files;
    files.environment = {{L"ProgramFiles", root}, {L"LOCALAPPDATA", dir.File(L"Local")}};
    files.elevated = elevated;
    files.refusing = program;
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
