#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The operating-system seam of the settings file: where the executable lives,
// reading a file in chunks, and replacing a file's contents in one step.

// Directory of the running executable, ending in its separator; empty if the
// system does not say.
std::wstring ExecutableDirectory();

// A file opened for reading, shared with other readers and writers.
class InputFile {
 public:
  InputFile() = default;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile();

  bool Open(const std::wstring& path);
  // Bytes read into `buffer`: 0 at end of file, -1 on a read error.
  std::ptrdiff_t Read(char* buffer, std::size_t size);

 private:
  std::intptr_t handle_ = -1;
};

// Why a save failed. This layer has no user interface: the caller puts each
// kind into words, and only the system's own text travels as a reason.
enum class SaveProblem {
  None,
  System,                 // the system's reason says why
  AccessDenied,           // this user may not make a file in the folder
  ReadOnlyFile,           // the file is read-only (or not writable for this user)
  FolderInTheWay,         // a folder has the file's name
  LineBreakInResetOrder,  // the reset order cannot be written as one line
};

// Where a save failed: the file it could not make (the settings file or its
// backup), the system's words and error number, where the system gave them.
struct SaveFailure {
  std::wstring file;
  std::wstring reason;
  std::uint32_t systemError = 0;
};

// Writes `bytes` to a new file in the directory of `path`, forces it to disk and
// then puts it in place of `path` in one step. When `path` exists and `backup`
// is not empty, the old file is first copied to `backup` byte for byte, the
// same way, so that it is whole on disk before the new file takes its place.
// Temporary files that a cut-off save left beside `path` (its own naming
// pattern only) are removed first. On failure `path` and `backup` are left
// exactly as they were, no new file remains, and the result and `failure` say
// why.
SaveProblem ReplaceFileContents(const std::wstring& path, const std::wstring& backup,
                                std::string_view bytes, SaveFailure& failure);

// Whether a save could replace `path`, found out without changing anything:
// None when it could (or there is no file yet), else why not, as the save would
// say. `exists` tells whether there is anything at `path`.
SaveProblem CheckReplaceable(const std::wstring& path, bool& exists, SaveFailure& failure);

// Whether `path` is a file (not a folder).
bool IsFile(const std::wstring& path);

// The system's text for one of its error numbers, in the user's language.
std::wstring SystemErrorText(std::uint32_t error);

// The names of the temporary files of a save of `path`: the file's name, a
// process number and an attempt number, ".tmp" (printer.ini.4242.0.tmp).
std::wstring TemporaryName(const std::wstring& fileName, std::uint64_t process, int attempt);
bool IsTemporaryName(const std::wstring& fileName, const std::wstring& name);
