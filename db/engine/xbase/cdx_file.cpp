// The compact compound index file: writing the tags' sorted keys as packed leaf pages
// with interior levels above them, and reading such a file back.

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "common/byte_order.h"
#include "db/engine/xbase/cdx_index.h"
#include "db/engine/xbase/xbase.h"

namespace ks::xbase {
namespace {

constexpr size_t kPage = 512;
constexpr uint32_t kNone = 0xFFFFFFFFu;

int BitsFor(uint64_t value) {
  int bits = 0;
  while (value > 0) {
    ++bits;
    value >>= 1;
  }
  return bits;
}

// Bytes per leaf entry for a largest record number, with dup and trail counts of `bits` each.
int EntryBytes(uint32_t max_recno, int bits) {
  const int need = std::max(1, BitsFor(max_recno));
  for (int b = 1; b <= 8; ++b) {
    if (8 * b - 2 * bits >= need) return b;
  }
  return 8;
}

// The pages of the file, written in order of their offsets through a buffer of a quarter
// MiB, so that no image of the whole file is held in memory. Bytes already written can
// still be changed (a sibling link, a tag header once its tree is done). Without a file
// everything stays in the buffer.
class PageWriter {
 public:
  PageWriter(File* file, uint32_t start) : file_(file), base_(start) {}

  uint32_t End() const { return uint32_t(base_ + buffer_.size()); }
  const std::vector<uint8_t>& Buffered() const { return buffer_; }

  // Zero bytes at the end; returns their offset.
  uint32_t Reserve(size_t n) {
    if (file_ && buffer_.size() >= kFlushBytes) Flush();
    const uint32_t offset = End();
    buffer_.resize(buffer_.size() + n, 0);
    return offset;
  }
  void Patch(uint32_t offset, const void* data, size_t n) {
    if (offset >= base_) {
      std::memcpy(buffer_.data() + (offset - base_), data, n);
    } else if (!file_->WriteAt(offset, data, n)) {
      failed_ = true;
    }
  }
  // Writes what is buffered; false when any write failed.
  bool Flush() {
    if (file_ && !buffer_.empty()) {
      if (!file_->WriteAt(base_, buffer_.data(), buffer_.size())) failed_ = true;
      base_ += uint32_t(buffer_.size());
      buffer_.clear();
    }
    return !failed_;
  }

 private:
  static constexpr size_t kFlushBytes = 256 << 10;
  File* file_;
  uint64_t base_;
  std::vector<uint8_t> buffer_;
  bool failed_ = false;
};

// Lays out the pages of one B+tree over entries (key, then record number big-endian) that
// arrive in order: packed leaves as they fill, then the interior levels above them.
class TreeWriter {
 public:
  TreeWriter(PageWriter& out, size_t key_len, uint8_t pad)
      : out_(out), key_len_(key_len), pad_(pad), bits_(BitsFor(key_len)), previous_(key_len + 4) {}

  void Add(const uint8_t* entry) {
    const uint32_t recno = KeyList::RecNo(entry, key_len_);
    const int trail = Trail(entry);
    for (int attempt = 0; attempt < 2; ++attempt) {
      int dup = 0;
      if (has_previous_) {
        const int limit = int(key_len_) - std::max(trail, previous_trail_);
        dup = Shared(entry, previous_.data(), limit);
      }
      const size_t fresh = key_len_ - dup - trail;
      const uint32_t new_max = std::max(max_recno_, recno);
      const size_t b = size_t(EntryBytes(new_max, bits_));
      if (24 + (items_.size() + 1) * b + key_bytes_ + fresh <= kPage) {
        // Key bytes fill the page from its end; the packed numbers are laid out last,
        // when the width they need is known.
        std::memcpy(leaf_ + kPage - key_bytes_ - fresh, entry + dup, fresh);
        items_.push_back(Packed{recno, dup, trail});
        key_bytes_ += fresh;
        max_recno_ = new_max;
        break;
      }
      // Full: close this leaf and start the next one with this entry.
      EmitLeaf();
    }
    std::memcpy(previous_.data(), entry, key_len_ + 4);
    has_previous_ = true;
    previous_trail_ = trail;
  }

