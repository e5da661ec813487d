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

// Writes `bytes` to a new file in the directory of `path`, forces it to disk and
// then puts it in place of `path` in one step. On failure `path` is left exactly
// as it was, no new file remains, and the result says why; `reason` gets the
// system's words and `systemError` its error number, where the system gave them.
SaveProblem ReplaceFileContents(const std::wstring& path, std::string_view bytes,
                                std::wstring& reason, std::uint32_t& systemError);
