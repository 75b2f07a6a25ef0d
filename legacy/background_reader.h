#pragma once
// Reads the next window of a file on a thread of its own while its owner works on the
// current one: one read in flight at a time, into a buffer of this object's that is swapped
// with the owner's when taken, so that two windows' worth of memory serve a whole file.
// A read ahead is no read of the owner's until it is taken: the test hooks of the file layer
// are asked then, on the owner's thread, as if the owner read at that moment, and a read
// that failed on the thread is done again there, so that a failure and its cause surface
// where the owner's own read would have met them.

#include <cstddef>
#include <cstdint>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "common/file.h"
#include "common/non_copyable.h"

namespace ks {

class BackgroundReader : NonCopyable {
 public:
  BackgroundReader() = default;
  // Waits for the read in flight and ends the thread.
  ~BackgroundReader() { Release(); }

  // Starts reading size bytes at offset of file, which stays open until the read is taken
  // or dropped; the thread starts with the first read. A read ahead not taken is dropped
  // first.
  void Start(const File& file, uint64_t offset, size_t size);
  bool Pending() const { return file_ != nullptr; }
  // Of the read in flight.
  uint64_t Offset() const { return offset_; }
  size_t Size() const { return size_; }

  // Waits for the read in flight and hands its bytes over in into (resized to Size()): what
  // File::ReadAt of the same bytes returns now, the count read or -1 with the failure
  // recorded for LastFileFailure. The buffer given serves the next read ahead.
  int64_t Take(std::vector<uint8_t>& into);
  // Waits for the read in flight, if any, and forgets it.
  void Drop();
  // Drops the read in flight, ends the thread and frees the buffer.
  void Release();

 private:
  void Serve();

  // The owner's view of the read in flight.
  const File* file_ = nullptr;
  uint64_t offset_ = 0;
  size_t size_ = 0;

  std::thread reader_;
  std::mutex lock_;
  std::condition_variable changed_;
  // Under lock_: a read is asked for (the thread's until it is done), the thread is to end.
  bool asked_ = false;
  bool ending_ = false;
  // The thread's while a read is asked for.
  std::vector<uint8_t> buffer_;
  int64_t got_ = -1;
};

}  // namespace ks