  // Writes the last leaf and the levels above; returns the root's offset.
  uint32_t Finish() {
    if (!items_.empty() || leaves_.offsets.empty()) EmitLeaf();
    Level level = std::move(leaves_);
    while (level.offsets.size() > 1) level = WriteInterior(level);
    const uint32_t root = level.offsets.front();
    uint8_t attr[2];
    PutLe16(attr, level.leaf ? 3 : 1);  // the root mark
    out_.Patch(root, attr, 2);
    return root;
  }

 private:
  // The pages of one level: their offsets and the largest entry below each.
  struct Level {
    bool leaf = true;
    std::vector<uint32_t> offsets;
    std::vector<uint8_t> lasts;  // key_len + 4 bytes per page
    void Add(uint32_t offset, const uint8_t* last, size_t size, uint8_t pad) {
      offsets.push_back(offset);
      const size_t at = lasts.size();
      lasts.resize(at + size);
      if (last) {
        std::memcpy(&lasts[at], last, size);
      } else {
        std::memset(&lasts[at], pad, size - 4);  // an empty leaf: blank key, record 0
        std::memset(&lasts[at + size - 4], 0, 4);
      }
    }
  };
  struct Packed {
    uint32_t recno;
    int dup, trail;
  };

  // Trailing pad bytes of a key; keys are long and mostly padding, so eight at a time.
  int Trail(const uint8_t* key) const {
    size_t n = 0;
    const uint64_t pads = 0x0101010101010101ull * pad_;
    while (n + 8 <= key_len_) {
      uint64_t word;
      std::memcpy(&word, key + key_len_ - n - 8, 8);
      if (word != pads) break;
      n += 8;
    }
    while (n < key_len_ && key[key_len_ - 1 - n] == pad_) ++n;
    return int(n);
  }

  // Leading bytes two keys share, at most limit.
  static int Shared(const uint8_t* a, const uint8_t* b, int limit) {
    int n = 0;
    while (n + 8 <= limit) {
      const uint64_t x = GetLe64(a + n), y = GetLe64(b + n);
      if (x != y) return n + __builtin_ctzll(x ^ y) / 8;  // the lowest differing byte comes first
      n += 8;
    }
    while (n < limit && a[n] == b[n]) ++n;
    return n;
  }

  // Writes a page of a level, linked to the page before it; its right link is filled in
  // when the next page of the level comes.
  uint32_t WritePage(uint8_t* page, std::vector<uint32_t>& level) {
    const uint32_t offset = out_.Reserve(kPage);
    PutLe32(page + 4, level.empty() ? kNone : level.back());
    PutLe32(page + 8, kNone);
    if (!level.empty()) {
      uint8_t right[4];
      PutLe32(right, offset);
      out_.Patch(level.back() + 8, right, 4);
    }
    out_.Patch(offset, page, kPage);
    return offset;
  }

