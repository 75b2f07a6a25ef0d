#pragma once
// Write-behind for data that grows at the end of a file (appended records, new memo
// blocks): bytes past `base` are gathered in memory and written in large pieces. Reads
// of that region are served from memory, so every cursor sees the new data at once.
// Every few megabytes written, the system is asked to start writing them to the disk: the
// file streams out as it grows instead of waiting, all of it, for the final flush.

#include <cstdint>
#include <cstring>
#include <vector>

#include "common/file.h"

namespace ks::xbase {

class TailBuffer {
 public:
  static constexpr size_t kLimit = 1 << 20;
  static constexpr uint64_t kWriteBackBytes = 4 << 20;

  void Reset(uint64_t base) {
    base_ = base;
    written_back_ = base;
    data_.clear();
  }
  uint64_t Base() const { return base_; }
  uint64_t End() const { return base_ + data_.size(); }
  bool Empty() const { return data_.empty(); }
  bool Full() const { return data_.size() >= kLimit; }

  void Append(const void* p, size_t n) {
    const char* c = static_cast<const char*>(p);
    data_.insert(data_.end(), c, c + n);
  }
  // Overwrites bytes already in the buffer; false when [offset, offset + n) is not all inside.
  bool Overwrite(uint64_t offset, const void* p, size_t n) {
    if (offset < base_ || offset + n > End()) return false;
    std::memcpy(data_.data() + (offset - base_), p, n);
    return true;
  }
  // Copies what the buffer holds of [offset, offset + n); false when not all inside.
  bool Read(uint64_t offset, void* p, size_t n) const {
    if (offset < base_ || offset + n > End()) return false;
    std::memcpy(p, data_.data() + (offset - base_), n);
    return true;
  }
  // Writes the buffer (and the trailer after it, not kept) to the file; the buffer then
  // starts again at its end. False, with everything kept, when the write failed.
  bool WriteTo(File& file, const void* trailer = nullptr, size_t trailer_len = 0) {
    if (data_.empty() && trailer_len == 0) return true;
    const size_t n = data_.size();
    data_.insert(data_.end(), static_cast<const char*>(trailer), static_cast<const char*>(trailer) + trailer_len);
    const bool ok = file.WriteAt(base_, data_.data(), data_.size());
    data_.resize(n);
    if (!ok) return false;
    base_ += n;
    data_.clear();
    if (base_ - written_back_ >= kWriteBackBytes) {
      if (!file.StartWriteBack(written_back_, base_ - written_back_)) return false;
      written_back_ = base_;
    }
    return true;
  }

 private:
  uint64_t base_ = 0;
  uint64_t written_back_ = 0;  // where the write-back asked for last ended
  std::vector<char> data_;
};

}  // namespace ks::xbase
