#pragma once
// The in-memory form of one index tag: fixed-size entries (key bytes, then the record
// number big-endian) kept in byte order inside a list of small sorted blocks. Comparing
// whole entries with memcmp therefore orders by key, then by record number.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace ks::xbase {

class KeyList {
 public:
  // A position: block and slot. The end position has block == BlockCount().
  struct Pos {
    size_t block = 0;
    size_t slot = 0;
    bool operator==(const Pos&) const = default;
  };

  explicit KeyList(size_t key_len);

  size_t KeyLen() const { return key_len_; }
  size_t EntrySize() const { return key_len_ + 4; }
  size_t Count() const { return count_; }

  // Adds an entry; false when exactly that entry is already there.
  bool Insert(const uint8_t* entry);
  // Removes exactly that entry; false when it is not there.
  bool Erase(const uint8_t* entry);
  // Adds an entry whose place is looked for later: entries gather unsorted and are merged
  // in one pass by Settle (or when many have gathered). Until then positions and counts
  // do not include them, so readers settle first.
  void Add(const uint8_t* entry);
  void Settle();
  bool Settled() const { return pending_.empty(); }
  // Adds an entry known to sort after every present one (bulk loading).
  void PushBack(const uint8_t* entry);
  void Clear();

  // The first entry whose first probe_len bytes are not below probe.
  Pos LowerBound(const uint8_t* probe, size_t probe_len) const;
  Pos Begin() const;
  Pos End() const { return Pos{blocks_.size(), 0}; }
  bool IsEnd(const Pos& pos) const { return pos.block >= blocks_.size(); }
  // The position after / before pos; Prev of Begin gives End.
  Pos Next(Pos pos) const;
  Pos Prev(Pos pos) const;
  Pos Last() const;
  const uint8_t* At(const Pos& pos) const;

  static uint32_t RecNo(const uint8_t* entry, size_t key_len);
  static void PutRecNo(uint8_t* entry, size_t key_len, uint32_t recno);
  // memcmp over n bytes, eight at a time.
  static int Compare(const uint8_t* a, const uint8_t* b, size_t n);
  // The order of count unsorted entries of entry_size bytes at base, each touched once.
  static void SortedOrder(const uint8_t* base, size_t count, size_t entry_size, std::vector<uint32_t>& order);

 private:
  struct Block {
    std::vector<uint8_t> data;
    size_t count = 0;
  };
  static constexpr size_t kBlockEntries = 256;

  // Index of the first block whose last entry is not below probe (compared over probe_len).
  size_t FindBlock(const uint8_t* probe, size_t probe_len) const;
  size_t SlotIn(const Block& block, const uint8_t* probe, size_t probe_len) const;
  const uint8_t* Entry(const Block& b, size_t slot) const { return b.data.data() + slot * EntrySize(); }

  // Settle's last step: the merge of the waiting entries at base, in that order, with the blocks.
  void MergeSorted(const uint8_t* base, size_t waiting, const std::vector<uint32_t>& order);

  // Adds entry at the end of block (its count included).
  void AppendEntry(Block& block, const uint8_t* entry);
  // Copies fence i into place from block i's last entry.
  void SetFence(size_t i);

  size_t key_len_;
  size_t count_ = 0;
  std::vector<std::unique_ptr<Block>> blocks_;
  // The last entry of every block, side by side, so that finding a block touches one
  // contiguous array instead of every block on the way.
  std::vector<uint8_t> fences_;
  std::vector<uint8_t> pending_;  // entries of Add, not yet in the blocks
};

}  // namespace ks::xbase