  void EmitLeaf() {
    uint8_t* page = leaf_;
    const int b = EntryBytes(max_recno_, bits_);
    const int rn = 8 * b - 2 * bits_;
    for (size_t i = 0; i < items_.size(); ++i) {
      const Packed& it = items_[i];
      const uint64_t v = uint64_t(it.recno) | (uint64_t(it.dup) << rn) | (uint64_t(it.trail) << (rn + bits_));
      for (int k = 0; k < b; ++k) page[24 + i * b + k] = uint8_t(v >> (8 * k));
    }
    const size_t data_end = kPage - key_bytes_;
    PutLe16(page + 0, 2);
    PutLe16(page + 2, uint32_t(items_.size()));
    PutLe16(page + 12, uint32_t(data_end - 24 - items_.size() * b));
    PutLe32(page + 14, rn >= 32 ? 0xFFFFFFFFu : uint32_t((uint64_t(1) << rn) - 1));
    page[18] = uint8_t((1 << bits_) - 1);
    page[19] = uint8_t((1 << bits_) - 1);
    page[20] = uint8_t(rn);
    page[21] = uint8_t(bits_);
    page[22] = uint8_t(bits_);
    page[23] = uint8_t(b);
    const uint32_t offset = WritePage(page, leaves_.offsets);
    leaves_.Add(offset, has_previous_ ? previous_.data() : nullptr, key_len_ + 4, pad_);
    std::memset(leaf_, 0, kPage);
    items_.clear();
    key_bytes_ = 0;
    max_recno_ = 0;
    has_previous_ = false;
  }

  Level WriteInterior(const Level& children) {
    const size_t size = key_len_ + 8;
    const size_t per_node = (kPage - 12) / size;
    Level level;
    level.leaf = false;
    const size_t count = children.offsets.size();
    for (size_t start = 0; start < count; start += per_node) {
      const size_t n = std::min(per_node, count - start);
      uint8_t page[kPage] = {};
      PutLe16(page, 0);
      PutLe16(page + 2, uint32_t(n));
      for (size_t i = 0; i < n; ++i) {
        uint8_t* e = page + 12 + i * size;
        std::memcpy(e, &children.lasts[(start + i) * (key_len_ + 4)], key_len_ + 4);  // key, record number BE
        PutBe32(e + key_len_ + 4, children.offsets[start + i]);
      }
      const uint32_t offset = WritePage(page, level.offsets);
      level.offsets.push_back(offset);
      const size_t at = level.lasts.size();
      level.lasts.resize(at + key_len_ + 4);
      std::memcpy(&level.lasts[at], &children.lasts[(start + n - 1) * (key_len_ + 4)], key_len_ + 4);
    }
    return level;
  }

