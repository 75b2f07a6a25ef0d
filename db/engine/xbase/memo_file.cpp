#include "db/engine/xbase/memo_file.h"

#include <cerrno>

#include "common/byte_order.h"
#include "db/engine/xbase/xbase.h"

namespace ks::xbase {

int MemoFile::Create(const std::string& path, std::unique_ptr<MemoFile>* out) {
  std::unique_ptr<MemoFile> memo(new MemoFile());
  if (!memo->file_.Open(path, File::Mode::kCreate)) return e4create;
  memo->block_size_ = kBlockSize;
  memo->next_free_ = (512 + kBlockSize - 1) / kBlockSize;
  memo->header_dirty_ = true;
  memo->tail_.Reset(uint64_t(memo->next_free_) * kBlockSize);
  if (const int rc = memo->Flush(); rc != 0) return e4create;
  *out = std::move(memo);
  return 0;
}

int MemoFile::ReadHeader(const File& file, uint32_t* next_free, uint32_t* block_size) {
  uint8_t header[8];
  const int64_t got = file.ReadAt(0, header, sizeof header);
  if (got < 0) return e4read;
  if (got < int64_t(sizeof header)) return e4data;
  *next_free = GetBe32(header);
  *block_size = GetBe16(header + 6);
  return *block_size == 0 ? e4data : 0;
}

int MemoFile::Open(const std::string& path, std::unique_ptr<MemoFile>* out) {
  std::unique_ptr<MemoFile> memo(new MemoFile());
  if (!memo->file_.Open(path, File::Mode::kReadWrite)) return errno == ENOENT ? e4fileFind : e4open;
  uint32_t block_size = 0;
  uint32_t next_free = 0;
  if (const int rc = ReadHeader(memo->file_, &next_free, &block_size); rc != 0) return rc;
  const int64_t size = memo->file_.Size();
  if (size < 512) return e4data;
  memo->block_size_ = block_size;
  memo->read_ahead_ = ReadAhead(block_size);  // the next memo starts at the next block
  memo->next_free_ = next_free;
  const uint64_t first = (512 + block_size - 1) / block_size;
  // A next-free pointer inside the header or far past the end would make new memos
  // overwrite the header or leave a hole: take the end of the file instead. The header is
  // put right with the first new memo; opening alone writes nothing.
  const uint64_t by_size = (uint64_t(size) + block_size - 1) / block_size;
  if (memo->next_free_ < first || memo->next_free_ > by_size) memo->next_free_ = uint32_t(std::max(first, by_size));
  memo->tail_.Reset(uint64_t(memo->next_free_) * block_size);
  *out = std::move(memo);
  return 0;
}

int MemoFile::Read(uint32_t block, std::string* text) const {
  text->clear();
  const uint64_t first = (512 + block_size_ - 1) / block_size_;
  if (block < first || block >= next_free_) return e4data;
  const uint64_t offset = uint64_t(block) * block_size_;
  uint8_t header[8];
  if (!tail_.Read(offset, header, 8) && !read_ahead_.ReadExact(file_, offset, header, 8, tail_.Base())) return e4data;
  if (GetBe32(header) > 2) return e4data;
  const uint32_t length = GetBe32(header + 4);
  const uint64_t end = uint64_t(next_free_) * block_size_;
  if (offset + 8 + length > end) return e4data;
  text->resize(length);
  if (length == 0) return 0;
  if (offset + 8 >= tail_.Base()) {
    if (!tail_.Read(offset + 8, text->data(), length)) return e4data;
  } else if (offset + 8 + length <= tail_.Base()) {
    if (!read_ahead_.ReadExact(file_, offset + 8, text->data(), length, tail_.Base())) return e4read;
  } else {
    const size_t on_disk = size_t(tail_.Base() - offset - 8);
    if (!file_.ReadExactAt(offset + 8, text->data(), on_disk)) return e4read;
    if (!tail_.Read(tail_.Base(), text->data() + on_disk, length - on_disk)) return e4data;
  }
  return 0;
}

int MemoFile::Write(std::string_view text, uint32_t* block) {
  if (text.size() > 0xFFFFFFF0u) return e4parm;
  const uint64_t offset = uint64_t(next_free_) * block_size_;
  const uint64_t used = (8 + text.size() + block_size_ - 1) / block_size_;
  if (uint64_t(next_free_) + used > 0xFFFFFFFFu) return e4write;
  uint8_t header[8] = {0, 0, 0, 1, 0, 0, 0, 0};
  PutBe32(header + 4, uint32_t(text.size()));
  if (tail_.End() != offset) return e4data;
  tail_.Append(header, 8);
  tail_.Append(text.data(), text.size());
  static const char zeros[512] = {};
  size_t pad = size_t(used * block_size_ - 8 - text.size());
  while (pad > 0) {
    const size_t n = std::min(pad, sizeof zeros);
    tail_.Append(zeros, n);
    pad -= n;
  }
  *block = next_free_;
  next_free_ += uint32_t(used);
  header_dirty_ = true;
  if (tail_.Full() && !tail_.WriteTo(file_)) return e4write;
  return 0;
}

int MemoFile::Flush() {
  if (!tail_.WriteTo(file_)) return e4write;
  if (!header_dirty_) return 0;
  uint8_t header[512] = {};
  PutBe32(header, next_free_);
  PutBe16(header + 6, uint16_t(block_size_));
  // A new file gets the whole 512-byte header; later only the first 8 bytes change.
  const size_t n = file_.Size() < 512 ? sizeof header : 8;
  if (!file_.WriteAt(0, header, n)) return e4write;
  header_dirty_ = false;
  return 0;
}

}  // namespace ks::xbase
