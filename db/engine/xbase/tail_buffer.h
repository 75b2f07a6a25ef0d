#pragma once
// Write-behind for data that grows at the end of a file (appended records, new memo
// blocks): bytes past Base() are held in memory and written in large pieces. Reads of that
// region are served from memory, so every cursor sees the new data at once.
//
// A full buffer is written on a thread of its own while the next one gathers (at most one
// piece is in flight; the next write awaits it), and every few megabytes written the system
// is asked to start writing them to the disk: the file streams out as it grows instead of
// waiting, all of it, for the final flush. A piece whose write failed is held again, in
// front of what gathered since, and the failure (with its cause, as this thread's last file
// failure) is reported by the next call that writes.

#include <cstdint>
#include <optional>
#include <thread>
#include <vector>

#include "common/file.h"

namespace ks::xbase {

class TailBuffer {
 public:
  static constexpr size_t kLimit = 1 << 20;
  static constexpr uint64_t kWriteBackBytes = 4 << 20;

  TailBuffer() = default;
  // Waits for the piece in flight.
  ~TailBuffer();
  TailBuffer(const TailBuffer&) = delete;
  TailBuffer& operator=(const TailBuffer&) = delete;

  // Nothing held from base on; the piece in flight is awaited (and its failure dropped).
  void Reset(uint64_t base);
  // Where the bytes held in memory begin: everything before is in the file.
  uint64_t Base() const { return in_flight_ ? flight_base_ : base_; }
  uint64_t End() const { return base_ + data_.size(); }
  bool Empty() const { return data_.empty() && !in_flight_; }
  bool Full() const { return data_.size() >= kLimit; }

  void Append(const void* p, size_t n);
  // Overwrites bytes held in memory; false when [offset, offset + n) is not all held (the
  // piece in flight is awaited first, so that the file may be written instead).
  bool Overwrite(uint64_t offset, const void* p, size_t n);
  // Copies what memory holds of [offset, offset + n); false when not all held.
  bool Read(uint64_t offset, void* p, size_t n) const;

  // Hands what gathered, with the trailer after it (written, not kept), to be written on a
  // thread of its own, and gathers on after it. False when an earlier write failed.
  bool WriteBehind(File& file, const void* trailer = nullptr, size_t trailer_len = 0);
  // Writes everything held, with the trailer, and waits for it. False, with everything
  // kept, when a write failed.
  bool WriteTo(File& file, const void* trailer = nullptr, size_t trailer_len = 0);

 private:
  // Waits for the piece in flight; when its write failed, takes its bytes back in front of
  // the gathered ones and keeps the failure for the next write to report.
  void Land();
  // Reports a failure Land kept: false, with it as this thread's last file failure.
  bool ReportFailure();
  // The flight of the piece that ends at end: its write, then the write-back every
  // kWriteBackBytes.
  void Fly(File& file, uint64_t end);

  uint64_t base_ = 0;  // where data_ begins
  std::vector<char> data_;
  std::optional<FileFailure> unreported_;

  // The piece in flight, [flight_base_, base_), followed by its trailer in flight_; the
  // owner only reads it while the thread runs.
  std::thread flight_thread_;
  bool in_flight_ = false;
  uint64_t flight_base_ = 0;
  std::vector<char> flight_;
  uint64_t written_back_ = 0;  // where the write-back asked for last ended (the flight's)
  std::optional<FileFailure> flight_failure_;
};

}  // namespace ks::xbase
