// File on a POSIX descriptor; record locks are open-file-description locks, so that they
// belong to the open file (shared by its cursors) and are seen by every other open file.
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "common/file.h"
#include "common/file_fault_hook.h"

namespace ks {
namespace {

int Fd(intptr_t handle) { return static_cast<int>(handle); }

}  // namespace

void RecordIoError() { errno = EIO; }

bool File::Open(const std::string& path, Mode mode) {
  Close();
  const FileOperation operation = mode == Mode::kCreate ? FileOperation::kCreate : FileOperation::kOpen;
  if (RefusedByFaultHook(operation, path)) return false;
  int flags = O_CLOEXEC;
  switch (mode) {
    case Mode::kReadOnly: flags |= O_RDONLY; break;
    case Mode::kReadWrite: flags |= O_RDWR; break;
    case Mode::kCreate:
      // A new file in the directory, never one an existing entry leads to: a symbolic
      // or hard link planted under the table's name would otherwise have the table
      // written through it into a file elsewhere. The old entry goes first (as a link,
      // not what it points to); then the name must be free and is not followed.
      if (::unlink(path.c_str()) != 0 && errno != ENOENT) return FileOperationFailed(operation, path);
      flags |= O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW;
      break;
  }
  const int fd = ::open(path.c_str(), flags, 0666);
  if (fd < 0) return FileOperationFailed(operation, path);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    errno = EISDIR;
    return FileOperationFailed(operation, path);
  }
  handle_ = fd;
  path_ = path;
  return true;
}

void File::Close() {
  if (handle_ != kNoHandle) ::close(Fd(handle_));  // releases the locks as well
  handle_ = kNoHandle;
  locked_.clear();
}

int64_t File::ReadAt(uint64_t offset, void* data, size_t size) const {
  if (RefusedByFaultHook(FileOperation::kRead, path_)) return -1;
  const int64_t allowed = AllowedByFaultHook(path_, false, offset, size);
  if (allowed < 0) {
    errno = EIO;
    FileOperationFailed(FileOperation::kRead, path_);
    return -1;
  }
  size_t want = static_cast<size_t>(allowed) < size ? static_cast<size_t>(allowed) : size;
  size_t done = 0;
  char* out = static_cast<char*>(data);
  while (done < want) {
    const ssize_t n = ::pread(Fd(handle_), out + done, want - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      FileOperationFailed(FileOperation::kRead, path_);
      return -1;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<int64_t>(done);
}

bool File::WriteAt(uint64_t offset, const void* data, size_t size) {
  if (RefusedByFaultHook(FileOperation::kWrite, path_)) return false;
  const int64_t allowed = AllowedByFaultHook(path_, true, offset, size);
  size_t want = size;
  if (allowed < 0) {
    errno = EIO;
    return FileOperationFailed(FileOperation::kWrite, path_);
  }
  if (static_cast<size_t>(allowed) < size) want = static_cast<size_t>(allowed);
  size_t done = 0;
  const char* in = static_cast<const char*>(data);
  while (done < want) {
    const ssize_t n = ::pwrite(Fd(handle_), in + done, want - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return FileOperationFailed(FileOperation::kWrite, path_);
    }
    done += static_cast<size_t>(n);
  }
  if (done < size) {
    errno = ENOSPC;
    return FileOperationFailed(FileOperation::kWrite, path_);
  }
  return true;
}

bool File::Truncate(uint64_t size) {
  if (RefusedByFaultHook(FileOperation::kTruncate, path_)) return false;
  if (::ftruncate(Fd(handle_), static_cast<off_t>(size)) == 0) return true;
  return FileOperationFailed(FileOperation::kTruncate, path_);
}

bool File::Sync() {
  if (RefusedByFaultHook(FileOperation::kFlush, path_)) return false;
  if (AllowedByFaultHook(path_, true, kFlushOffset, 0) < 0) {
    errno = EIO;
    return FileOperationFailed(FileOperation::kFlush, path_);
  }
  return ::fsync(Fd(handle_)) == 0 || FileOperationFailed(FileOperation::kFlush, path_);
}

bool File::StartWriteBack(uint64_t offset, uint64_t length) {
#ifdef SYNC_FILE_RANGE_WRITE
  if (::sync_file_range(Fd(handle_), static_cast<off_t>(offset), static_cast<off_t>(length), SYNC_FILE_RANGE_WRITE) == 0) {
    return true;
  }
  // A file system without the call writes everything at the final flush instead.
  return errno == EINVAL || errno == ESPIPE || errno == ENOSYS || errno == EOPNOTSUPP;
#else
  (void)offset;
  (void)length;
  return true;
#endif
}

int64_t File::Size() const {
  struct stat st {};
  if (::fstat(Fd(handle_), &st) != 0) return -1;
  return st.st_size;
}

bool File::GetStamp(Stamp& stamp) const {
  struct stat st {};
  if (::fstat(Fd(handle_), &st) != 0) return false;
  stamp.size = st.st_size;
  stamp.changed = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return true;
}

File::LockResult File::LockRange(uint64_t offset, uint64_t length) {
  if (RefusedByFaultHook(FileOperation::kLock, path_)) return LockResult::kFailed;
  struct flock fl {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(offset);
  fl.l_len = static_cast<off_t>(length);
  if (::fcntl(Fd(handle_), F_OFD_SETLK, &fl) != 0) {
    if (errno == EACCES || errno == EAGAIN) return LockResult::kHeldElsewhere;
    FileOperationFailed(FileOperation::kLock, path_);
    return LockResult::kFailed;
  }
  const std::pair<uint64_t, uint64_t> range{offset, length};
  if (std::find(locked_.begin(), locked_.end(), range) == locked_.end()) locked_.push_back(range);
  return LockResult::kLocked;
}

bool File::UnlockRanges() {
  bool ok = true;
  for (const auto& [offset, length] : locked_) {
    struct flock fl {};
    fl.l_type = F_UNLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(offset);
    fl.l_len = static_cast<off_t>(length);
    if (::fcntl(Fd(handle_), F_OFD_SETLK, &fl) != 0) ok = false;
  }
  locked_.clear();
  return ok;
}

bool SyncDirectory(const std::string& path) {
  if (RefusedByFaultHook(FileOperation::kFlush, path)) return false;
  if (AllowedByFaultHook(path, true, kFlushOffset, 0) < 0) {
    errno = EIO;
    return FileOperationFailed(FileOperation::kFlush, path);
  }
  const int fd = ::open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return FileOperationFailed(FileOperation::kFlush, path);
  const bool synced = ::fsync(fd) == 0;
  const int saved = errno;
  ::close(fd);
  errno = saved;
  return synced || FileOperationFailed(FileOperation::kFlush, path);
}

}  // namespace ks
