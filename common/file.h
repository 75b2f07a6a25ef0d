#pragma once
// The thin file layer under the dBASE engine and the Paradox reader: positioned reads and
// writes and record locks on a file of the system (file_posix.cpp, file_win32.cpp), with a
// fault hook so that tests can make a write fail (full disk, short write) or a read come up
// short without a real broken disk. Paths are Windows-1251 text, as in common/platform.h.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "common/platform.h"

namespace ks {

class File {
 public:
  // kCreate: read-write, a new empty file; whatever stood under the name before (a file, or
  // a link, removed as a link) is removed first, and nothing is written through a link.
  enum class Mode { kReadOnly, kReadWrite, kCreate };

  File() = default;
  ~File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;

  // False with errno set (ENOENT for a missing file or directory) when the file cannot be
  // opened; SystemErrorText() then says why.
  bool Open(const std::string& path, Mode mode);
  void Close();
  bool IsOpen() const { return handle_ != kNoHandle; }
  const std::string& Path() const { return path_; }

  // Reads up to size bytes at offset; returns the number read (short at the end of the
  // file), or -1 on an error.
  int64_t ReadAt(uint64_t offset, void* data, size_t size) const;
  // True only when every byte was read.
  bool ReadExactAt(uint64_t offset, void* data, size_t size) const;
  // True only when every byte was written.
  bool WriteAt(uint64_t offset, const void* data, size_t size);
  bool Truncate(uint64_t size);
  // Flushes what was written to the file down to stable storage (fsync).
  bool Sync();
  // Starts writing length bytes at offset, written before, to the disk and returns without
  // waiting, so that a file written front to back streams to the disk as it grows and the
  // final Sync finds little left (sync_file_range on Linux). Where the system writes dirty
  // pages steadily by itself (Windows' lazy writer) or offers no such call, nothing to do.
  bool StartWriteBack(uint64_t offset, uint64_t length);
  // -1 on an error.
  int64_t Size() const;
  // The size and the time of the last change together: equal stamps mean an unchanged file,
  // as far as the system can tell. False on an error.
  struct Stamp {
    int64_t size = 0;
    int64_t changed = 0;  // in the system's own units
    bool operator==(const Stamp&) const = default;
  };
  bool GetStamp(Stamp& stamp) const;

  enum class LockResult { kLocked, kHeldElsewhere, kFailed };
  // Locks length bytes at offset exclusively, without waiting. Other processes and the other
  // open files of this process see the lock and are refused; a range this File holds already
  // is granted again.
  LockResult LockRange(uint64_t offset, uint64_t length);
  // Releases every range this File has locked.
  bool UnlockRanges();

 private:
  // A descriptor on POSIX, a HANDLE on Windows; -1 is "none" on both.
  using NativeHandle = intptr_t;
  static constexpr NativeHandle kNoHandle = -1;

  NativeHandle handle_ = kNoHandle;
  std::string path_;
  std::vector<std::pair<uint64_t, uint64_t>> locked_;  // offset, length
};

// Test hook, process-wide: when set, consulted before every read and write. It gets the
// path, the offset and the size and returns how many bytes may go through (the full size
// for no fault, less for a short transfer, -1 for an I/O error). A flush to stable storage
// (Sync, SyncFile, SyncDirectory) is asked as a write of no bytes at kFlushOffset; -1 makes
// it fail.
using FileFaultHook = std::function<int64_t(const std::string& path, bool is_write, uint64_t offset, size_t size)>;
void SetFileFaultHook(FileFaultHook hook);
inline constexpr uint64_t kFlushOffset = UINT64_MAX;

// Every kind of operation of this layer and of the file functions of common/platform.h.
enum class FileOperation {
  kOpen, kCreate, kRead, kWrite, kFlush, kTruncate, kRemove, kMakeDirectory, kListDirectory, kLock
};
inline constexpr int kFileOperationKinds = 10;
// The operation's name in a test's figures: "open", "create", "read", ...
const char* FileOperationName(FileOperation operation);

// Test hook, process-wide: when set, asked before every operation of every kind (before the
// hook above); false makes the operation fail with an I/O error.
using FileOperationHook = std::function<bool(FileOperation operation, const std::string& path)>;
void SetFileOperationHook(FileOperationHook hook);

// The last failed operation of this layer and of the file functions of common/platform.h on
// this thread, kept like errno until the next failure or ForgetFileFailure: what was done,
// to which file, and the system's reason (SystemErrorText at the moment of failure).
struct FileFailure {
  FileOperation operation = FileOperation::kOpen;
  std::string path;
  std::string reason;
};
const FileFailure* LastFileFailure();
void ForgetFileFailure();
// The failure for the operator: "Не удалось записать файл /data/base/firm.dbf: Input/output
// error" (Windows-1251).
std::string DescribeFileFailure(const FileFailure& failure);

// Flushes a file that this process wrote, and may have closed since, to stable storage.
// False with errno set when it cannot be opened or flushed.
bool SyncFile(const std::string& path);
// Makes the entries of a directory (files created and deleted in it) durable. A system that
// keeps them durable by itself has nothing to do here and succeeds.
bool SyncDirectory(const std::string& path);

// True when the path names anything (links followed).
inline bool FileExists(const std::string& path) { return KindOfPath(path) != PathKind::kMissing; }

}  // namespace ks
