#pragma once
// The thin file layer under the dBASE engine and the Paradox reader: positioned reads and
// writes on a POSIX descriptor, with a fault hook so that tests can make a write fail
// (full disk, short write) or a read come up short without a real broken disk.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

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

  // False with errno set when the file cannot be opened.
  bool Open(const std::string& path, Mode mode);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  int Descriptor() const { return fd_; }
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
  // -1 on an error.
  int64_t Size() const;

 private:
  int fd_ = -1;
  std::string path_;
};

// Test hook, process-wide: when set, consulted before every read and write. It gets the
// path, the offset and the size and returns how many bytes may go through (the full size
// for no fault, less for a short transfer, -1 for an I/O error). A flush to stable storage
// (Sync, SyncFile, SyncDirectory) is asked as a write of no bytes at kFlushOffset; -1 makes
// it fail.
using FileFaultHook = std::function<int64_t(const std::string& path, bool is_write, uint64_t offset, size_t size)>;
void SetFileFaultHook(FileFaultHook hook);
inline constexpr uint64_t kFlushOffset = UINT64_MAX;

// Flushes a file that this process wrote, and may have closed since, to stable storage.
// False with errno set when it cannot be opened or flushed.
bool SyncFile(const std::string& path);
// Makes the entries of a directory (files created and deleted in it) durable. A system that
// keeps them durable by itself has nothing to do here and succeeds.
bool SyncDirectory(const std::string& path);

bool FileExists(const std::string& path);
bool RemoveFile(const std::string& path);

}  // namespace ks
