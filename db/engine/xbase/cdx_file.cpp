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

// Lays out the pages of one B+tree over sorted entries (key, then record number big-endian).
class TreeWriter {
 public:
  TreeWriter(std::vector<uint8_t>& file, size_t key_len, uint8_t pad)
      : file_(file), key_len_(key_len), pad_(pad), bits_(BitsFor(key_len)) {}

  // Appends the tree's pages to the file image and returns the root's offset.
  uint32_t Write(const std::vector<const uint8_t*>& entries) {
    std::vector<Child> level = WriteLeaves(entries);
    while (level.size() > 1) level = WriteInterior(level);
    const uint32_t root = level.front().offset;
    PutLe16(&file_[root], GetLe16(&file_[root]) | 1);  // mark the root
    return root;
  }

 private:
  struct Child {
    uint32_t offset;
    const uint8_t* last;  // the largest entry below
  };
  struct Packed {
    uint32_t recno;
    int dup, trail;
    const uint8_t* key;
  };

  uint32_t NewPage() {
    const uint32_t offset = uint32_t(file_.size());
    file_.resize(file_.size() + kPage, 0);
    return offset;
  }

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
      uint64_t x, y;
      std::memcpy(&x, a + n, 8);
      std::memcpy(&y, b + n, 8);
      if (x != y) return n + __builtin_ctzll(x ^ y) / 8;  // the first differing byte (little-endian load)
      n += 8;
    }
    while (n < limit && a[n] == b[n]) ++n;
    return n;
  }

  void Link(const std::vector<Child>& level) {
    for (size_t i = 0; i < level.size(); ++i) {
      uint8_t* page = &file_[level[i].offset];
      PutLe32(page + 4, i == 0 ? kNone : level[i - 1].offset);
      PutLe32(page + 8, i + 1 == level.size() ? kNone : level[i + 1].offset);
    }
  }

  void EmitLeaf(const std::vector<Packed>& items, uint32_t max_recno, std::vector<Child>& out, const uint8_t* last) {
    const uint32_t offset = NewPage();
    uint8_t* page = &file_[offset];
    const int b = EntryBytes(max_recno, bits_);
    const int rn = 8 * b - 2 * bits_;
    size_t data_end = kPage;
    for (size_t i = 0; i < items.size(); ++i) {
      const Packed& it = items[i];
      const uint64_t v = uint64_t(it.recno) | (uint64_t(it.dup) << rn) | (uint64_t(it.trail) << (rn + bits_));
      for (int k = 0; k < b; ++k) page[24 + i * b + k] = uint8_t(v >> (8 * k));
      const size_t fresh = key_len_ - it.dup - it.trail;
      data_end -= fresh;
      std::memcpy(page + data_end, it.key + it.dup, fresh);
    }
    PutLe16(page + 0, 2);
    PutLe16(page + 2, uint32_t(items.size()));
    PutLe16(page + 12, uint32_t(data_end - 24 - items.size() * b));
    PutLe32(page + 14, rn >= 32 ? 0xFFFFFFFFu : uint32_t((uint64_t(1) << rn) - 1));
    page[18] = uint8_t((1 << bits_) - 1);
    page[19] = uint8_t((1 << bits_) - 1);
    page[20] = uint8_t(rn);
    page[21] = uint8_t(bits_);
    page[22] = uint8_t(bits_);
    page[23] = uint8_t(b);
    out.push_back(Child{offset, last});
  }

  std::vector<Child> WriteLeaves(const std::vector<const uint8_t*>& entries) {
    std::vector<Child> leaves;
    std::vector<Packed> items;
    size_t key_bytes = 0;
    uint32_t max_recno = 0;
    const uint8_t* previous = nullptr;
    int previous_trail = 0;
    const uint8_t* last = nullptr;
    for (const uint8_t* entry : entries) {
      const uint32_t recno = KeyList::RecNo(entry, key_len_);
      const int trail = Trail(entry);
      for (int attempt = 0; attempt < 2; ++attempt) {
        int dup = 0;
        if (previous) {
          const int limit = int(key_len_) - std::max(trail, previous_trail);
          dup = Shared(entry, previous, limit);
        }
        const size_t fresh = key_len_ - dup - trail;
        const uint32_t new_max = std::max(max_recno, recno);
        const size_t b = size_t(EntryBytes(new_max, bits_));
        if (24 + (items.size() + 1) * b + key_bytes + fresh <= kPage) {
          items.push_back(Packed{recno, dup, trail, entry});
          key_bytes += fresh;
          max_recno = new_max;
          break;
        }
        // Full: close this leaf and start the next one with this entry.
        EmitLeaf(items, max_recno, leaves, last);
        items.clear();
        key_bytes = 0;
        max_recno = 0;
        previous = nullptr;
      }
      previous = entry;
      previous_trail = trail;
      last = entry;
    }
    if (!items.empty() || leaves.empty()) EmitLeaf(items, max_recno, leaves, last);
    Link(leaves);
    if (leaves.size() == 1) PutLe16(&file_[leaves[0].offset], 2);
    return leaves;
  }

  std::vector<Child> WriteInterior(const std::vector<Child>& children) {
    const size_t per_node = (kPage - 12) / (key_len_ + 8);
    std::vector<Child> level;
    for (size_t start = 0; start < children.size(); start += per_node) {
      const size_t n = std::min(per_node, children.size() - start);
      const uint32_t offset = NewPage();
      uint8_t* page = &file_[offset];
      PutLe16(page, 0);
      PutLe16(page + 2, uint32_t(n));
      for (size_t i = 0; i < n; ++i) {
        const Child& c = children[start + i];
        uint8_t* e = page + 12 + i * (key_len_ + 8);
        if (c.last) {
          std::memcpy(e, c.last, key_len_ + 4);  // key, then record number big-endian
        } else {
          std::memset(e, pad_, key_len_);
        }
        PutBe32(e + key_len_ + 4, c.offset);
      }
      level.push_back(Child{offset, children[start + n - 1].last});
    }
    Link(level);
    return level;
  }

  std::vector<uint8_t>& file_;
  size_t key_len_;
  uint8_t pad_;
  int bits_;
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
  std::vector<uint8_t> file(3 * kPage, 0);  // directory header and its root leaf
  std::vector<std::pair<std::string, uint32_t>> directory;
  for (auto& tag : tags_) {
    const TagDefinition& definition = tag->Definition();
    std::string filter = definition.filter;
    if (filter.find_first_not_of(' ') == std::string::npos) filter.clear();
    if (definition.expression.size() + filter.size() + 2 > kPage) return e4parm;
    const uint32_t header = uint32_t(file.size());
    file.resize(file.size() + 2 * kPage, 0);
    std::vector<const uint8_t*> entries;
    entries.reserve(tag->Keys().Count());
    const KeyList& keys = tag->Keys();
    for (KeyList::Pos p = keys.Begin(); !keys.IsEnd(p); p = keys.Next(p)) entries.push_back(keys.At(p));
    TreeWriter writer(file, tag->KeyLen(), tag->PadByte());
    const uint32_t root = writer.Write(entries);
    uint8_t options = 0x60;
    if (definition.unique) options |= 0x01;
    if (!filter.empty()) options |= 0x08;
    WriteTagHeader(&file[header], root, tag->KeyLen(), options, definition.descending, definition.expression, filter);
    directory.emplace_back(definition.name, header);
  }
  // The tag directory: names padded to 10, sorted, pointing at the tag headers.
  std::sort(directory.begin(), directory.end());
  std::vector<uint8_t> dir_keys(directory.size() * 14);
  std::vector<const uint8_t*> dir_entries;
  for (size_t i = 0; i < directory.size(); ++i) {
    uint8_t* e = dir_keys.data() + i * 14;
    std::memset(e, ' ', 10);
    std::memcpy(e, directory[i].first.data(), std::min<size_t>(10, directory[i].first.size()));
    KeyList::PutRecNo(e, 10, directory[i].second);
    dir_entries.push_back(e);
  }
  std::vector<uint8_t> dir_tree;
  TreeWriter dir_writer(dir_tree, 10, ' ');
  dir_writer.Write(dir_entries);
  if (dir_tree.size() != kPage) return e4parm;  // more tags than one directory page holds
  std::memcpy(&file[2 * kPage], dir_tree.data(), kPage);
  WriteTagHeader(&file[0], 2 * kPage, 10, 0xE0, false, "", "");
  if (!file_.WriteAt(0, file.data(), file.size()) || !file_.Truncate(file.size())) return e4write;
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
