#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "file_system.h"
#include "locale_text.h"

// The seam's primitives on POSIX systems: each one call to the system (a call
// cut short by a signal is made again).

namespace {

std::string NativePath(const std::wstring& path) {
  return EncodeLocaleText(path);
}

SystemError LastError() {
  return errno ? static_cast<SystemError>(errno) : static_cast<SystemError>(EIO);
}

int AsDescriptor(FileSystem::Handle file) {
  return static_cast<int>(file);
}

// A read or write, made again when a signal cut it short; `count` the bytes.
template <typename Call>
SystemError Transferred(Call call, std::size_t& count) {
  count = 0;
  for (;;) {
    const ssize_t done = call();
    if (done >= 0) {
      count = static_cast<std::size_t>(done);
      return 0;
    }
    if (errno != EINTR) return LastError();
  }
}

// Makes a rename into `path`'s folder durable.
void SyncFolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

class PosixFiles final : public FileSystem {
 public:
  SystemError Look(const std::wstring& path, PathFacts& facts) override {
    facts = {};
    facts.mode = 0666;
    const std::string native = NativePath(path);
    struct stat found {};
    if (::lstat(native.c_str(), &found) == 0 && S_ISLNK(found.st_mode)) {
      char* target = ::realpath(native.c_str(), nullptr);
      facts.linkTarget = target ? DecodeLocaleText(target) : path;
      std::free(target);
    }
    if (::stat(native.c_str(), &found) != 0) return errno == ENOENT ? 0 : LastError();
    facts.exists = true;
    facts.folder = S_ISDIR(found.st_mode);
    facts.mode = found.st_mode & 07777;
    facts.age = static_cast<std::int64_t>(::time(nullptr)) - found.st_mtime;
    // rename() needs only the folder's permission; a file we may not write
    // must not be replaced behind its owner's back.
    facts.readOnly = !facts.folder && ::access(native.c_str(), W_OK) != 0;
    return 0;
  }

  SystemError OpenRead(const std::wstring& path, Handle& file) override {
    const int fd = ::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return LastError();
    file = fd;
    return 0;
  }

  SystemError Read(Handle file, char* buffer, std::size_t size, std::size_t& count) override {
    return Transferred([&] { return ::read(AsDescriptor(file), buffer, size); }, count);
  }

  SystemError CreateNew(const std::wstring& path, std::uint32_t mode, Handle& file) override {
    const int fd = ::open(NativePath(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                          static_cast<mode_t>(mode));
    if (fd < 0) return LastError();
    file = fd;
    return 0;
  }

  SystemError Write(Handle file, const char* bytes, std::size_t size,
                    std::size_t& written) override {
    return Transferred([&] { return ::write(AsDescriptor(file), bytes, size); }, written);
  }

  SystemError Flush(Handle file) override {
    return ::fsync(AsDescriptor(file)) == 0 ? 0 : LastError();
  }

  SystemError Close(Handle file) override {
    return ::close(AsDescriptor(file)) == 0 ? 0 : LastError();
  }

  SystemError Move(const std::wstring& from, const std::wstring& to) override {
    const std::string target = NativePath(to);
    if (::rename(NativePath(from).c_str(), target.c_str()) != 0) return LastError();
    SyncFolderOf(target);
    return 0;
  }

  SystemError Remove(const std::wstring& path) override {
    return ::unlink(NativePath(path).c_str()) == 0 ? 0 : LastError();
  }

  SystemError CopyRights(const std::wstring&, const std::wstring&) override { return 0; }

  SystemError List(const std::wstring& folder, const std::wstring& prefix,
                   std::vector<std::wstring>& names) override {
    const std::string native = NativePath(folder);
    DIR* directory = ::opendir(native.empty() ? "." : native.c_str());
    if (!directory) return LastError();
    const std::string start = NativePath(prefix);
    while (const dirent* entry = ::readdir(directory)) {
      const std::string found = entry->d_name;
      if (found.compare(0, start.size(), start) != 0) continue;
      struct stat facts {};
      if (::lstat((native + found).c_str(), &facts) == 0 && S_ISREG(facts.st_mode)) {
        names.push_back(DecodeLocaleText(found));
      }
    }
    ::closedir(directory);
    return 0;
  }

  SystemError MakeFolder(const std::wstring& path) override {
    if (::mkdir(NativePath(path).c_str(), 0777) == 0 || errno == EEXIST) return 0;
    return LastError();
  }

  bool Elevated() override { return false; }
  // Nothing redirects a program's writes here.
  bool VirtualizationAllowed() override { return false; }
  std::wstring LongPath(const std::wstring& path) override { return path; }
  // A rename asks only for the folder's rights, which the temporary file met.
  SystemError MayReplace(const std::wstring&) override { return 0; }

  std::wstring Environment(const std::wstring& name) override {
    const char* value = std::getenv(NativePath(name).c_str());
    return value ? DecodeLocaleText(value) : std::wstring();
  }

  ErrorKind KindOf(SystemError error) const override {
    switch (static_cast<int>(error)) {
      case EEXIST:
        return ErrorKind::Exists;
      case ENOENT:
      case ENOTDIR:
        return ErrorKind::NotFound;
      case EACCES:
      case EPERM:
        return ErrorKind::AccessDenied;
      case EBUSY:
      case ETXTBSY:
        return ErrorKind::Busy;
      default:
        return ErrorKind::Other;
    }
  }

  std::uint64_t ProcessNumber() const override { return static_cast<std::uint64_t>(::getpid()); }

  std::uint32_t MachineNumber() const override {
    char name[256] = {};
    ::gethostname(name, sizeof name - 1);
    return NameHash(DecodeLocaleText(name));
  }

  // A process we may not signal still runs.
  bool ProcessGone(std::uint64_t process) override {
    const auto pid = static_cast<pid_t>(process);
    if (pid <= 0 || static_cast<std::uint64_t>(pid) != process) return true;
    return ::kill(pid, 0) != 0 && errno == ESRCH;
  }

  void Wait(int milliseconds) override {
    timespec wait{milliseconds / 1000, (milliseconds % 1000) * 1000000L};
    while (::nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
  }
};

}  // namespace

FileSystem& SystemFiles() {
  static PosixFiles files;
  return files;
}

std::wstring ExecutableDirectory() {
  std::string path(256, '\0');
  for (;;) {
    const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
    if (length <= 0) return {};
    if (static_cast<std::size_t>(length) < path.size()) {
      path.resize(static_cast<std::size_t>(length));
      break;
    }
    path.resize(path.size() * 2);
  }
  path.erase(path.rfind('/') + 1);
  return DecodeLocaleText(path);
}

std::wstring SystemErrorText(SystemError error) {
  return DecodeLocaleText(std::strerror(static_cast<int>(error)));
}