  PageWriter& out_;
  size_t key_len_;
  uint8_t pad_;
  int bits_;
  Level leaves_;
  // The leaf being filled.
  uint8_t leaf_[kPage] = {};
  std::vector<Packed> items_;
  size_t key_bytes_ = 0;
  uint32_t max_recno_ = 0;
  std::vector<uint8_t> previous_;  // the entry added last
  bool has_previous_ = false;
  int previous_trail_ = 0;
};

// A tag header: 1024 bytes with the expressions in the pool at 512.
void WriteTagHeader(uint8_t* h, uint32_t root, size_t key_len, uint8_t options, bool descending,
                    const std::string& expression, const std::string& filter) {
  PutLe32(h, root);
  PutLe32(h + 4, 0);
  PutLe16(h + 12, uint32_t(key_len));
  h[14] = options;
  h[15] = 1;
  PutLe16(h + 502, descending ? 1 : 0);
  PutLe16(h + 504, uint32_t(expression.size() + 1));
  PutLe16(h + 506, uint32_t(filter.size() + 1));
  PutLe16(h + 508, 0);
  PutLe16(h + 510, uint32_t(expression.size() + 1));
  std::memcpy(h + 512, expression.data(), expression.size());
  std::memcpy(h + 512 + expression.size() + 1, filter.data(), filter.size());
}

}  // namespace

int CompoundIndex::Write() {
  PageWriter out(&file_, 0);
  out.Reserve(3 * kPage);  // directory header and its root leaf, filled in last
  std::vector<std::pair<std::string, uint32_t>> directory;
  for (auto& tag : tags_) {
    const TagDefinition& definition = tag->Definition();
    std::string filter = definition.filter;
    if (filter.find_first_not_of(' ') == std::string::npos) filter.clear();
    if (definition.expression.size() + filter.size() + 2 > kPage) return e4parm;
    const uint32_t header = out.Reserve(2 * kPage);
    TreeWriter writer(out, tag->KeyLen(), tag->PadByte());
    if (const int rc = tag->ForEachEntry([&](const uint8_t* entry) {
          writer.Add(entry);
          return 0;
        });
        rc != 0) {
      return rc;
    }
    const uint32_t root = writer.Finish();
    uint8_t options = 0x60;
    if (definition.unique) options |= 0x01;
    if (!filter.empty()) options |= 0x08;
    uint8_t h[2 * kPage] = {};
    WriteTagHeader(h, root, tag->KeyLen(), options, definition.descending, definition.expression, filter);
    out.Patch(header, h, sizeof h);
    directory.emplace_back(definition.name, header);
  }
  // The tag directory: names padded to 10, sorted, pointing at the tag headers.
  std::sort(directory.begin(), directory.end());
  PageWriter dir_out(nullptr, 0);
  TreeWriter dir_writer(dir_out, 10, ' ');
  for (const auto& [name, header] : directory) {
    uint8_t e[14];
    std::memset(e, ' ', 10);
    std::memcpy(e, name.data(), std::min<size_t>(10, name.size()));
    KeyList::PutRecNo(e, 10, header);
    dir_writer.Add(e);
  }
  dir_writer.Finish();
  if (dir_out.Buffered().size() != kPage) return e4parm;  // more tags than one directory page holds
  out.Patch(2 * kPage, dir_out.Buffered().data(), kPage);
  uint8_t h[2 * kPage] = {};
  WriteTagHeader(h, 2 * kPage, 10, 0xE0, false, "", "");
  out.Patch(0, h, sizeof h);
  const uint32_t end = out.End();
  if (!out.Flush() || !file_.Truncate(end)) return e4write;
  dirty_ = false;
  return 0;
}

namespace {

// Reads every entry of a tree, in order, with all bounds checked.
class TreeReader {
 public:
  TreeReader(const std::vector<uint8_t>& file, size_t key_len, uint8_t pad)
      : file_(file), key_len_(key_len), pad_(pad), budget_(file.size() / kPage + 1) {}

  // Entries are appended as key + record number big-endian. 0 or e4data.
  int Read(uint32_t root, std::vector<uint8_t>* out) { return Visit(root, 0, out); }

 private:
  int Visit(uint32_t offset, int depth, std::vector<uint8_t>* out) {
    if (depth > 32 || budget_ == 0) return e4data;
    --budget_;
    if (offset % kPage != 0 || uint64_t(offset) + kPage > file_.size() || offset < 2 * kPage) return e4data;
    const uint8_t* page = file_.data() + offset;
    const uint32_t attr = GetLe16(page);
    const uint32_t count = GetLe16(page + 2);
    if (attr & 2) return Leaf(page, count, out);
    const size_t size = key_len_ + 8;
    if (12 + count * size > kPage) return e4data;
    for (uint32_t i = 0; i < count; ++i) {
      if (const int rc = Visit(GetBe32(page + 12 + i * size + key_len_ + 4), depth + 1, out); rc != 0) return rc;
    }
    return 0;
  }

  int Leaf(const uint8_t* page, uint32_t count, std::vector<uint8_t>* out) {
    const int rn = page[20], dc = page[21], tc = page[22], b = page[23];
    if (b < 1 || b > 8 || rn + dc + tc != 8 * b || rn < 1 || rn > 32 || dc > 16 || tc > 16) return e4data;
    if (24 + size_t(count) * b > kPage) return e4data;
    std::vector<uint8_t> key(key_len_, pad_);
    size_t data_pos = kPage;
    const size_t floor = 24 + size_t(count) * b;
    for (uint32_t i = 0; i < count; ++i) {
      uint64_t v = 0;
      for (int k = b - 1; k >= 0; --k) v = (v << 8) | page[24 + i * b + k];
      const uint32_t recno = uint32_t(v & ((uint64_t(1) << rn) - 1));
      const size_t dup = size_t((v >> rn) & ((uint64_t(1) << dc) - 1));
      const size_t trail = size_t((v >> (rn + dc)) & ((uint64_t(1) << tc) - 1));
      if (dup + trail > key_len_ || (i == 0 && dup > 0)) return e4data;
      const size_t fresh = key_len_ - dup - trail;
      if (data_pos < floor + fresh) return e4data;
      data_pos -= fresh;
      std::memcpy(key.data() + dup, page + data_pos, fresh);
      std::memset(key.data() + key_len_ - trail, pad_, trail);
      out->insert(out->end(), key.begin(), key.end());
      uint8_t r[4];
      PutBe32(r, recno);
      out->insert(out->end(), r, r + 4);
    }
    return 0;
  }

