#include "settings_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <chrono>
#include <cmath>
#include <random>
#include <string>
#include <thread>
#include <iostream>

#include "settings_text.h"
#include "temp_dir.h"

#ifndef _WIN32
#include <grp.h>
#include <pwd.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#else
#include <windows.h>
#endif

namespace {

const std::string kDefaultFile =
    "fAreaX = 110\r\nfAreaY = 80\r\nfAreaZ = 100\r\n"
    "fStepX = 0.0069851349\r\nfStepY = 0.0069851349\r\nfStepZ = 0.0069851349\r\n"
    "nSpeedScale = 5\r\nnSpeedBase = 30\r\nnResetMode = 1\r\nstrResetOrder = xy\r\n"
    "nPrintMode = 0\r\ndFlipAngle = 30\r\nbClearRotateReturn = 1\r\nbResetRotate = 0\r\n"
    "fSwivelModulus = 0.01125\r\nbInitReset = 0\r\nbFirstPrnReset = 1\r\nnDelayCharSp = 0\r\n";

HardwareParams LoadBytes(const TempDir& dir, const std::string& bytes) {
  WriteBytes(dir.File(L"printer.ini"), bytes);
  HardwareParams params;
  LoadSettingsFrom(dir.File(L"printer.ini"), params);
  return params;
}

TEST(SettingsFile, PathIsBesideTheExecutable) {
  const std::wstring path = SettingsPath();
  ASSERT_GT(path.size(), std::wstring(L"printer.ini").size());
  EXPECT_TRUE(path.ends_with(L"printer.ini"));
  const std::filesystem::path directory = std::filesystem::path(path).parent_path();
  EXPECT_TRUE(std::filesystem::exists(directory / "v7er_unit_tests.exe") ||
              std::filesystem::exists(directory / "v7er_unit_tests"));
}

TEST(SettingsFile, DefaultsSavedWithoutFileGiveTheEighteenLines) {
  TempDir dir;
  const SaveResult result = SaveSettingsTo(dir.File(L"printer.ini"), HardwareParams{});
  ASSERT_TRUE(result.saved) << testing::PrintToString(result.reason);
  EXPECT_EQ(ReadBytes(dir.File(L"printer.ini")), kDefaultFile);
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"printer.ini"});
}

TEST(SettingsFile, MissingFileKeepsDefaults) {
  TempDir dir;
  HardwareParams params;
  LoadSettingsFrom(dir.File(L"printer.ini"), params);
  EXPECT_EQ(params, HardwareParams{});
}

