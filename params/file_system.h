#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The operating-system seam under the settings file: each primitive is one
// call to the system, so that what is built on them (the save, above all) is
// written once and can be tried with any one of them failing.

// The system's own error number (Win32 or errno); 0 is success.
using SystemError = std::uint32_t;

// What the code above the seam needs to know of an error.
enum class ErrorKind {
  Other,
  Exists,        // a new file's name is taken
  NotFound,      // no such file or folder
  AccessDenied,  // refused for lack of rights, or (Windows) a file in use
  Busy,          // another program holds the file (sharing or lock violation)
};

// What is at a path.
struct PathFacts {
  bool exists = false;
  bool folder = false;
  // The read-only attribute (Windows) or no write permission for this user.
  bool readOnly = false;
  // What a new file in its place should get: the permission bits (POSIX), or
  // the hidden, system and archive attributes (Windows).
  std::uint32_t mode = 0;
  // Seconds since it was last written, by this machine's clock.
  std::int64_t age = 0;
  // For a symbolic link, which a move would replace rather than the file it
  // names: that file's path (or the link's own, where the system cannot say).
  std::wstring linkTarget;
};

class FileSystem {
 public:
  using Handle = std::intptr_t;

  virtual ~FileSystem() = default;

  // Nothing there is not an error: `facts.exists` says so.
  virtual SystemError Look(const std::wstring& path, PathFacts& facts) = 0;
  // Shared with other readers and writers.
  virtual SystemError OpenRead(const std::wstring& path, Handle& file) = 0;
  // `count` 0 at the end of the file.
  virtual SystemError Read(Handle file, char* buffer, std::size_t size, std::size_t& count) = 0;
  // A file that must not exist yet, for writing by us alone; `mode` as PathFacts.
  virtual SystemError CreateNew(const std::wstring& path, std::uint32_t mode, Handle& file) = 0;
  virtual SystemError Write(Handle file, const char* bytes, std::size_t size,
                            std::size_t& written) = 0;
  // Forces what was written to the disk.
  virtual SystemError Flush(Handle file) = 0;
  virtual SystemError Close(Handle file) = 0;
  // Puts `from` in the place of `to` in one step, replacing it. When the rename
  // itself reaches the disk is the file system's affair: Windows promises a
  // flush only for a move it makes as a copy, POSIX syncs the folder after.
  // The bytes of `from` must be flushed (Flush) before.
  virtual SystemError Move(const std::wstring& from, const std::wstring& to) = 0;
  virtual SystemError Remove(const std::wstring& path) = 0;
  // Gives `to` the owner and access rights of `from` (Windows: its owner where
  // this user may set it, and its access list with its protection from
  // inheritance; POSIX: nothing beyond the mode CreateNew was given).
  virtual SystemError CopyRights(const std::wstring& from, const std::wstring& to) = 0;
  // The names of the files (not folders) in `folder` (ending in its separator)
  // that begin with `prefix`.
  virtual SystemError List(const std::wstring& folder, const std::wstring& prefix,
                           std::vector<std::wstring>& names) = 0;

  // Makes one folder; one that is there already is no error.
  virtual SystemError MakeFolder(const std::wstring& path) = 0;

  virtual ErrorKind KindOf(SystemError error) const = 0;
  // Whether this process runs elevated over a limited token, the one older
  // programs of this user run with (UAC's elevation); false where the system
  // has no such notion, and with UAC off.
  virtual bool Elevated() = 0;
  // Whether Windows redirects this process's refused writes in protected
  // folders (its token allows virtualisation); true where it does not say.
  virtual bool VirtualizationAllowed() = 0;
  // The long form of an existing path (no 8.3 names, no extended-length
  // prefix); `path` itself where the system gives none.
  virtual std::wstring LongPath(const std::wstring& path) = 0;
  // Whether this user has the right to replace the file at `path` (delete
  // access), asked without changing it: 0, or the system's refusal.
  virtual SystemError MayReplace(const std::wstring& path) = 0;
  // A variable of the process's environment; empty if it has none.
  virtual std::wstring Environment(const std::wstring& name) = 0;
  virtual std::uint64_t ProcessNumber() const = 0;
  // This computer, as a number other computers sharing a folder are unlikely
  // to have (a hash of its name).
  virtual std::uint32_t MachineNumber() const = 0;
  // Whether no process of this number runs on this computer (one we may not
  // look at runs).
  virtual bool ProcessGone(std::uint64_t process) = 0;
  virtual void Wait(int milliseconds) = 0;
};

// The running system's files.
FileSystem& SystemFiles();

// Directory of the running executable, ending in its separator; empty if the
// system does not say.
std::wstring ExecutableDirectory();

// The system's text for one of its error numbers, in the user's language.
std::wstring SystemErrorText(SystemError error);

// A name as a number, the same on every computer (FNV-1a of its characters).
std::uint32_t NameHash(std::wstring_view name);
