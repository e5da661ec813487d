#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "file_io.h"
#include "locale_text.h"

namespace {

std::string NativePath(const std::wstring& path) {
  return EncodeLocaleText(path);
}

std::wstring ErrorText(int error) {
  return DecodeLocaleText(std::strerror(error));
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// Makes the rename itself durable.
void SyncDirectoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string directory = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

}  // namespace

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

InputFile::~InputFile() {
  if (handle_ != -1) ::close(static_cast<int>(handle_));
}

bool InputFile::Open(const std::wstring& path) {
  const int fd = ::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  handle_ = fd;
  return true;
}

std::ptrdiff_t InputFile::Read(char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t count = ::read(static_cast<int>(handle_), buffer, size);
    if (count >= 0 || errno != EINTR) return count;
  }
}

SaveProblem ReplaceFileContents(const std::wstring& path, std::string_view bytes,
                                std::wstring& reason, std::uint32_t& systemError) {
  const auto systemFault = [&](int error, SaveProblem problem = SaveProblem::System) {
    systemError = static_cast<std::uint32_t>(error);
    reason = ErrorText(error);
    return problem;
  };
  const std::string target = NativePath(path);
  struct stat old {};
  const bool exists = ::stat(target.c_str(), &old) == 0;
  if (exists && S_ISDIR(old.st_mode)) return systemFault(EISDIR, SaveProblem::FolderInTheWay);
  // rename() needs only the directory's permission; a file we may not write
  // must not be replaced behind its owner's back.
  if (exists && ::access(target.c_str(), W_OK) != 0) {
    const int error = errno;
    return systemFault(error, error == EACCES ? SaveProblem::ReadOnlyFile : SaveProblem::System);
  }

  const mode_t mode = exists ? (old.st_mode & 07777) : 0666;
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary = target + "." + std::to_string(::getpid()) + "." + std::to_string(attempt) + ".tmp";
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    const int error = errno;
    return systemFault(
        error, error == EACCES || error == EPERM ? SaveProblem::AccessDenied : SaveProblem::System);
  }
  bool written = WriteAll(fd, bytes) && ::fsync(fd) == 0;
  int error = written ? 0 : errno;
  if (::close(fd) != 0 && written) {
    written = false;
    error = errno;
  }
  if (written && ::rename(temporary.c_str(), target.c_str()) != 0) {
    written = false;
    error = errno;
  }
  if (!written) {
    ::unlink(temporary.c_str());
    return systemFault(error);
  }
  SyncDirectoryOf(target);
  return SaveProblem::None;
}