TEST(SettingsFile, ReaderFileEdgeCases) {
  TempDir dir;
  const struct {
    const char* name;
    std::string bytes;
    void (*expect)(const HardwareParams&);
  } cases[] = {
      {"last value of a repeated key wins, others undisturbed",
       "fAreaX = 1\r\n// note\r\nunknown = 3\r\nfAreaY = 2\r\nfAreaX = 4\r\n",
       [](const HardwareParams& p) {
         EXPECT_EQ(p.fAreaX, 4);
         EXPECT_EQ(p.fAreaY, 2);
       }},
      {"last line without a line end", "fAreaX = 1\nfAreaZ = 7",
       [](const HardwareParams& p) { EXPECT_EQ(p.fAreaZ, 7); }},
      {"LF-only line ends", "strResetOrder = y,x\nnSpeedScale = 9\n",
       [](const HardwareParams& p) {
         EXPECT_EQ(p.strResetOrder, L"y,x");
         EXPECT_EQ(p.nSpeedScale, 9);
       }},
      {"only the CR before LF is dropped", "strResetOrder = a\r\r\nfAreaX = 3\r\n",
       [](const HardwareParams& p) {
         EXPECT_EQ(p.strResetOrder, L"a\r");
         EXPECT_EQ(p.fAreaX, 3);
       }},
      {"byte-order mark spoils the first key only",
       "\xEF\xBB\xBF"
       "fAreaX = 1\r\nfAreaY = 2\r\n",
       [](const HardwareParams& p) {
         EXPECT_EQ(p.fAreaX, 110);
         EXPECT_EQ(p.fAreaY, 2);
       }},
      {"NUL bytes stay inside their line", std::string("fAreaX = 1\0x\r\nfAreaY", 20) + " = 2\r\n",
       [](const HardwareParams& p) {
         EXPECT_EQ(p.fAreaX, 1);
         EXPECT_EQ(p.fAreaY, 2);
       }},
      {"empty file", "", [](const HardwareParams& p) { EXPECT_EQ(p, HardwareParams{}); }},
      {"a copied text's path line", "C:\\V7ER=1\\printer.ini\r\nfAreaX = 5\r\n",
       [](const HardwareParams& p) {
         HardwareParams expected;
         expected.fAreaX = 5;
         EXPECT_EQ(p, expected);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const HardwareParams loaded = LoadBytes(dir, c.bytes);
    c.expect(loaded);
    // A pasted text and another file are read as the settings file is.
    HardwareParams pasted, opened;
    ApplyGivenValues(GivenInText(std::wstring(c.bytes.begin(), c.bytes.end())), pasted);
    GivenValues given;
    ASSERT_TRUE(GivenInFile(dir.File(L"printer.ini"), given));
    ApplyGivenValues(given, opened);
    EXPECT_EQ(pasted, loaded);
    EXPECT_EQ(opened, loaded);
    EXPECT_EQ(AnyGiven(given), loaded != HardwareParams{});
  }
}

// Random sets survive save and load: steps to ten significant digits, ranges
// and flip angle to four decimals, everything else exactly.
TEST(SettingsFile, RandomRoundTrips) {
  TempDir dir;
  std::mt19937_64 random(20261207);
  std::uniform_real_distribution<double> size(-5000, 5000);
  std::uniform_real_distribution<double> exponent(-12, 6);
  std::uniform_int_distribution<std::int32_t> integer(std::numeric_limits<std::int32_t>::min(),
                                                      std::numeric_limits<std::int32_t>::max());
  const std::wstring orders[] = {L"xy", L"z,xy", L"", L"a=b", L"x\\=y", L"y, x", L"//z"};
  for (int round = 0; round < 200; ++round) {
    HardwareParams p;
    p.fAreaX = size(random);
    p.fAreaY = size(random);
    p.fAreaZ = size(random);
    p.fStepX = std::pow(10.0, exponent(random));
    p.fStepY = -std::pow(10.0, exponent(random));
    p.fStepZ = size(random);
    p.nSpeedScale = integer(random);
    p.nSpeedBase = integer(random);
    p.bReleaseLimitAfterReset = round & 1;
    p.strResetOrder = orders[round % std::size(orders)];
    p.nPrintMode = round % 7 - 1;
    p.dFlipAngle = size(random);
    p.bClearRotateReturn = (round >> 1) & 1;
    p.bResetRotate = (round >> 2) & 1;
    p.fSwivelModulus = std::pow(10.0, exponent(random));
    p.bInitReset = (round >> 3) & 1;
    p.bFirstPrnReset = (round >> 4) & 1;
    p.nDelayCharSp = integer(random);

    ASSERT_TRUE(SaveSettingsTo(dir.File(L"printer.ini"), p).saved);
    HardwareParams back;
    LoadSettingsFrom(dir.File(L"printer.ini"), back);
    for (auto field : {&HardwareParams::fAreaX, &HardwareParams::fAreaY, &HardwareParams::fAreaZ,
                       &HardwareParams::dFlipAngle}) {
      EXPECT_NEAR(back.*field, p.*field, 0.00005 + std::abs(p.*field) * 1e-15);
    }
    for (auto field : {&HardwareParams::fStepX, &HardwareParams::fStepY, &HardwareParams::fStepZ,
                       &HardwareParams::fSwivelModulus}) {
      EXPECT_NEAR(back.*field, p.*field, std::abs(p.*field) * 5e-10);
    }
    HardwareParams exact = back;
    exact.fAreaX = p.fAreaX, exact.fAreaY = p.fAreaY, exact.fAreaZ = p.fAreaZ;
    exact.dFlipAngle = p.dFlipAngle, exact.fStepX = p.fStepX, exact.fStepY = p.fStepY;
    exact.fStepZ = p.fStepZ, exact.fSwivelModulus = p.fSwivelModulus;
    EXPECT_EQ(exact, p) << "integers, flags and text must survive exactly";

    // A file this writer produced comes back byte for byte from load and save.
    const std::string first = ReadBytes(dir.File(L"printer.ini"));
    ASSERT_TRUE(SaveSettingsTo(dir.File(L"printer.ini"), back).saved);
    EXPECT_EQ(ReadBytes(dir.File(L"printer.ini")), first);
  }
}

// Each save keeps the file it replaces, byte for byte, as printer.ini.bak, and
// the next save replaces that; a first save makes none. Temporary files that a
// cut-off save left are removed, files of other names stay.
TEST(SettingsFile, SaveKeepsTheReplacedFileAsBackup) {
  TempDir dir;
  const std::wstring ini = dir.File(L"printer.ini");
  const std::wstring backup = dir.File(L"printer.ini.bak");
  HardwareParams first, second;
  first.fAreaX = 1;
  second.fAreaX = 2;
  ASSERT_TRUE(SaveSettingsTo(ini, first).saved);
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"printer.ini"});

  // Not the writer's: a comment, an unknown key, a stray byte, a NUL.
  constexpr char kHandWritten[] = "// comment\r\nunknown = 1\r\nfAreaX = 5\xff\r\n\0tail";
  const std::string handWritten(kHandWritten, sizeof kHandWritten - 1);
  WriteBytes(ini, handWritten);
  // Of a process that is gone: no process number reaches 2^32 - 1 on either system.
  const std::vector<std::string> cutOff = {
      std::filesystem::path(TemporaryName(L"printer.ini", {SystemFiles().MachineNumber(), ~0u}, 99))
          .string()};
  const std::vector<std::string> others = {"other.ini.1.0.tmp",        "printer.ini.77.0.tmp",
                                           "printer.ini.1.0.tmp.keep", "printer.ini.tmp",
                                           "printer.ini.x.0.tmp",      "xprinter.ini.1.0.tmp"};
  for (const auto& name : cutOff) WriteBytes(dir.path() / name, "partial");
  for (const auto& name : others) WriteBytes(dir.path() / name, "someone else's");
  ASSERT_TRUE(SaveSettingsTo(ini, second).saved);
  EXPECT_EQ(ReadBytes(backup), handWritten);
  EXPECT_EQ(ReadBytes(ini).rfind("fAreaX = 2\r\n", 0), 0u);
  std::vector<std::string> expected = others;
  expected.insert(expected.end(), {"printer.ini", "printer.ini.bak"});
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(dir.Names(), expected);

  const std::string secondText = ReadBytes(ini);
  ASSERT_TRUE(SaveSettingsTo(ini, first).saved);
  EXPECT_EQ(ReadBytes(backup), secondText);
}

