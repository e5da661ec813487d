// Every call a save makes to the system, failed in turn: both files stay as
// they were unless the new file is in place with the old one as its backup.
#include <gtest/gtest.h>

#include <algorithm>
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
constexpr char kStale[] = "printer.ini.4294967295.0.tmp";

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
        WriteBytes(dir.path() / kStale, "cut off");
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
        std::erase(names, kStale);
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
          // replaced, and the old file's bytes stay on disk somewhere.
          EXPECT_TRUE(iniNow == (folder.ini ? kOld : "") || iniNow == kNew);
          EXPECT_EQ(bakNow, folder.bak ? kOlder : "");
          EXPECT_TRUE(!folder.ini || std::any_of(names.begin(), names.end(), [&](const auto& name) {
            return ReadBytes(dir.path() / name) == kOld;
          }));
          names = expected;
        }
        EXPECT_EQ(names, expected);
        if (files.failedWrite && fault.injected == Injected::NothingWritten) {
          EXPECT_EQ(problem, SaveProblem::NothingWritten);
        }
        EXPECT_LE(files.waited, 1000) << "waited too long for a holder";
        if (fault.injected == Injected::Held && fault.persistent && problem != SaveProblem::None) {
          EXPECT_TRUE(files.waited == 0 || files.waited == 1000) << files.waited;
        }
      }
      EXPECT_GT(callsOfAWholeSave, folder.ini ? 10 : 5);
    }
  }
}

}  // namespace