  const std::vector<uint8_t>& file_;
  size_t key_len_;
  uint8_t pad_;
  size_t budget_;
};

std::string PoolText(const uint8_t* header, uint32_t start, uint32_t len) {
  if (len == 0 || start >= 512) return {};
  const uint32_t end = std::min<uint32_t>(512, start + len);
  const char* p = reinterpret_cast<const char*>(header + 512 + start);
  return std::string(p, strnlen(p, end - start));
}

}  // namespace

int CompoundIndex::Read(const std::vector<FieldDef>& fields) {
  const int64_t size = file_.Size();
  if (size < int64_t(3 * kPage) || size > (int64_t(1) << 32)) return e4data;
  std::vector<uint8_t> file(static_cast<size_t>(size));
  if (!file_.ReadExactAt(0, file.data(), file.size())) return e4read;

  std::vector<uint8_t> dir;
  if (GetLe16(&file[12]) != 10) return e4data;
  if (const int rc = TreeReader(file, 10, ' ').Read(GetLe32(&file[0]), &dir); rc != 0) return rc;
  std::vector<std::pair<uint32_t, std::string>> found;  // header offset, name
  for (size_t i = 0; i + 14 <= dir.size(); i += 14) {
    std::string name(reinterpret_cast<const char*>(&dir[i]), 10);
    name.erase(name.find_last_not_of(std::string(" \0", 2)) + 1);
    found.emplace_back(KeyList::RecNo(&dir[i], 10), name);
  }
  std::sort(found.begin(), found.end());  // creation order
  for (const auto& [offset, name] : found) {
    if (offset % kPage != 0 || uint64_t(offset) + 2 * kPage > file.size() || offset < 3 * kPage) return e4data;
    const uint8_t* h = &file[offset];
    TagDefinition definition;
    definition.name = name;
    definition.expression = PoolText(h, GetLe16(h + 508), GetLe16(h + 510));
    if (h[14] & 0x08) definition.filter = PoolText(h, GetLe16(h + 504), GetLe16(h + 506));
    definition.unique = (h[14] & 0x01) != 0;
    definition.descending = GetLe16(h + 502) != 0;
    std::string error;
    auto tag = Tag::Make(definition, fields, &error);
    if (!tag || Find(name) || tag->KeyLen() != GetLe16(h + 12)) return e4data;
    std::vector<uint8_t> entries;
    if (const int rc = TreeReader(file, tag->KeyLen(), tag->PadByte()).Read(GetLe32(h), &entries); rc != 0) return rc;
    const size_t entry_size = tag->Keys().EntrySize();
    bool sorted = true;
    for (size_t i = entry_size; i < entries.size() && sorted; i += entry_size) {
      sorted = std::memcmp(&entries[i - entry_size], &entries[i], entry_size) < 0;
    }
    for (size_t i = 0; i < entries.size(); i += entry_size) {
      if (sorted) {
        tag->Keys().PushBack(&entries[i]);
      } else {
        tag->Keys().Insert(&entries[i]);
      }
    }
    tags_.push_back(std::move(tag));
  }
  dirty_ = false;
  return 0;
}

}  // namespace ks::xbase
