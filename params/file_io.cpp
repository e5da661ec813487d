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
  SaveProblem problem = SaveProblem::None;
  std::wstring file;
  SystemError error = 0;
  explicit operator bool() const { return problem != SaveProblem::None; }
};

// Splits a path after its last separator: the folder (with it) and the name.
std::pair<std::wstring, std::wstring> FolderAndName(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return {std::wstring(), path};
  return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

SaveProblem Report(const Fault& fault, const std::wstring& path, SaveFailure& failure) {
  failure.file = fault.file.empty() ? path : fault.file;
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

  Fault Run(const std::wstring& backup, std::string_view bytes);
  Fault Probe(const std::wstring& backup, bool& exists);

 private:
  // Refusals the save can see before it changes anything.
  Fault CheckOldFiles(const std::wstring& backup, PathFacts& old, PathFacts& kept);
  Fault WriteTemporary(std::string_view bytes, std::uint32_t mode, std::wstring& temporary);
  Fault WriteAll(FileSystem::Handle file, std::string_view bytes);
  SystemError ReadWhole(std::string& bytes);
  void RemoveStaleTemporaries();

  // Runs `step` again while another program holds the file it acts on: a
  // sharing or lock violation, or access denied on a file that `exists` (a
  // missing file's refusal is a matter of rights, which waiting cannot mend).
  template <typename Step>
  SystemError Retried(bool exists, Step step) {
    for (;;) {
      const SystemError error = step();
      const ErrorKind kind = error ? files_.KindOf(error) : ErrorKind::Other;
      const bool held = kind == ErrorKind::Busy || (kind == ErrorKind::AccessDenied && exists);
      if (!held || waited_ >= kWaitBudgetMs) return error;
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
  if (const SystemError error = files_.Look(path_, old)) return {SaveProblem::System, path_, error};
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

SystemError SaveSteps::ReadWhole(std::string& bytes) {
  bytes.clear();
  FileSystem::Handle file = -1;
  if (const SystemError error = files_.OpenRead(path_, file)) return error;
  char chunk[64 * 1024];
  SystemError error = 0;
  for (;;) {
    std::size_t count = 0;
    error = files_.Read(file, chunk, sizeof chunk, count);
    if (error || count == 0) break;
    bytes.append(chunk, count);
  }
  const SystemError closed = files_.Close(file);
  return error ? error : closed;
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
Fault SaveSteps::WriteTemporary(std::string_view bytes, std::uint32_t mode,
                                std::wstring& temporary) {
  FileSystem::Handle file = -1;
  SystemError error = 0;
  // Each temporary file of the save under a name of its own.
  for (const int last = nextAttempt_ + 100; nextAttempt_ < last;) {
    temporary = folder_ + TemporaryName(name_, files_.ProcessNumber(), nextAttempt_++);
    error = files_.CreateNew(temporary, mode, file);
    if (!error || files_.KindOf(error) != ErrorKind::Exists) break;
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

// Temporary files of a save that was cut off (killed, power lost) before it
// could remove them: those of our own pattern, nobody else's.
void SaveSteps::RemoveStaleTemporaries() {
  std::vector<std::wstring> names;
  if (files_.List(folder_, name_ + L".", names)) return;
  for (const std::wstring& name : names) {
    if (IsTemporaryName(name_, name)) files_.Remove(folder_ + name);
  }
}

Fault SaveSteps::Run(const std::wstring& backup, std::string_view bytes) {
  PathFacts old, kept;
  if (Fault fault = CheckOldFiles(backup, old, kept)) return fault;
  RemoveStaleTemporaries();
  const bool keepOld = old.exists && !backup.empty();
  std::string oldBytes;
  if (keepOld) {
    if (const SystemError error = Retried(true, [&] { return ReadWhole(oldBytes); })) {
      return {SaveProblem::System, path_, error};
    }
  }
  // Both new files whole on disk before either takes a place.
  std::wstring fresh, previous;
  if (Fault fault = WriteTemporary(bytes, old.mode, fresh)) return fault;
  if (keepOld) {
    if (Fault fault = WriteTemporary(oldBytes, old.mode, previous)) {
      files_.Remove(fresh);
      return fault;
    }
  }
  // The settings file first: it is the one other programs hold, and when it
  // refuses, nothing has changed yet.
  if (const SystemError error = Retried(old.exists, [&] { return files_.Move(fresh, path_); })) {
    files_.Remove(fresh);
    if (keepOld) files_.Remove(previous);
    return {SaveProblem::System, path_, error};
  }
  if (!keepOld) return {};
  if (const SystemError error =
          Retried(kept.exists, [&] { return files_.Move(previous, backup); })) {
    // The old bytes go back in place, so that neither file has changed. Should
    // that fail too, the temporary file is their only copy: it stays.
    Retried(true, [&] { return files_.Move(previous, path_); });
    return {SaveProblem::System, backup, error};
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
  if (Fault refused = WriteTemporary({}, old.mode, temporary)) return refused;
  files_.Remove(temporary);
  return {};
}

}  // namespace

InputFile::~InputFile() {
  if (handle_ != -1) files_.Close(handle_);
}

SystemError InputFile::Open(const std::wstring& path) {
  return files_.OpenRead(path, handle_);
}

std::ptrdiff_t InputFile::Read(char* buffer, std::size_t size) {
  std::size_t count = 0;
  if (files_.Read(handle_, buffer, size, count)) return -1;
  return static_cast<std::ptrdiff_t>(count);
}

SaveProblem ReplaceFileContents(FileSystem& files, const std::wstring& path,
                                const std::wstring& backup, std::string_view bytes,
                                SaveFailure& failure) {
  return Report(SaveSteps(files, path).Run(backup, bytes), path, failure);
}

SaveProblem CheckReplaceable(FileSystem& files, const std::wstring& path,
                             const std::wstring& backup, bool& exists, SaveFailure& failure) {
  return Report(SaveSteps(files, path).Probe(backup, exists), path, failure);
}

bool IsFile(const std::wstring& path) {
  PathFacts facts;
  return SystemFiles().Look(path, facts) == 0 && facts.exists && !facts.folder;
}
