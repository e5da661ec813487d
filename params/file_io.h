#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "file_system.h"

// The settings file's reading and saving, over the operating-system seam.

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
  Held,                   // another program held the file for longer than the wait
  ChangedOnDisk,          // the file is no longer what the caller read
  NotLookedAt,            // the system could not say what is at the file's path
  Link,                   // the file is a symbolic link: `SaveFailure::kept` names its target
  // The new file is in place, but the backup refused and so did the way back:
  // the replaced file's bytes are in `SaveFailure::kept`.
  PreviousKeptAside,
};

// Where a save failed: the file it could not make (the settings file or its
// backup), the system's words and error number, where the system gave them.
struct SaveFailure {
  std::wstring file;
  std::wstring reason;
  SystemError systemError = 0;
  std::wstring kept;  // PreviousKeptAside, Link: the other file the problem names
};

// What a reader found at a file: whether it was there, and its bytes.
struct FileContents {
  bool exists = false;
  std::string bytes;
  bool operator==(const FileContents&) const = default;
};

// Reads all of `path`, trying again for about a second while another program
// holds it, as a save does. A missing file is no error.
SystemError ReadFileContents(FileSystem& files, const std::wstring& path, FileContents& contents);
// Opens `path` for reading (FileSystem::OpenRead), waiting for a holder as
// ReadFileContents does: for a reader that takes the file a piece at a time.
SystemError OpenToRead(FileSystem& files, const std::wstring& path, FileSystem::Handle& file);

// Writes `bytes` to a new file in the directory of `path`, forces it to disk and
// then puts it in place of `path` in one step. When `path` exists and `backup`
// is not empty, the old file's bytes go to `backup` the same way, so that the
// backup is whole on disk. Temporary files that a cut-off save left beside
// `path` are finished first (FinishCutOffSaves). A step that meets another
// program holding a file is tried again for about a second. With `expected`,
// a `path` that is no longer that is not replaced (ChangedOnDisk).
//
// Failure-atomic for both files: on failure `path` and `backup` are byte for
// byte as they were, no new file remains (where it can be removed), and the
// result and `failure` say why. Only a save whose new `path` is in place has
// replaced `backup`. One exception, said as PreviousKeptAside: the backup and
// then the way back both refused, and the old bytes stay in a file of their own.
SaveProblem ReplaceFileContents(FileSystem& files, const std::wstring& path,
                                const std::wstring& backup, std::string_view bytes,
                                SaveFailure& failure, const FileContents* expected = nullptr);

// The temporary files that saves of `path` whose process is gone left beside
// it (of another computer: older than a few minutes): new bytes are removed,
// the bytes of a replaced file become `backup`, as their save would have had
// it, unless the backup is newer or `path` holds the same bytes.
void FinishCutOffSaves(FileSystem& files, const std::wstring& path, const std::wstring& backup);

// Whether a save could replace `path` (and `backup`), found out the way the
// save goes without leaving anything behind: None when it could, else why not,
// as the save would say. `exists` tells whether there is anything at `path`.
SaveProblem CheckReplaceable(FileSystem& files, const std::wstring& path,
                             const std::wstring& backup, bool& exists, SaveFailure& failure);

// Whether `path` is a file (not a folder).
bool IsFile(const std::wstring& path);

// A temporary file of a save: which computer and process made it, and whether
// it holds the replaced file's bytes (on their way to the backup) or new ones.
struct TemporaryFile {
  std::uint32_t machine = 0;
  std::uint64_t process = 0;
  bool previous = false;
};

// Their names: the file's name, the computer (8 hex digits), the process and
// an attempt number, then ".tmp" for new bytes (printer.ini.0a1b2c3d.4242.0.tmp)
// or ".previous" for the replaced file's.
std::wstring TemporaryName(const std::wstring& fileName, const TemporaryFile& file, int attempt);
bool IsTemporaryName(const std::wstring& fileName, const std::wstring& name, TemporaryFile& file);
