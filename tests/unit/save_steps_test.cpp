// Every call a save makes to the system, failed in turn: both files stay as
// they were unless the new file is in place with the old one as its backup.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>

#include "file_io.h"
#include "temp_dir.h"
#include "test_files.h"

#ifdef _WIN32
#include <windows.h>
constexpr SystemError kIoError = ERROR_GEN_FAILURE;
constexpr SystemError kHeld = ERROR_SHARING_VIOLATION;
#else
#include <cerrno>
constexpr SystemError kIoError = EIO;
constexpr SystemError kHeld = EBUSY;
#endif

namespace {

enum class Injected { IoError, Held, NothingWritten };

const std::string kOld = "fAreaX = 1\r\n";
const std::string kOlder = "fAreaX = 0\r\n";
const std::string kNew = "fAreaX = 2\r\n";
// A cut-off save's new bytes, of a process that is gone.
const std::wstring kStale = TemporaryName(L"printer.ini", {SystemFiles().MachineNumber(), ~0u}, 0);

TEST(SaveSteps, EveryCallFailedInTurnLosesNothing) {
  const struct {
    const char* name;
    bool ini, bak;
  } folders[] = {
      {"file and backup", true, true}, {"file only", true, false}, {"neither", false, false}};
  const struct {
    const char* name;
    Injected injected;
    bool persistent;
  } faults[] = {{"an I/O error", Injected::IoError, false},
                {"a holder that lets go", Injected::Held, false},
                {"nothing written", Injected::NothingWritten, false},
                {"I/O errors from then on", Injected::IoError, true},
                {"a holder that holds on", Injected::Held, true}};
  for (const auto& folder : folders) {
    for (const auto& fault : faults) {
      int callsOfAWholeSave = 0;
      for (int failAt = 1; callsOfAWholeSave == 0; ++failAt) {
        SCOPED_TRACE(std::string(folder.name) + ", " + fault.name + " at call " +
                     std::to_string(failAt));
        TempDir dir;
        const std::wstring ini = dir.File(L"printer.ini"), bak = dir.File(L"printer.ini.bak");
        if (folder.ini) WriteBytes(ini, kOld);
        if (folder.bak) WriteBytes(bak, kOlder);
        WriteBytes(dir.File(kStale), "cut off");
        // The failAt-th primitive call (from 1) fails; when persistent, every one after it too.
        TestFiles files;
        int calls = 0;
        files.silentWrites = fault.injected == Injected::NothingWritten;
        files.fail = [&](const std::wstring&) {
          ++calls;
          const bool fails = calls == failAt || (fault.persistent && calls > failAt);
          return fails ? (fault.injected == Injected::Held ? kHeld : kIoError) : SystemError{0};
        };
        SaveFailure failure;
        const SaveProblem problem = ReplaceFileContents(files, ini, bak, kNew, failure);
        if (calls < failAt) callsOfAWholeSave = calls;
        ASSERT_LT(failAt, 100) << "the save never ends";

        const std::string iniNow = ReadBytes(ini), bakNow = ReadBytes(bak);
        std::vector<std::string> names = dir.Names();
        std::erase(names, std::filesystem::path(kStale).string());
        const bool iniThere = folder.ini || problem == SaveProblem::None;
        const bool bakThere = folder.bak || (folder.ini && problem == SaveProblem::None);
        std::vector<std::string> expected;
        if (iniThere) expected.push_back("printer.ini");
        if (bakThere) expected.push_back("printer.ini.bak");
        if (problem == SaveProblem::None) {
          EXPECT_EQ(iniNow, kNew);
          EXPECT_EQ(bakNow, folder.ini ? kOld : "");
        } else if (!fault.persistent) {
          EXPECT_EQ(iniNow, folder.ini ? kOld : "");
          EXPECT_EQ(bakNow, folder.bak ? kOlder : "");
        } else {
          // Nothing can be undone when every call fails: the backup is never
          // replaced; when the way back refused too, the old bytes are in the
          // file named, which no later save of a running process removes.
          const bool aside = problem == SaveProblem::PreviousKeptAside;
          EXPECT_EQ(iniNow, aside ? kNew : folder.ini ? kOld : "");
          EXPECT_EQ(bakNow, folder.bak ? kOlder : "");
          TestFiles later;
          SaveFailure ignored;
          ReplaceFileContents(later, ini, bak, kNew, ignored);
          EXPECT_TRUE(!aside || ReadBytes(failure.kept) == kOld);
          names = expected;
        }
        EXPECT_EQ(names, expected);
        if (files.failedWrite && fault.injected == Injected::NothingWritten) {
          EXPECT_EQ(problem, SaveProblem::NothingWritten);
        }
        // The way back after a refused backup waits as long again.
        EXPECT_LE(files.waited, 2000) << "waited too long for a holder";
        if (fault.injected == Injected::Held && fault.persistent && problem != SaveProblem::None) {
          EXPECT_TRUE(files.waited % 1000 == 0) << files.waited;
          EXPECT_EQ(problem == SaveProblem::Held, files.waited == 1000) << failure.file;
        }
      }
      EXPECT_GT(callsOfAWholeSave, folder.ini ? 10 : 5);
    }
  }
}

// What a save finds of other saves beside the file: only a save that is gone
// is finished, and the bytes of a replaced file are never lost.
TEST(SaveSteps, LeftoversOfOtherSaves) {
  constexpr std::uint64_t kLive = 1001, kGone = 0xFFFFFFFFu;
  const std::uint32_t here = SystemFiles().MachineNumber();
  enum Then { Removed, Stays, BecomesBackup };
  const struct {
    const char* name;
    TemporaryFile owner;
    std::string bytes;
    int minutesOld;
    Then then;
  } rows[] = {
      {"new bytes, process gone", {here, kGone, false}, kNew, 0, Removed},
      {"new bytes, process running", {here, kLive, false}, kNew, 0, Stays},
      {"replaced bytes, process running", {here, kLive, true}, kOlder, 0, Stays},
      {"replaced bytes, killed between the moves", {here, kGone, true}, kOlder, 0, BecomesBackup},
      {"replaced bytes, killed before the moves", {here, kGone, true}, kOld, 0, Removed},
      {"another computer's, young", {here + 1, kGone, false}, kNew, 1, Stays},
      {"another computer's, cut off", {here + 1, kLive, true}, kOlder, 10, BecomesBackup},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    TempDir dir;
    const std::wstring ini = dir.File(L"printer.ini"), bak = dir.File(L"printer.ini.bak");
    WriteBytes(ini, kOld);
    WriteBytes(bak, "oldest");
    const std::wstring leftover = dir.File(TemporaryName(L"printer.ini", row.owner, 0));
    WriteBytes(leftover, row.bytes);
    const auto now = std::filesystem::file_time_type::clock::now();
    std::filesystem::last_write_time(bak, now - std::chrono::minutes(20));
    std::filesystem::last_write_time(leftover, now - std::chrono::minutes(row.minutesOld));
    // About's look at the file finishes nothing and leaves nothing behind.
    bool exists = false;
    SaveFailure failure;
    const std::vector<std::string> names = dir.Names();
    EXPECT_EQ(CheckReplaceable(SystemFiles(), ini, bak, exists, failure), SaveProblem::None);
    EXPECT_EQ(dir.Names(), names);
    TestFiles files;
    files.running = {kLive};
    FinishCutOffSaves(files, ini, bak);
    EXPECT_EQ(ReadBytes(leftover), row.then == Stays ? row.bytes : "");
    EXPECT_EQ(ReadBytes(bak), row.then == BecomesBackup ? row.bytes : "oldest");
    EXPECT_EQ(ReadBytes(ini), kOld);
  }
}

// A second save that runs between the first one's moves (another process,
// as its clean-up would meet them) takes nothing of the first one's.
TEST(SaveSteps, InterleavedSavesFinishWhole) {
  TempDir dir;
  const std::wstring ini = dir.File(L"printer.ini"), bak = dir.File(L"printer.ini.bak");
  WriteBytes(ini, kOld);
  TestFiles first, second;
  second.process = 0xFFFFFFFEu;
  SaveProblem secondProblem = SaveProblem::System;
  int backupCalls = 0;
  first.fail = [&](const std::wstring& path) {
    // The first call on the backup looks at it; the second moves onto it.
    if (path == bak && ++backupCalls == 2) {
      SaveFailure failure;
      secondProblem = ReplaceFileContents(second, ini, bak, kOlder, failure);
    }
    return SystemError{0};
  };
  SaveFailure failure;
  EXPECT_EQ(ReplaceFileContents(first, ini, bak, kNew, failure), SaveProblem::None);
  EXPECT_EQ(secondProblem, SaveProblem::None);
  EXPECT_EQ(ReadBytes(ini), kOlder);
  EXPECT_EQ(ReadBytes(bak), kOld);
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"printer.ini", "printer.ini.bak"}));
}

}  // namespace
