#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>

#include "file_io.h"
#include "locale_text.h"

namespace {

// Where writing a file in place failed.
enum class FailedStage { NewFile, Writing, Replacing };

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

// Splits a path after its last separator: the folder (with it) and the name.
std::pair<std::string, std::string> FolderAndName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {std::string(), path};
  return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

// Temporary files of a save that was cut off (killed, power lost) before it
// could remove them: those of our own pattern, nobody else's.
void RemoveStaleTemporaries(const std::string& path) {
  const auto [folder, name] = FolderAndName(path);
  DIR* directory = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!directory) return;
  const std::wstring wideName = DecodeLocaleText(name);
  while (const dirent* entry = ::readdir(directory)) {
    const std::string found = entry->d_name;
    if (found.size() > name.size() && found.compare(0, name.size(), name) == 0 &&
        IsTemporaryName(wideName, DecodeLocaleText(found))) {
      ::unlink((folder + found).c_str());
    }
  }
  ::closedir(directory);
}

// Writes `bytes` to a temporary file named after `namedAfter`, forces them to
// disk and only then renames the file over `target`, and makes the rename
// durable. 0, or the errno why not; `stage` tells where it failed.
int WriteInPlace(const std::string& namedAfter, const std::string& target, std::string_view bytes,
                 mode_t mode, FailedStage& stage) {
  const auto [folder, file] = FolderAndName(namedAfter);
  const std::wstring wideFile = DecodeLocaleText(file);
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary = folder + NativePath(TemporaryName(wideFile, static_cast<std::uint64_t>(::getpid()),
                                                  attempt));
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    stage = FailedStage::NewFile;
    return errno;
  }
  stage = FailedStage::Writing;
  bool written = WriteAll(fd, bytes) && ::fsync(fd) == 0;
  int error = written ? 0 : errno;
  if (::close(fd) != 0 && written) {
    written = false;
    error = errno;
  }
  if (written && ::rename(temporary.c_str(), target.c_str()) != 0) {
    written = false;
    error = errno;
    stage = FailedStage::Replacing;
  }
  if (!written) {
    ::unlink(temporary.c_str());
    return error;
  }
  SyncDirectoryOf(target);
  return 0;
}

// The whole file, or the errno why not.
int ReadWhole(const std::string& path, std::string& bytes) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  char chunk[64 * 1024];
  int error = 0;
  for (;;) {
    const ssize_t count = ::read(fd, chunk, sizeof chunk);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) error = errno;
    if (count <= 0) break;
    bytes.append(chunk, static_cast<std::size_t>(count));
  }
  ::close(fd);
  return error;
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

std::wstring SystemErrorText(std::uint32_t error) {
  return ErrorText(static_cast<int>(error));
}

bool IsFile(const std::wstring& path) {
  struct stat found {};
  return ::stat(NativePath(path).c_str(), &found) == 0 && !S_ISDIR(found.st_mode);
}

namespace {

// What the file in the way of a save says against replacing it.
SaveProblem OldFileProblem(const std::wstring& path, bool& exists, SaveFailure& failure,
                           mode_t& mode) {
  const std::string target = NativePath(path);
  struct stat old {};
  exists = ::stat(target.c_str(), &old) == 0;
  mode = exists ? (old.st_mode & 07777) : 0666;
  int error = 0;
  SaveProblem problem = SaveProblem::None;
  if (exists && S_ISDIR(old.st_mode)) {
    error = EISDIR;
    problem = SaveProblem::FolderInTheWay;
  } else if (exists && ::access(target.c_str(), W_OK) != 0) {
    // rename() needs only the directory's permission; a file we may not write
    // must not be replaced behind its owner's back.
    error = errno;
    problem = error == EACCES ? SaveProblem::ReadOnlyFile : SaveProblem::System;
  }
  if (problem != SaveProblem::None) {
    failure.systemError = static_cast<std::uint32_t>(error);
    failure.reason = ErrorText(error);
  }
  return problem;
}

}  // namespace

SaveProblem CheckReplaceable(const std::wstring& path, bool& exists, SaveFailure& failure) {
  failure.file = path;
  mode_t mode = 0;
  return OldFileProblem(path, exists, failure, mode);
}

SaveProblem ReplaceFileContents(const std::wstring& path, const std::wstring& backup,
                                std::string_view bytes, SaveFailure& failure) {
  const auto systemFault = [&](const std::wstring& file, int error,
                               SaveProblem problem = SaveProblem::System) {
    failure.file = file;
    failure.systemError = static_cast<std::uint32_t>(error);
    failure.reason = ErrorText(error);
    return problem;
  };
  failure.file = path;
  const std::string target = NativePath(path);
  bool exists = false;
  mode_t mode = 0;
  if (const SaveProblem problem = OldFileProblem(path, exists, failure, mode);
      problem != SaveProblem::None) {
    return problem;
  }
  RemoveStaleTemporaries(target);

  // A folder that takes no new file is a matter of rights; later refusals are
  // not. Only a file that refuses to be replaced is named; the settings file
  // else.
  FailedStage stage = FailedStage::NewFile;
  const auto fault = [&](const std::wstring& file, int error) {
    const bool rights = stage == FailedStage::NewFile && (error == EACCES || error == EPERM);
    return systemFault(stage == FailedStage::Replacing ? file : path, error,
                       rights ? SaveProblem::AccessDenied : SaveProblem::System);
  };
  if (exists && !backup.empty()) {
    std::string oldBytes;
    if (const int error = ReadWhole(target, oldBytes)) return systemFault(path, error);
    if (const int error = WriteInPlace(target, NativePath(backup), oldBytes, mode, stage)) {
      return fault(backup, error);
    }
  }
  if (const int error = WriteInPlace(target, target, bytes, mode, stage)) {
    return fault(path, error);
  }
  return SaveProblem::None;
}