#ifndef _WIN32
// A save killed at any moment leaves printer.ini as the whole old or the whole
// new file and printer.ini.bak whole; the next save removes the temporary files
// it left. A child process saves two parameter sets in turn until it is killed.
TEST(SettingsFile, KilledSavesLeaveWholeFiles) {
  TempDir dir;
  const std::wstring ini = dir.File(L"printer.ini");
  const std::wstring backup = dir.File(L"printer.ini.bak");
  HardwareParams a, b;
  a.fAreaX = 1;
  b.fAreaX = 2;
  b.strResetOrder.assign(256 * 1024, L'y');  // long enough to be caught mid-write
  ASSERT_TRUE(SaveSettingsTo(ini, a).saved);
  const std::string textA = ReadBytes(ini);
  ASSERT_TRUE(SaveSettingsTo(ini, b).saved);
  const std::string textB = ReadBytes(ini);

  std::mt19937 random(20261207);
  int cutMidway = 0;
  constexpr int kKills = 200;
  for (int kill = 0; kill < kKills; ++kill) {
    // The child says when its first save is done, so that the kill lands in
    // its loop however slowly it starts (a sanitizer build forks slowly).
    int started[2];
    ASSERT_EQ(::pipe(started), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (int i = 0;; ++i) {
        SaveSettingsTo(ini, i % 2 ? a : b);
        if (i == 0 && ::write(started[1], "s", 1) != 1) ::_exit(1);
      }
    }
    ::close(started[1]);
    char byte = 0;
    ASSERT_EQ(::read(started[0], &byte, 1), 1);
    ::close(started[0]);
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    const std::string now = ReadBytes(ini);
    const std::string kept = ReadBytes(backup);
    ASSERT_TRUE(now == textA || now == textB) << "printer.ini cut after kill " << kill;
    ASSERT_TRUE(kept == textA || kept == textB) << "printer.ini.bak cut after kill " << kill;
    if (dir.Names().size() > 2) ++cutMidway;
  }
  // Proof that kills landed inside saves, not only between them.
  EXPECT_GT(cutMidway, 0);
  std::cout << cutMidway << " of " << kKills << " kills cut a save short\n";
  ASSERT_TRUE(SaveSettingsTo(ini, a).saved);
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"printer.ini", "printer.ini.bak"}));
}
#endif

