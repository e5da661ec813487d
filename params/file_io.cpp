#include <algorithm>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "file_io.h"

namespace {

// Programs that hold a file for a moment (virus scanners, indexers, backup and
// sync tools) usually let go within a fraction of a second: a step that meets
// one is tried again after short, growing waits, about a second in all.
constexpr int kFirstWaitMs = 15;
constexpr int kWaitBudgetMs = 1000;

// A step that failed: what to say, which file to name, the system's number.
struct Fault {
  Fault() = default;
  Fault(SaveProblem why, std::wstring where, SystemError number = 0, std::wstring aside = {})
      : problem(why), file(std::move(where)), error(number), kept(std::move(aside)) {}
  SaveProblem problem = SaveProblem::None;
  std::wstring file;
  SystemError error = 0;
  std::wstring kept;
  explicit operator bool() const { return problem != SaveProblem::None; }
};

// A leftover of another computer's save is taken as cut off after this long:
// a save takes seconds.
constexpr std::int64_t kForeignLeftoverSeconds = 5 * 60;

// Splits a path after its last separator: the folder (with it) and the name.
std::pair<std::wstring, std::wstring> FolderAndName(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return {std::wstring(), path};
  return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

SaveProblem Report(const Fault& fault, const std::wstring& path, SaveFailure& failure) {
  failure.file = fault.file.empty() ? path : fault.file;
  failure.kept = fault.kept;
  failure.systemError = fault.error;
  failure.reason = fault.error ? SystemErrorText(fault.error) : std::wstring();
  return fault.problem;
}

// The steps of one save of a settings file (or of a check that it could be
// saved), each over the seam, and how long it has waited for other programs.
class SaveSteps {
 public:
  SaveSteps(FileSystem& files, const std::wstring& path) : files_(files), path_(path) {
    std::tie(folder_, name_) = FolderAndName(path);
  }

  Fault Run(const std::wstring& backup, std::string_view bytes, const FileContents* expected);
  Fault Probe(const std::wstring& backup, bool& exists);
  SystemError ReadHeld(FileContents& contents) {
    return Retried(true, [&] { return ReadWhole(path_, contents); });
  }
  // A folder in the file's place refuses for good: not waited for.
  SystemError OpenHeld(FileSystem::Handle& file) {
    const SystemError error = files_.OpenRead(path_, file);
    PathFacts facts;
    if (!error || (files_.KindOf(error) == ErrorKind::AccessDenied && !files_.Look(path_, facts) &&
                   facts.folder)) {
      return error;
    }
    return Retried(true, [&] { return files_.OpenRead(path_, file); });
  }
  void FinishCutOff(const std::wstring& backup);

 private:
  // Refusals the save can see before it changes anything.
  Fault CheckOldFiles(const std::wstring& backup, PathFacts& old, PathFacts& kept);
  Fault WriteTemporary(std::string_view bytes, std::uint32_t mode, bool previous,
                       std::wstring& temporary);
  Fault WriteAll(FileSystem::Handle file, std::string_view bytes);
  SystemError ReadWhole(const std::wstring& path, FileContents& contents);
  void Adopt(const std::wstring& leftover, const std::wstring& backup);

  // Another program holds the file: a sharing or lock violation, or access
  // denied on a file that `exists` (a missing file's refusal is a matter of
  // rights, which waiting cannot mend).
  bool Held(SystemError error, bool exists) const {
    const ErrorKind kind = error ? files_.KindOf(error) : ErrorKind::Other;
    return kind == ErrorKind::Busy || (kind == ErrorKind::AccessDenied && exists);
  }
  // Held after the wait, unless this user may not replace `file` at all.
  SaveProblem HeldOr(SystemError error, bool exists, const std::wstring& file) {
    if (!Held(error, exists)) return SaveProblem::System;
    const bool rights = files_.KindOf(error) == ErrorKind::AccessDenied &&
                        files_.KindOf(files_.MayReplace(file)) == ErrorKind::AccessDenied;
    return rights ? SaveProblem::System : SaveProblem::Held;
  }

  // Runs `step` again while another program holds the file it acts on.
  template <typename Step>
  SystemError Retried(bool exists, Step step) {
    for (;;) {
      const SystemError error = step();
      if (!Held(error, exists) || waited_ >= kWaitBudgetMs) return error;
      const int wait = std::min(nextWait_, kWaitBudgetMs - waited_);
      files_.Wait(wait);
      waited_ += wait;
      nextWait_ *= 2;
    }
  }

  FileSystem& files_;
  const std::wstring path_;
  std::wstring folder_, name_;
  int nextAttempt_ = 0;
  int waited_ = 0;
  int nextWait_ = kFirstWaitMs;
};

Fault SaveSteps::CheckOldFiles(const std::wstring& backup, PathFacts& old, PathFacts& kept) {
  if (const SystemError error = files_.Look(path_, old)) {
    return {SaveProblem::NotLookedAt, path_, error};
  }
  // A move would put a plain file in the link's place, the file it names untouched.
  if (!old.linkTarget.empty()) return {SaveProblem::Link, path_, 0, old.linkTarget};
  if (old.folder) return {SaveProblem::FolderInTheWay, path_};
  // Windows refuses to replace a read-only file, Wine does not: the attribute
  // is the user's word either way, and it is never cleared here.
  if (old.readOnly) return {SaveProblem::ReadOnlyFile, path_};
  if (!old.exists || backup.empty()) return {};
  if (const SystemError error = files_.Look(backup, kept)) {
    return {SaveProblem::System, backup, error};
  }
  if (kept.folder) return {SaveProblem::FolderInTheWay, backup};
  // It may be a copy the user pinned.
  if (kept.readOnly) return {SaveProblem::ReadOnlyBackup, backup};
  return {};
}

// A missing file is no error, nor a folder in its place (which a save refuses).
SystemError SaveSteps::ReadWhole(const std::wstring& path, FileContents& contents) {
  contents = {};
  const auto folder = [&] {
    PathFacts facts;
    return !files_.Look(path, facts) && facts.folder;
  };
  FileSystem::Handle file = -1;
  if (const SystemError error = files_.OpenRead(path, file)) {
    return files_.KindOf(error) == ErrorKind::NotFound || folder() ? 0 : error;
  }
  contents.exists = true;
  char chunk[64 * 1024];
  SystemError error = 0;
  for (;;) {
    std::size_t count = 0;
    error = files_.Read(file, chunk, sizeof chunk, count);
    if (error || count == 0) break;
    contents.bytes.append(chunk, count);
  }
  const SystemError closed = files_.Close(file);
  if (error && folder()) contents = {};
  return contents.exists ? (error ? error : closed) : 0;
}

Fault SaveSteps::WriteAll(FileSystem::Handle file, std::string_view bytes) {
  while (!bytes.empty()) {
    std::size_t written = 0;
    if (const SystemError error = files_.Write(file, bytes.data(), bytes.size(), written)) {
      return {SaveProblem::System, path_, error};
    }
    // Taken as done, it would lose the rest; tried again, it could loop forever.
    if (written == 0) return {SaveProblem::NothingWritten, path_};
    bytes.remove_prefix(std::min(written, bytes.size()));
  }
  return {};
}

// A new file beside the settings file holding `bytes`, forced to disk and
// closed; removed again if that fails.
Fault SaveSteps::WriteTemporary(std::string_view bytes, std::uint32_t mode, bool previous,
                                std::wstring& temporary) {
  FileSystem::Handle file = -1;
  SystemError error = 0;
  const TemporaryFile owner{files_.MachineNumber(), files_.ProcessNumber(), previous};
  // Each temporary file of the save under a name of its own. A name whose
  // file awaits deletion (still open in a virus scanner, say) refuses access.
  for (const int last = nextAttempt_ + 100; nextAttempt_ < last;) {
    temporary = folder_ + TemporaryName(name_, owner, nextAttempt_++);
    error = files_.CreateNew(temporary, mode, file);
    if (!error) break;
    PathFacts there;
    const ErrorKind kind = files_.KindOf(error);
    if (kind != ErrorKind::Exists &&
        (kind != ErrorKind::AccessDenied || files_.Look(temporary, there) || !there.exists)) {
      break;
    }
  }
  // A folder that takes no new file (Program Files, say) is a matter of
  // rights; later refusals (the file held by another program) are not.
  if (error) {
    const bool rights = files_.KindOf(error) == ErrorKind::AccessDenied;
    return {rights ? SaveProblem::AccessDenied : SaveProblem::System, path_, error};
  }
  Fault fault = WriteAll(file, bytes);
  if (!fault) {
    if (const SystemError flushed = files_.Flush(file))
      fault = {SaveProblem::System, path_, flushed};
  }
  if (const SystemError closed = files_.Close(file); closed && !fault) {
    fault = {SaveProblem::System, path_, closed};
  }
  if (fault) files_.Remove(temporary);
  return fault;
}

// Temporary files of saves that were cut off (killed, power lost) before they
// could finish: those of our own pattern only, and of no save still running.
void SaveSteps::FinishCutOff(const std::wstring& backup) {
  std::vector<std::wstring> names;
  if (files_.List(folder_, name_ + L".", names)) return;
  std::uint32_t machine = 0;
  for (const std::wstring& name : names) {
    TemporaryFile owner;
    if (!IsTemporaryName(name_, name, owner)) continue;
    const std::wstring leftover = folder_ + name;
    if (!machine) machine = files_.MachineNumber();
    PathFacts facts;
    const bool gone = owner.machine == machine
                          ? files_.ProcessGone(owner.process)
                          : !files_.Look(leftover, facts) && facts.age > kForeignLeftoverSeconds;
    if (!gone) continue;
    if (owner.previous) {
      Adopt(leftover, backup);
    } else {
      files_.Remove(leftover);
    }
  }
}

// The replaced file's bytes of a cut-off save go where that save put them;
// they are never removed while they are their only copy.
void SaveSteps::Adopt(const std::wstring& leftover, const std::wstring& backup) {
  FileContents previous, current;
  if (ReadWhole(leftover, previous) || ReadWhole(path_, current) || !previous.exists) return;
  // The save was cut off before its first move.
  if (current == previous) {
    files_.Remove(leftover);
    return;
  }
  PathFacts facts, kept;
  if (backup.empty() || files_.Look(leftover, facts) || files_.Look(backup, kept)) return;
  // A later save's backup, or one the user pinned, stays.
  if (kept.folder || kept.readOnly || (kept.exists && kept.age < facts.age)) return;
  files_.Move(leftover, backup);
}

Fault SaveSteps::Run(const std::wstring& backup, std::string_view bytes,
                     const FileContents* expected) {
  FinishCutOff(backup);
  PathFacts old, kept;
  if (Fault fault = CheckOldFiles(backup, old, kept)) return fault;
  FileContents now;
  if (old.exists && (expected || !backup.empty())) {
    if (const SystemError error = ReadHeld(now)) return {HeldOr(error, true, path_), path_, error};
  }
  if (expected && !(now == *expected)) return {SaveProblem::ChangedOnDisk, path_};
  const bool keepOld = now.exists && !backup.empty();
  // Both new files whole on disk before either takes a place.
  std::wstring fresh, previous;
  if (Fault fault = WriteTemporary(bytes, old.mode, false, fresh)) return fault;
  if (const SystemError error = old.exists ? files_.CopyRights(path_, fresh) : 0) {
    files_.Remove(fresh);
    return {SaveProblem::System, path_, error};
  }
  if (keepOld) {
    if (Fault fault = WriteTemporary(now.bytes, old.mode, true, previous)) {
      files_.Remove(fresh);
      return fault;
    }
  }
  // The settings file first: it is the one other programs hold, and when it
  // refuses, nothing has changed yet.
  if (const SystemError error = Retried(old.exists, [&] { return files_.Move(fresh, path_); })) {
    files_.Remove(fresh);
    if (keepOld) files_.Remove(previous);
    return {HeldOr(error, old.exists, path_), path_, error};
  }
  if (!keepOld) return {};
  if (const SystemError error =
          Retried(kept.exists, [&] { return files_.Move(previous, backup); })) {
    // The old bytes go back in place, so that neither file has changed; the
    // way back waits as long again, as the save's wait may be spent. Should it
    // fail too, the temporary file is their only copy: it stays, and is named.
    waited_ = 0;
    nextWait_ = kFirstWaitMs;
    if (Retried(true, [&] { return files_.Move(previous, path_); })) {
      return {SaveProblem::PreviousKeptAside, backup, error, previous};
    }
    return {HeldOr(error, kept.exists, backup), backup, error};
  }
  return {};
}

// The save's way up to the first change, undone at once.
Fault SaveSteps::Probe(const std::wstring& backup, bool& exists) {
  PathFacts old, kept;
  const Fault fault = CheckOldFiles(backup, old, kept);
  exists = old.exists;
  if (fault) return fault;
  if (old.exists) {
    FileSystem::Handle file = -1;
    if (const SystemError error = files_.OpenRead(path_, file)) {
      return {SaveProblem::System, path_, error};
    }
    files_.Close(file);
  }
  std::wstring temporary;
  if (Fault refused = WriteTemporary({}, old.mode, false, temporary)) return refused;
  files_.Remove(temporary);
  return {};
}

}  // namespace

SystemError ReadFileContents(FileSystem& files, const std::wstring& path, FileContents& contents) {
  return SaveSteps(files, path).ReadHeld(contents);
}

SystemError OpenToRead(FileSystem& files, const std::wstring& path, FileSystem::Handle& file) {
  return SaveSteps(files, path).OpenHeld(file);
}

SaveProblem ReplaceFileContents(FileSystem& files, const std::wstring& path,
                                const std::wstring& backup, std::string_view bytes,
                                SaveFailure& failure, const FileContents* expected) {
  return Report(SaveSteps(files, path).Run(backup, bytes, expected), path, failure);
}

void FinishCutOffSaves(FileSystem& files, const std::wstring& path, const std::wstring& backup) {
  SaveSteps(files, path).FinishCutOff(backup);
}

SaveProblem CheckReplaceable(FileSystem& files, const std::wstring& path,
                             const std::wstring& backup, bool& exists, SaveFailure& failure) {
  return Report(SaveSteps(files, path).Probe(backup, exists), path, failure);
}

bool IsFile(const std::wstring& path) {
  PathFacts facts;
  return SystemFiles().Look(path, facts) == 0 && facts.exists && !facts.folder;
}
