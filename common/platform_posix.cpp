// The platform interface on POSIX systems (Linux).
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "common/codepage.h"
#include "common/exception.h"
#include "common/file_fault_hook.h"
#include "common/platform.h"

namespace ks {

const char kPathDelimiter = '/';

bool IsPathDelimiter(char c) { return c == '/'; }

bool IsAbsolutePath(const std::string& path) { return !path.empty() && path.front() == '/'; }

std::string SystemErrorText() { return std::strerror(errno); }

PathKind KindOfPath(const std::string& path) {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return PathKind::kMissing;
  if (S_ISREG(st.st_mode)) return PathKind::kFile;
  if (S_ISDIR(st.st_mode)) return PathKind::kDirectory;
  return PathKind::kOther;
}

PathKind KindOfEntry(const std::string& path) {
  struct stat st {};
  if (path.empty() || ::lstat(path.c_str(), &st) != 0) return PathKind::kMissing;
  if (S_ISLNK(st.st_mode)) return PathKind::kLink;
  if (S_ISREG(st.st_mode)) return PathKind::kFile;
  if (S_ISDIR(st.st_mode)) return PathKind::kDirectory;
  return PathKind::kOther;
}

bool CreateDirectories(const std::string& path, std::string& failed_part) {
  if (RefusedByFaultHook(FileOperation::kMakeDirectory, path)) {
    failed_part = path;
    return false;
  }
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i < path.size() && path[i] != '/') continue;
    const std::string partial = path.substr(0, i);
    if (partial.empty()) continue;
    if (::mkdir(partial.c_str(), 0777) != 0 && errno != EEXIST) {
      failed_part = partial;
      return FileOperationFailed(FileOperation::kMakeDirectory, partial);
    }
  }
  if (KindOfPath(path) != PathKind::kDirectory) {
    errno = ENOTDIR;
    failed_part = path;
    return FileOperationFailed(FileOperation::kMakeDirectory, path);
  }
  return true;
}

std::vector<std::string> DirectoryEntries(const std::string& directory) {
  std::vector<std::string> names;
  const std::string path = directory.empty() ? std::string(".") : directory;
  if (RefusedByFaultHook(FileOperation::kListDirectory, path)) {
    throw Exception(DescribeFileFailure(*LastFileFailure()));
  }
  DIR* handle = ::opendir(path.c_str());
  if (handle == nullptr) {
    if (errno == ENOENT || errno == ENOTDIR) return names;  // no such directory
    FileOperationFailed(FileOperation::kListDirectory, path);
    throw Exception(DescribeFileFailure(*LastFileFailure()));
  }
  errno = 0;
  while (const dirent* entry = ::readdir(handle)) {
    if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) names.emplace_back(entry->d_name);
    errno = 0;
  }
  const int error = errno;
  ::closedir(handle);
  if (error != 0) {
    errno = error;
    FileOperationFailed(FileOperation::kListDirectory, path);
    throw Exception(DescribeFileFailure(*LastFileFailure()));
  }
  return names;
}

bool RemoveFile(const std::string& path) {
  if (RefusedByFaultHook(FileOperation::kRemove, path)) return false;
  return ::unlink(path.c_str()) == 0 || FileOperationFailed(FileOperation::kRemove, path);
}

DirectoryLock::Result DirectoryLock::Acquire(const std::string& path) {
  Release();
  if (RefusedByFaultHook(FileOperation::kLock, path)) return Result::kFailed;
  // The holder removes the file when it is done; a file opened just before that is not the
  // lock any more, so the lock counts only while the name still leads to the locked file.
  for (int attempt = 0; attempt < 100; ++attempt) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
      FileOperationFailed(FileOperation::kLock, path);
      return Result::kFailed;
    }
    struct flock whole {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    if (::fcntl(fd, F_OFD_SETLK, &whole) != 0) {
      const int error = errno;
      ::close(fd);
      errno = error;
      if (error == EACCES || error == EAGAIN) return Result::kHeldElsewhere;
      FileOperationFailed(FileOperation::kLock, path);
      return Result::kFailed;
    }
    struct stat locked {}, named {};
    if (::fstat(fd, &locked) == 0 && ::stat(path.c_str(), &named) == 0 && locked.st_dev == named.st_dev &&
        locked.st_ino == named.st_ino) {
      handle_ = fd;
      path_ = path;
      return Result::kLocked;
    }
    ::close(fd);
  }
  errno = EAGAIN;
  FileOperationFailed(FileOperation::kLock, path);
  return Result::kFailed;
}

void DirectoryLock::Release() {
  if (handle_ == -1) return;
  // Removed while still locked, so that nobody takes the lock of a file that is going.
  ::unlink(path_.c_str());
  ::close(static_cast<int>(handle_));
  handle_ = -1;
  path_.clear();
}

bool DirectoryIsWritable(const std::string& directory) { return ::access(directory.c_str(), W_OK | X_OK) == 0; }

std::optional<uint64_t> FreeDiskBytes(const std::string& directory) {
  struct statvfs st {};
  if (::statvfs(directory.c_str(), &st) != 0) return std::nullopt;
  return static_cast<uint64_t>(st.f_bavail) * st.f_frsize;
}

std::string FullPath(const std::string& path) {
  std::error_code ec;
  std::filesystem::path full = std::filesystem::absolute(path, ec);
  if (ec) full = path;
  return full.lexically_normal().string();
}

std::string FullNetworkPath(const std::string& path) {
  std::error_code ec;
  return std::filesystem::absolute(path, ec).string();
}

std::string TableFilePath(const std::string& path) {
  std::error_code ec;
  std::filesystem::path full = std::filesystem::absolute(path, ec).lexically_normal();
  full.replace_filename(LowerCp1251(full.filename().string()));
  return full.string();
}

long FileLockHolder(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return 0;  // what cannot be opened is reported when the run opens it
  long holder = 0;
  struct flock probe {};
  probe.l_type = F_WRLCK;
  probe.l_whence = SEEK_SET;
  probe.l_start = 0;
  probe.l_len = 0;  // the whole file, record-lock region included
  if (::fcntl(fd, F_OFD_GETLK, &probe) == 0 && probe.l_type != F_UNLCK) {
    // Open-file-description locks report no process.
    holder = probe.l_pid > 0 ? probe.l_pid : -1;
  } else if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) holder = -1;
  } else {
    ::flock(fd, LOCK_UN);
  }
  ::close(fd);
  return holder;
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>();
}

std::string ExecutablePath() {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return std::string();
  return std::string(buffer, static_cast<size_t>(n));
}

std::optional<std::string_view> ProgramResource(const char*) { return std::nullopt; }

std::tm LocalTime(std::time_t moment) {
  std::tm local{};
  localtime_r(&moment, &local);
  return local;
}

int RunProcess(const std::string& program, const std::vector<std::string>& arguments,
               const std::vector<std::string>& environment) {
  std::vector<std::string> texts = environment;
  const pid_t pid = ::fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    for (std::string& assignment : texts) ::putenv(assignment.data());
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void SetProcessEnvironment(const std::string& name, const std::string& value) {
  ::setenv(name.c_str(), value.c_str(), 1);
}

std::string CreateTemporaryDirectory(const std::string& prefix) {
  std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "XXXXXX")).string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a temporary directory");
  return pattern + "/";
}

bool IsConsole(std::FILE* stream) { return ::isatty(::fileno(stream)) != 0; }

void WriteUtf8(std::FILE* stream, std::string_view text) { std::fwrite(text.data(), 1, text.size(), stream); }

}  // namespace ks
