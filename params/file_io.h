#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "file_system.h"

// The settings file's reading and saving, over the operating-system seam.

// A file opened for reading, shared with other readers and writers.
class InputFile {
 public:
  explicit InputFile(FileSystem& files = SystemFiles()) : files_(files) {}
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile();

  // 0, or why not.
  SystemError Open(const std::wstring& path);
  // Bytes read into `buffer`: 0 at end of file, -1 on a read error.
  std::ptrdiff_t Read(char* buffer, std::size_t size);

 private:
  FileSystem& files_;
  FileSystem::Handle handle_ = -1;
};

// Why a save failed. This layer has no user interface: the caller puts each
// kind into words, and only the system's own text travels as a reason.
enum class SaveProblem {
  None,
  System,                 // the system's reason says why
  AccessDenied,           // this user may not make a file in the folder
  ReadOnlyFile,           // the file is read-only (or not writable for this user)
  ReadOnlyBackup,         // the same of the backup, which the save would replace
  FolderInTheWay,         // a folder has the file's (or the backup's) name
  NothingWritten,         // the system took no byte, and gave no reason
  LineBreakInResetOrder,  // the reset order cannot be written as one line
};

// Where a save failed: the file it could not make (the settings file or its
// backup), the system's words and error number, where the system gave them.
struct SaveFailure {
  std::wstring file;
  std::wstring reason;
  SystemError systemError = 0;
};

// Writes `bytes` to a new file in the directory of `path`, forces it to disk and
// then puts it in place of `path` in one step. When `path` exists and `backup`
// is not empty, the old file's bytes go to `backup` the same way, so that the
// backup is whole on disk. Temporary files that a cut-off save left beside
// `path` (its own naming pattern only) are removed first. A step that meets
// another program holding a file is tried again for about a second.
//
// Failure-atomic for both files: on failure `path` and `backup` are byte for
// byte as they were, no new file remains (where it can be removed), and the
// result and `failure` say why. Only a save whose new `path` is in place has
// replaced `backup`.
SaveProblem ReplaceFileContents(FileSystem& files, const std::wstring& path,
                                const std::wstring& backup, std::string_view bytes,
                                SaveFailure& failure);

// Whether a save could replace `path` (and `backup`), found out the way the
// save goes without leaving anything behind: None when it could, else why not,
// as the save would say. `exists` tells whether there is anything at `path`.
SaveProblem CheckReplaceable(FileSystem& files, const std::wstring& path,
                             const std::wstring& backup, bool& exists, SaveFailure& failure);

// Whether `path` is a file (not a folder).
bool IsFile(const std::wstring& path);

// The names of the temporary files of a save of `path`: the file's name, a
// process number and an attempt number, ".tmp" (printer.ini.4242.0.tmp).
std::wstring TemporaryName(const std::wstring& fileName, std::uint64_t process, int attempt);
bool IsTemporaryName(const std::wstring& fileName, const std::wstring& name);
