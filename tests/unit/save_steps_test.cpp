// Every call a save makes to the system, failed in turn: both files stay as
// they were unless the new file is in place with the old one as its backup.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "file_io.h"
#include "temp_dir.h"

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

// The system's files, with the `failAt`-th primitive call (from 1) failing, and
// with `persistent` every call after it too. Waits are counted, not waited.
class FailingFiles final : public FileSystem {
 public:
  FailingFiles(int failAt, Injected injected, bool persistent)
      : failAt_(failAt), injected_(injected), persistent_(persistent) {}

  int calls = 0;
  int waited = 0;
  bool failedWrite = false;

  SystemError Look(const std::wstring& path, PathFacts& facts) override {
    return Fails() ? Error() : real_.Look(path, facts);
  }
  SystemError OpenRead(const std::wstring& path, Handle& file) override {
    return Fails() ? Error() : real_.OpenRead(path, file);
  }
  SystemError Read(Handle file, char* buffer, std::size_t size, std::size_t& count) override {
    return Fails() ? Error() : real_.Read(file, buffer, size, count);
  }
  SystemError CreateNew(const std::wstring& path, std::uint32_t mode, Handle& file) override {
    return Fails() ? Error() : real_.CreateNew(path, mode, file);
  }
  SystemError Write(Handle file, const char* bytes, std::size_t size,
                    std::size_t& written) override {
    if (!Fails()) return real_.Write(file, bytes, size, written);
    failedWrite = true;
    written = 0;
    return injected_ == Injected::NothingWritten ? 0 : Error();
  }
  SystemError Flush(Handle file) override { return Fails() ? Error() : real_.Flush(file); }
  // A handle that fails to close is closed all the same, as the systems do.
  SystemError Close(Handle file) override {
    const SystemError error = real_.Close(file);
    return Fails() ? Error() : error;
  }
  SystemError Move(const std::wstring& from, const std::wstring& to) override {
    return Fails() ? Error() : real_.Move(from, to);
  }
  SystemError Remove(const std::wstring& path) override {
    return Fails() ? Error() : real_.Remove(path);
  }
  SystemError List(const std::wstring& folder, const std::wstring& prefix,
                   std::vector<std::wstring>& names) override {
    return Fails() ? Error() : real_.List(folder, prefix, names);
  }
  SystemError MakeFolder(const std::wstring& path) override {
    return Fails() ? Error() : real_.MakeFolder(path);
  }
  ErrorKind KindOf(SystemError error) const override { return real_.KindOf(error); }
  bool Elevated() override { return real_.Elevated(); }
  std::wstring Environment(const std::wstring& name) override { return real_.Environment(name); }
  std::uint64_t ProcessNumber() const override { return real_.ProcessNumber(); }
  void Wait(int milliseconds) override { waited += milliseconds; }

 private:
  bool Fails() {
    ++calls;
    return calls == failAt_ || (persistent_ && calls > failAt_);
  }
  SystemError Error() const { return injected_ == Injected::Held ? kHeld : kIoError; }

  FileSystem& real_ = SystemFiles();
  const int failAt_;
  const Injected injected_;
  const bool persistent_;
};

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
        FailingFiles files(failAt, fault.injected, fault.persistent);
        SaveFailure failure;
        const SaveProblem problem = ReplaceFileContents(files, ini, bak, kNew, failure);
        if (files.calls < failAt) callsOfAWholeSave = files.calls;
        ASSERT_LT(failAt, 100) << "the save never ends";

        const std::string iniNow = ReadBytes(ini), bakNow = ReadBytes(bak);
        std::vector<std::string> names = dir.Names();
        std::erase(names, kStale);
        std::vector<std::string> expected;
        if (problem == SaveProblem::None) {
          EXPECT_EQ(iniNow, kNew);
          EXPECT_EQ(bakNow, folder.ini ? kOld : "");
          expected = folder.ini ? std::vector<std::string>{"printer.ini", "printer.ini.bak"}
                                : std::vector<std::string>{"printer.ini"};
        } else if (!fault.persistent) {
          EXPECT_EQ(iniNow, folder.ini ? kOld : "");
          EXPECT_EQ(bakNow, folder.bak ? kOlder : "");
          if (folder.ini) expected.push_back("printer.ini");
          if (folder.bak) expected.push_back("printer.ini.bak");
        } else {
          // Nothing can be undone when every call fails: the backup is never
          // replaced, and the old file's bytes stay on disk somewhere.
          EXPECT_TRUE(iniNow == (folder.ini ? kOld : "") || iniNow == kNew);
          EXPECT_EQ(bakNow, folder.bak ? kOlder : "");
          const auto all = dir.Names();
          EXPECT_TRUE(!folder.ini || std::any_of(all.begin(), all.end(), [&](const auto& name) {
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
