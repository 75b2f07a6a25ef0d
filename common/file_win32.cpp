// File on a Windows handle. Record locks are LockFileEx ranges, which belong to the handle:
// the other handles of this process and every other process are refused, as on POSIX.
#include <windows.h>

#include <algorithm>
#include <cerrno>

#include "common/file.h"
#include "common/file_fault_hook.h"
#include "common/win32_text.h"

namespace ks {
namespace {

HANDLE Native(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

OVERLAPPED At(uint64_t offset) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return at;
}

// One transfer is kept well below the 4 GiB a single call takes.
constexpr size_t kChunk = 1u << 30;

}  // namespace

void RecordIoError() { win32::RecordErrno(EIO); }

bool File::Open(const std::string& path, Mode mode) {
  Close();
  const FileOperation operation = mode == Mode::kCreate ? FileOperation::kCreate : FileOperation::kOpen;
  if (RefusedByFaultHook(operation, path)) return false;
  std::wstring wide;
  if (!win32::SystemPath(path, wide)) return FileOperationFailed(operation, path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    win32::RecordErrno(EISDIR);
    return FileOperationFailed(operation, path);
  }
  DWORD access = GENERIC_READ | GENERIC_WRITE;
  DWORD disposition = OPEN_EXISTING;
  DWORD flags = FILE_ATTRIBUTE_NORMAL;
  switch (mode) {
    case Mode::kReadOnly: access = GENERIC_READ; break;
    case Mode::kReadWrite: break;
    case Mode::kCreate:
      // A new file in the directory, never one an existing entry leads to: the old entry
      // goes first (a symbolic link or junction is removed itself, not its target), then the
      // name must be free and a reparse point standing there again is not followed.
      if (!DeleteFileW(wide.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) {
        win32::RecordLastError(path);
        return FileOperationFailed(operation, path);
      }
      disposition = CREATE_NEW;
      flags |= FILE_FLAG_OPEN_REPARSE_POINT;
      break;
  }
  // Shared like a file on POSIX: other programs may read, write and remove it meanwhile.
  const HANDLE handle = CreateFileW(wide.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, disposition, flags, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    win32::RecordLastError(path);
    return FileOperationFailed(operation, path);
  }
  handle_ = reinterpret_cast<intptr_t>(handle);
  path_ = path;
  return true;
}

void File::Close() {
  if (handle_ == kNoHandle) return;
  UnlockRanges();
  CloseHandle(Native(handle_));
  handle_ = kNoHandle;
}

int64_t File::ReadAt(uint64_t offset, void* data, size_t size) const {
  if (RefusedByFaultHook(FileOperation::kRead, path_)) return -1;
  const int64_t allowed = AllowedByFaultHook(path_, false, offset, size);
  if (allowed < 0) {
    win32::RecordErrno(EIO);
    FileOperationFailed(FileOperation::kRead, path_);
    return -1;
  }
  const size_t want = static_cast<size_t>(allowed) < size ? static_cast<size_t>(allowed) : size;
  size_t done = 0;
  char* out = static_cast<char*>(data);
  while (done < want) {
    OVERLAPPED at = At(offset + done);
    DWORD n = 0;
    const DWORD ask = static_cast<DWORD>(std::min(want - done, kChunk));
    if (!ReadFile(Native(handle_), out + done, ask, &n, &at)) {
      if (GetLastError() == ERROR_HANDLE_EOF) break;
      win32::RecordLastError(path_);
      FileOperationFailed(FileOperation::kRead, path_);
      return -1;
    }
    if (n == 0) break;
    done += n;
  }
  return static_cast<int64_t>(done);
}

bool File::WriteAt(uint64_t offset, const void* data, size_t size) {
  if (RefusedByFaultHook(FileOperation::kWrite, path_)) return false;
  const int64_t allowed = AllowedByFaultHook(path_, true, offset, size);
  if (allowed < 0) {
    win32::RecordErrno(EIO);
    return FileOperationFailed(FileOperation::kWrite, path_);
  }
  const size_t want = static_cast<size_t>(allowed) < size ? static_cast<size_t>(allowed) : size;
  size_t done = 0;
  const char* in = static_cast<const char*>(data);
  while (done < want) {
    OVERLAPPED at = At(offset + done);
    DWORD n = 0;
    const DWORD ask = static_cast<DWORD>(std::min(want - done, kChunk));
    if (!WriteFile(Native(handle_), in + done, ask, &n, &at)) {
      win32::RecordLastError(path_);
      return FileOperationFailed(FileOperation::kWrite, path_);
    }
    if (n == 0) break;
    done += n;
  }
  if (done < size) {
    win32::RecordErrno(ENOSPC);
    return FileOperationFailed(FileOperation::kWrite, path_);
  }
  return true;
}

bool File::Truncate(uint64_t size) {
  if (RefusedByFaultHook(FileOperation::kTruncate, path_)) return false;
  FILE_END_OF_FILE_INFO end{};
  end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
  if (SetFileInformationByHandle(Native(handle_), FileEndOfFileInfo, &end, sizeof end)) return true;
  win32::RecordLastError(path_);
  return FileOperationFailed(FileOperation::kTruncate, path_);
}

bool File::Sync() {
  if (RefusedByFaultHook(FileOperation::kFlush, path_)) return false;
  if (AllowedByFaultHook(path_, true, kFlushOffset, 0) < 0) {
    win32::RecordErrno(EIO);
    return FileOperationFailed(FileOperation::kFlush, path_);
  }
  if (FlushFileBuffers(Native(handle_))) return true;
  win32::RecordLastError(path_);
  return FileOperationFailed(FileOperation::kFlush, path_);
}

// The cache manager's lazy writer already writes dirty pages out steadily.
bool File::StartWriteBack(uint64_t, uint64_t) { return true; }

int64_t File::Size() const {
  LARGE_INTEGER size{};
  if (GetFileSizeEx(Native(handle_), &size)) return size.QuadPart;
  win32::RecordLastError(path_);
  return -1;
}

bool File::GetStamp(Stamp& stamp) const {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(Native(handle_), &info)) {
    win32::RecordLastError(path_);
    return false;
  }
  stamp.size = int64_t((uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
  stamp.changed = int64_t((uint64_t(info.ftLastWriteTime.dwHighDateTime) << 32) | info.ftLastWriteTime.dwLowDateTime);
  return true;
}

File::LockResult File::LockRange(uint64_t offset, uint64_t length) {
  const std::pair<uint64_t, uint64_t> range{offset, length};
  // Windows would refuse a second lock of the same handle on its own range.
  if (std::find(locked_.begin(), locked_.end(), range) != locked_.end()) return LockResult::kLocked;
  if (RefusedByFaultHook(FileOperation::kLock, path_)) return LockResult::kFailed;
  OVERLAPPED at = At(offset);
  if (!LockFileEx(Native(handle_), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0,
                  static_cast<DWORD>(length), static_cast<DWORD>(length >> 32), &at)) {
    const DWORD error = GetLastError();
    win32::RecordError(error, path_);
    if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING) return LockResult::kHeldElsewhere;
    FileOperationFailed(FileOperation::kLock, path_);
    return LockResult::kFailed;
  }
  locked_.push_back(range);
  return LockResult::kLocked;
}

bool File::UnlockRanges() {
  bool ok = true;
  for (const auto& [offset, length] : locked_) {
    OVERLAPPED at = At(offset);
    if (!UnlockFileEx(Native(handle_), 0, static_cast<DWORD>(length), static_cast<DWORD>(length >> 32), &at)) {
      win32::RecordLastError(path_);
      ok = false;
    }
  }
  locked_.clear();
  return ok;
}

bool SyncDirectory(const std::string& path) {
  if (RefusedByFaultHook(FileOperation::kFlush, path)) return false;
  if (AllowedByFaultHook(path, true, kFlushOffset, 0) < 0) {
    win32::RecordErrno(EIO);
    return FileOperationFailed(FileOperation::kFlush, path);
  }
  // The file systems of Windows keep their directory entries durable themselves.
  if (KindOfPath(path.empty() ? std::string(".") : path) == PathKind::kDirectory) return true;
  win32::RecordErrno(ENOENT);
  return FileOperationFailed(FileOperation::kFlush, path);
}

}  // namespace ks