// No backup, no save: the old file and an older backup stay as they were.
TEST(SettingsFile, SaveFailsWhenNoBackupCanBeMade) {
  TempDir dir;
  WriteBytes(dir.File(L"printer.ini"), kDefaultFile);
  std::filesystem::create_directory(dir.path() / "printer.ini.bak");
  HardwareParams p;
  p.fAreaX = 3;
  const SaveResult result = SaveSettingsTo(dir.File(L"printer.ini"), p);
  EXPECT_FALSE(result.saved);
  EXPECT_EQ(result.problem, SaveProblem::FolderInTheWay);
  EXPECT_EQ(result.path, dir.File(L"printer.ini.bak"));
  EXPECT_EQ(ReadBytes(dir.File(L"printer.ini")), kDefaultFile);
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "printer.ini.bak"));
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"printer.ini", "printer.ini.bak"}));
}

// A failed save must leave the old file byte for byte and no stray file.
// The problem's kind is what the form words its message by.
void ExpectSaveFailsAndKeepsFile(const TempDir& dir, const SaveResult& result,
                                 const std::string& before, SaveProblem problem) {
  EXPECT_FALSE(result.saved);
  EXPECT_EQ(result.problem, problem);
  EXPECT_EQ(result.path, dir.File(L"printer.ini"));
  EXPECT_EQ(ReadBytes(dir.File(L"printer.ini")), before);
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"printer.ini"});
}

TEST(SettingsFile, LineFeedInResetOrderIsRefused) {
  TempDir dir;
  WriteBytes(dir.File(L"printer.ini"), kDefaultFile);
  HardwareParams p;
  p.strResetOrder = L"x\nfAreaX = 1";
  ExpectSaveFailsAndKeepsFile(dir, SaveSettingsTo(dir.File(L"printer.ini"), p), kDefaultFile,
                              SaveProblem::LineBreakInResetOrder);
}

TEST(SettingsFile, DirectoryInTheWay) {
  TempDir dir;
  std::filesystem::create_directory(dir.path() / "printer.ini");
  HardwareParams p;
  LoadSettingsFrom(dir.File(L"printer.ini"), p);
  EXPECT_EQ(p, HardwareParams{});
  const SaveResult result = SaveSettingsTo(dir.File(L"printer.ini"), p);
  EXPECT_FALSE(result.saved);
  EXPECT_EQ(result.problem, SaveProblem::FolderInTheWay);
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "printer.ini"));
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"printer.ini"});
}

// A link stays a link, and the file it names stays as it was: the save refuses,
// naming it. (Wine 8 takes a link CreateSymbolicLinkW made for a missing file.)
#ifndef _WIN32
TEST(SettingsFile, LinkIsNotReplaced) {
  TempDir dir;
  WriteBytes(dir.path() / "real.ini", kDefaultFile);
  std::filesystem::create_symlink(dir.path() / "real.ini", dir.path() / "printer.ini");
  const SaveResult result = SaveSettingsTo(dir.File(L"printer.ini"), HardwareParams{});
  EXPECT_EQ(result.problem, SaveProblem::Link);
  EXPECT_EQ(std::filesystem::path(result.kept),
            std::filesystem::canonical(dir.path() / "real.ini"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir.path() / "printer.ini"));
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"printer.ini", "real.ini"}));
}
#endif

