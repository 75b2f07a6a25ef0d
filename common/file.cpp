#include "common/file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace ks {
namespace {

FileFaultHook& FaultHook() {
  static FileFaultHook hook;
  return hook;
}

// How many of size bytes the fault hook lets through; size when no hook is set.
int64_t Allowed(const std::string& path, bool is_write, uint64_t offset, size_t size) {
  const FileFaultHook& hook = FaultHook();
  if (!hook) return static_cast<int64_t>(size);
  return hook(path, is_write, offset, size);
}

}  // namespace

void SetFileFaultHook(FileFaultHook hook) { FaultHook() = std::move(hook); }

File::~File() { Close(); }

File::File(File&& other) noexcept : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
    path_ = std::move(other.path_);
  }
  return *this;
}

bool File::Open(const std::string& path, Mode mode) {
  Close();
  int flags = O_CLOEXEC;
  switch (mode) {
    case Mode::kReadOnly: flags |= O_RDONLY; break;
    case Mode::kReadWrite: flags |= O_RDWR; break;
    case Mode::kCreate:
      // A new file in the directory, never one an existing entry leads to: a symbolic
      // or hard link planted under the table's name would otherwise have the table
      // written through it into a file elsewhere. The old entry goes first (as a link,
      // not what it points to); then the name must be free and is not followed.
      if (::unlink(path.c_str()) != 0 && errno != ENOENT) return false;
      flags |= O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW;
      break;
  }
  fd_ = ::open(path.c_str(), flags, 0666);
  if (fd_ < 0) return false;
  struct stat st {};
  if (::fstat(fd_, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    errno = EISDIR;
    return false;
  }
  path_ = path;
  return true;
}

void File::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

int64_t File::ReadAt(uint64_t offset, void* data, size_t size) const {
  const int64_t allowed = Allowed(path_, false, offset, size);
  if (allowed < 0) {
    errno = EIO;
    return -1;
  }
  size_t want = static_cast<size_t>(allowed) < size ? static_cast<size_t>(allowed) : size;
  size_t done = 0;
  char* out = static_cast<char*>(data);
  while (done < want) {
    const ssize_t n = ::pread(fd_, out + done, want - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<int64_t>(done);
}

bool File::ReadExactAt(uint64_t offset, void* data, size_t size) const {
  return ReadAt(offset, data, size) == static_cast<int64_t>(size);
}

bool File::WriteAt(uint64_t offset, const void* data, size_t size) {
  const int64_t allowed = Allowed(path_, true, offset, size);
  size_t want = size;
  if (allowed < 0) {
    errno = EIO;
    return false;
  }
  if (static_cast<size_t>(allowed) < size) want = static_cast<size_t>(allowed);
  size_t done = 0;
  const char* in = static_cast<const char*>(data);
  while (done < want) {
    const ssize_t n = ::pwrite(fd_, in + done, want - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  if (done < size) {
    errno = ENOSPC;
    return false;
  }
  return true;
}

bool File::Truncate(uint64_t size) { return ::ftruncate(fd_, static_cast<off_t>(size)) == 0; }

bool File::Sync() {
  if (Allowed(path_, true, kFlushOffset, 0) < 0) {
    errno = EIO;
    return false;
  }
  return ::fsync(fd_) == 0;
}

int64_t File::Size() const {
  struct stat st {};
  if (::fstat(fd_, &st) != 0) return -1;
  return st.st_size;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool SyncFile(const std::string& path) {
  File file;
  return file.Open(path, File::Mode::kReadWrite) && file.Sync();
}

bool SyncDirectory(const std::string& path) {
  if (Allowed(path, true, kFlushOffset, 0) < 0) {
    errno = EIO;
    return false;
  }
  const int fd = ::open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = ::fsync(fd) == 0;
  const int saved = errno;
  ::close(fd);
  errno = saved;
  return synced;
}

}  // namespace ks
