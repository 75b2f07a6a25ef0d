#pragma once
// The memo file (.fpt): a 512-byte header with the next free block (big-endian) and the
// block size, then memos, each an 8-byte block header (type 1 = text, length, both
// big-endian) and its bytes, padded to whole blocks. New and replaced memos are always
// written to fresh blocks at the end, so no block another record points to is ever
// overwritten.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "common/file.h"
#include "db/engine/xbase/read_ahead.h"
#include "db/engine/xbase/tail_buffer.h"

namespace ks::xbase {

class MemoFile {
 public:
  static constexpr uint32_t kBlockSize = 64;

  // Each returns 0 or an engine error code (e4create, e4fileFind, e4open, e4data, ...).
  static int Create(const std::string& path, std::unique_ptr<MemoFile>* out);
  static int Open(const std::string& path, std::unique_ptr<MemoFile>* out);
  // The next free block and the block size from the header of an open memo file: 0, e4read
  // (the cause in LastFileFailure) or e4data.
  static int ReadHeader(const File& file, uint32_t* next_free, uint32_t* block_size);

  // The memo starting at block; e4data when the pointer or the block header (a type other
  // than picture 0, text 1 or object 2, a length past the last block) is bad.
  int Read(uint32_t block, std::string* text) const;
  // Stores text in new blocks and gives the first block number.
  int Write(std::string_view text, uint32_t* block);
  // Writes buffered memos and the header.
  int Flush();

 private:
  MemoFile() = default;
  File file_;
  uint32_t block_size_ = kBlockSize;
  uint32_t next_free_ = 0;
  bool header_dirty_ = false;
  TailBuffer tail_;
  mutable ReadAhead read_ahead_;  // memos read in the order they were written
};

}  // namespace ks::xbase