TEST(SettingsFile, BadInputNeitherCrashesNorLosesEarlierValues) {
  TempDir dir;
  std::mt19937 random(7);
  std::string noise(1 << 20, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  for (char& c : noise) c = c == '\n' ? 'n' : c;  // one long line after the good ones
  const auto start = std::chrono::steady_clock::now();
  HardwareParams p = LoadBytes(dir, "fAreaX = 1\r\nnSpeedBase = 8\n" + noise);
  EXPECT_EQ(p.fAreaX, 1);
  EXPECT_EQ(p.nSpeedBase, 8);

  // Values after a huge line are still read.
  p = LoadBytes(dir, std::string(10 << 20, 'k') + "\r\nfAreaY = 3\r\n");
  EXPECT_EQ(p.fAreaY, 3);

  // A 50 MB file of unknown keys and comments, with the real values at the end.
  std::string big;
  big.reserve(50 << 20);
  while (big.size() < (50u << 20)) big += "unknownKey = 12345 // filler line\r\n// comment\r\n";
  p = LoadBytes(dir, big + "fAreaZ = 9\r\n");
  EXPECT_EQ(p.fAreaZ, 9);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
}

#ifdef _WIN32

// The attribute is checked, not left to the move: Wine replaces a read-only
// file that Windows would not. Neither file changes, and neither loses it.
TEST(SettingsFile, ReadOnlyFileOrBackupIsNotReplaced) {
  for (const auto& [name, problem] : {std::pair{L"printer.ini", SaveProblem::ReadOnlyFile},
                                      {L"printer.ini.bak", SaveProblem::ReadOnlyBackup}}) {
    TempDir dir;
    WriteBytes(dir.File(L"printer.ini"), kDefaultFile);
    WriteBytes(dir.File(L"printer.ini.bak"), "older");
    ASSERT_TRUE(SetFileAttributesW(dir.File(name).c_str(), FILE_ATTRIBUTE_READONLY));
    HardwareParams p;
    p.fAreaX = 1;
    const SaveResult result = SaveSettingsTo(dir.File(L"printer.ini"), p);
    EXPECT_EQ(GetFileAttributesW(dir.File(name).c_str()) & FILE_ATTRIBUTE_READONLY,
              DWORD{FILE_ATTRIBUTE_READONLY});
    SetFileAttributesW(dir.File(name).c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_FALSE(result.saved);
    EXPECT_EQ(result.problem, problem);
    EXPECT_EQ(result.path, dir.File(name));
    EXPECT_EQ(ReadBytes(dir.File(L"printer.ini")), kDefaultFile);
    EXPECT_EQ(ReadBytes(dir.File(L"printer.ini.bak")), "older");
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"printer.ini", "printer.ini.bak"}));
  }
}

// A renamed file keeps its own attributes, not those of the file it replaces:
// the new file is given them (Wine keeps them too, in user.DOSATTRIB).
TEST(SettingsFile, HiddenAndSystemAttributesKept) {
  TempDir dir;
  const std::wstring ini = dir.File(L"printer.ini");
  WriteBytes(ini, kDefaultFile);
  constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  ASSERT_TRUE(SetFileAttributesW(ini.c_str(), kKept));
  ASSERT_TRUE(SaveSettingsTo(ini, HardwareParams{}).saved);
  EXPECT_EQ(GetFileAttributesW(ini.c_str()) & kKept, kKept);
}

TEST(SettingsFile, PathsLongerThanMaxPath) {
  TempDir dir;
  std::wstring deep = dir.path().wstring();
  while (deep.size() < 300) {
    deep += L"\\a-rather-long-directory-name";
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + deep).c_str(), nullptr) ||
                GetLastError() == ERROR_ALREADY_EXISTS);
  }
  const std::wstring file = deep + L"\\printer.ini";
  HardwareParams p;
  p.fAreaX = 42;
  const SaveResult result = SaveSettingsTo(file, p);
  ASSERT_TRUE(result.saved) << testing::PrintToString(result.reason);
  HardwareParams back;
  LoadSettingsFrom(file, back);
  EXPECT_EQ(back.fAreaX, 42);
  DeleteFileW((L"\\\\?\\" + file).c_str());
  while (deep.size() > dir.path().wstring().size()) {
    RemoveDirectoryW((L"\\\\?\\" + deep).c_str());
    deep.erase(deep.rfind(L'\\'));
  }
}

#else

