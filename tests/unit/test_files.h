#pragma once

// The system's files for a unit test, with what the test decides in their
// place: which calls fail, the environment, the elevation, what Look finds.
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "file_system.h"

class TestFiles final : public FileSystem {
  FileSystem& real_ = SystemFiles();

 public:
  // Asked before each primitive call, with the path it acts on (empty for a
  // handle's): a nonzero answer fails the call with that error.
  std::function<SystemError(const std::wstring& path)> fail = [](const std::wstring&) {
    return SystemError{0};
  };
  bool silentWrites = false;  // a failed write takes no byte and says nothing
  bool failedWrite = false;
  std::map<std::wstring, std::wstring> environment;
  bool elevated = false;
  bool virtualization = true;
  std::map<std::wstring, std::wstring> longPaths;  // LongPath's answers; others unchanged
  // Files this user may read but not replace: a move onto one, and MayReplace, fail so.
  std::map<std::wstring, SystemError> unreplaceable;
  std::optional<std::set<std::wstring>> existing;  // all that Look finds, when set
  int waited = 0;                                  // waits are counted, not waited
  std::uint64_t process = real_.ProcessNumber();
  std::set<std::uint64_t> running;  // processes taken as running, besides the real ones

  SystemError Look(const std::wstring& path, PathFacts& facts) override {
    if (const SystemError error = fail(path); error || !existing) {
      return error ? error : real_.Look(path, facts);
    }
    facts = {};
    facts.exists = existing->count(path) > 0;
    return 0;
  }
  SystemError OpenRead(const std::wstring& path, Handle& file) override {
    return Or(fail(path), [&] { return real_.OpenRead(path, file); });
  }
  SystemError Read(Handle file, char* buffer, std::size_t size, std::size_t& count) override {
    return Or(fail({}), [&] { return real_.Read(file, buffer, size, count); });
  }
  SystemError CreateNew(const std::wstring& path, std::uint32_t mode, Handle& file) override {
    return Or(fail(path), [&] { return real_.CreateNew(path, mode, file); });
  }
  SystemError Write(Handle file, const char* bytes, std::size_t size,
                    std::size_t& written) override {
    written = 0;
    const SystemError error = fail({});
    failedWrite = failedWrite || error;
    if (error) return silentWrites ? 0 : error;
    return real_.Write(file, bytes, size, written);
  }
  SystemError Flush(Handle file) override {
    return Or(fail({}), [&] { return real_.Flush(file); });
  }
  // A handle that fails to close is closed all the same, as the systems do.
  SystemError Close(Handle file) override {
    const SystemError closed = real_.Close(file);
    return Or(fail({}), [&] { return closed; });
  }
  SystemError Move(const std::wstring& from, const std::wstring& to) override {
    if (unreplaceable.count(to)) return unreplaceable.at(to);
    return Or(fail(to), [&] { return real_.Move(from, to); });
  }
  SystemError Remove(const std::wstring& path) override {
    return Or(fail(path), [&] { return real_.Remove(path); });
  }
  SystemError CopyRights(const std::wstring& from, const std::wstring& to) override {
    return Or(fail(to), [&] { return real_.CopyRights(from, to); });
  }
  SystemError List(const std::wstring& folder, const std::wstring& prefix,
                   std::vector<std::wstring>& names) override {
    return Or(fail(folder), [&] { return real_.List(folder, prefix, names); });
  }
  SystemError MakeFolder(const std::wstring& path) override {
    return Or(fail(path), [&] { return real_.MakeFolder(path); });
  }
  ErrorKind KindOf(SystemError error) const override { return real_.KindOf(error); }
  bool Elevated() override { return elevated; }
  bool VirtualizationAllowed() override { return virtualization; }
  std::wstring LongPath(const std::wstring& path) override {
    return longPaths.count(path) ? longPaths.at(path) : path;
  }
  SystemError MayReplace(const std::wstring& path) override {
    return unreplaceable.count(path) ? unreplaceable.at(path) : fail(path);
  }
  std::wstring Environment(const std::wstring& name) override {
    const auto found = environment.find(name);
    return found == environment.end() ? real_.Environment(name) : found->second;
  }
  std::uint64_t ProcessNumber() const override { return process; }
  std::uint32_t MachineNumber() const override { return real_.MachineNumber(); }
  bool ProcessGone(std::uint64_t number) override {
    return !running.count(number) && real_.ProcessGone(number);
  }
  void Wait(int milliseconds) override { waited += milliseconds; }

 private:
  template <typename Call>
  static SystemError Or(SystemError failed, Call call) {
    return failed ? failed : call();
  }
};
