#pragma once
// Read-ahead for a file read front to back (records in record order, memos in the order
// they were written): a read that continues where the last one ended, or a little after it,
// is served from a piece read ahead in one go. Any other read drops the piece and goes to
// the file as it asks, so only a reader walking on sees bytes read a moment earlier. The
// owner drops the piece when the bytes under it may have changed (its own write, a
// refresh, a record lock taken).

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "common/file.h"

namespace ks::xbase {

class ReadAhead {
 public:
  static constexpr size_t kPiece = 64 * 1024;

  // gap: how far past the end of the last read a read may start and still count as the
  // next one (memos are padded to whole blocks).
  explicit ReadAhead(uint64_t gap = 0) : gap_(gap) {}

  // Reads [offset, offset + n) of file; a piece never reaches past limit (the bytes there
  // are not on disk yet). True only when every byte was read.
  bool ReadExact(const File& file, uint64_t offset, void* p, size_t n, uint64_t limit) {
    const bool next = offset >= next_ && offset - next_ <= gap_;
    if (!next) Drop();
    if (offset < base_ || offset + n > base_ + held_) {
      next_ = offset + n;
      if (!next || n > kPiece || offset + n > limit) return file.ReadExactAt(offset, p, n);
      data_.resize(kPiece);
      const int64_t got = file.ReadAt(offset, data_.data(), size_t(std::min<uint64_t>(kPiece, limit - offset)));
      if (got < int64_t(n)) {
        Drop();
        return file.ReadExactAt(offset, p, n);  // fails as the file does
      }
      base_ = offset;
      held_ = size_t(got);
    }
    std::memcpy(p, data_.data() + (offset - base_), n);
    next_ = offset + n;
    return true;
  }

  void Drop() {
    held_ = 0;
    next_ = UINT64_MAX;
  }

 private:
  uint64_t gap_;
  std::vector<char> data_;
  uint64_t base_ = 0;
  size_t held_ = 0;
  uint64_t next_ = UINT64_MAX;  // where the last read ended
};

}  // namespace ks::xbase