// Runs `step` in a child process as the unprivileged user "nobody": root may
// write anything, so permission faults only show without privileges.
template <class Step>
int RunUnprivileged(Step step) {
  const passwd* nobody = getpwnam("nobody");
  if (!nobody) return -1;
  const pid_t child = fork();
  if (child == 0) {
    if (getuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(nobody->pw_gid) != 0 ||
                          setuid(nobody->pw_uid) != 0)) {
      _exit(99);
    }
    _exit(step() ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(SettingsFile, PermissionFaultsLeaveTheFileAlone) {
  const struct {
    const char* name;
    std::filesystem::perms directory;
    std::filesystem::perms file;
    SaveProblem problem;
  } cases[] = {
      {"read-only file in a writable directory", std::filesystem::perms::all,
       std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
           std::filesystem::perms::others_read,
       SaveProblem::ReadOnlyFile},
      // The file itself may be written: only the folder refuses.
      {"read-only directory, writable file",
       std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
           std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
           std::filesystem::perms::others_exec,
       std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
           std::filesystem::perms::group_read | std::filesystem::perms::group_write |
           std::filesystem::perms::others_read | std::filesystem::perms::others_write,
       SaveProblem::AccessDenied},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    std::filesystem::permissions(dir.path().parent_path(), std::filesystem::perms::others_exec,
                                 std::filesystem::perm_options::add);
    WriteBytes(dir.File(L"printer.ini"), kDefaultFile);
    std::filesystem::permissions(dir.File(L"printer.ini"), c.file);
    std::filesystem::permissions(dir.path(), c.directory);
    const std::wstring path = dir.File(L"printer.ini");
    const int outcome = RunUnprivileged([&] {
      HardwareParams p;
      p.fAreaX = 1;
      const SaveResult result = SaveSettingsTo(path, p);
      // A read-only file has words of its own; the system's are for the rest.
      return !result.saved && result.problem == c.problem &&
             (c.problem == SaveProblem::ReadOnlyFile || !result.reason.empty());
    });
    ASSERT_NE(outcome, -1) << "no user 'nobody' to run the step as";
    ASSERT_NE(outcome, 99) << "could not drop privileges";
    EXPECT_EQ(outcome, 0) << "the save should have failed as problem "
                          << static_cast<int>(c.problem) << ", with the system's reason";
    std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add);
    EXPECT_EQ(ReadBytes(dir.File(L"printer.ini")), kDefaultFile);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"printer.ini"});
  }
}

TEST(SettingsFile, UnreadableFileKeepsDefaults) {
  TempDir dir;
  std::filesystem::permissions(dir.path(), std::filesystem::perms::all);
  WriteBytes(dir.File(L"printer.ini"), "fAreaX = 1\r\n");
  std::filesystem::permissions(dir.File(L"printer.ini"), std::filesystem::perms::none);
  const std::wstring path = dir.File(L"printer.ini");
  EXPECT_EQ(RunUnprivileged([&] {
              HardwareParams p;
              LoadSettingsFrom(path, p);
              return p == HardwareParams{};
            }),
            0);
}

TEST(SettingsFile, FullDiskLeavesTheOldFile) {
  TempDir dir;
  if (getuid() != 0 ||
      mount("v7er-test", dir.path().c_str(), "tmpfs", 0, "size=64k,mode=0777") != 0) {
    GTEST_SKIP() << "cannot mount a small tmpfs here (needs root with CAP_SYS_ADMIN)";
  }
  WriteBytes(dir.File(L"printer.ini"), kDefaultFile);
  // Fill the rest of the file system.
  {
    std::string block(4096, 'x');
    FILE* filler = fopen((dir.path() / "filler").c_str(), "wb");
    ASSERT_NE(filler, nullptr);
    while (fwrite(block.data(), 1, block.size(), filler) == block.size() && fflush(filler) == 0) {
    }
    fclose(filler);
  }
  HardwareParams p;
  p.fAreaX = 1;
  const SaveResult result = SaveSettingsTo(dir.File(L"printer.ini"), p);
  EXPECT_FALSE(result.saved);
  EXPECT_EQ(result.problem, SaveProblem::System);
  EXPECT_EQ(result.systemError, static_cast<std::uint32_t>(ENOSPC));
  EXPECT_FALSE(result.reason.empty());
  EXPECT_EQ(ReadBytes(dir.File(L"printer.ini")), kDefaultFile);
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"filler", "printer.ini"}));
  umount(dir.path().c_str());
}

#endif

}  // namespace
