#include "db/engine/xbase/key_list.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#include "common/byte_order.h"

namespace ks::xbase {
namespace {

// memcmp for short keys, eight bytes at a time: words read most significant byte first
// compare as their bytes do.
inline int CompareBytes(const uint8_t* a, const uint8_t* b, size_t n) {
  while (n >= 8) {
    const uint64_t x = GetBe64(a), y = GetBe64(b);
    if (x != y) return x < y ? -1 : 1;
    a += 8;
    b += 8;
    n -= 8;
  }
  for (; n > 0; ++a, ++b, --n) {
    if (*a != *b) return *a < *b ? -1 : 1;
  }
  return 0;
}

}  // namespace

KeyList::KeyList(size_t key_len) : key_len_(key_len) {}

int KeyList::Compare(const uint8_t* a, const uint8_t* b, size_t n) { return CompareBytes(a, b, n); }

uint32_t KeyList::RecNo(const uint8_t* entry, size_t key_len) {
  return GetBe32(entry + key_len);
}

void KeyList::PutRecNo(uint8_t* entry, size_t key_len, uint32_t recno) {
  PutBe32(entry + key_len, recno);
}

void KeyList::AppendEntry(Block& block, const uint8_t* entry) {
  // Blocks reserve room for all their entries: growing by hand beats a range insert.
  const size_t at = block.data.size();
  block.data.resize(at + EntrySize());
  std::memcpy(block.data.data() + at, entry, EntrySize());
  ++block.count;
}

void KeyList::SetFence(size_t i) {
  const Block& b = *blocks_[i];
  std::memcpy(fences_.data() + i * EntrySize(), Entry(b, b.count - 1), EntrySize());
}

size_t KeyList::FindBlock(const uint8_t* probe, size_t probe_len) const {
  size_t lo = 0, hi = blocks_.size();
  const size_t size = EntrySize();
  while (lo < hi) {
    const size_t mid = (lo + hi) / 2;
    if (CompareBytes(fences_.data() + mid * size, probe, probe_len) < 0) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return lo;
}

size_t KeyList::SlotIn(const Block& block, const uint8_t* probe, size_t probe_len) const {
  size_t lo = 0, hi = block.count;
  while (lo < hi) {
    const size_t mid = (lo + hi) / 2;
    if (CompareBytes(Entry(block, mid), probe, probe_len) < 0) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return lo;
}

bool KeyList::Insert(const uint8_t* entry) {
  const size_t size = EntrySize();
  if (blocks_.empty()) {
    PushBack(entry);
    return true;
  }
  size_t bi = FindBlock(entry, size);
  if (bi == blocks_.size()) {
    // After every entry: fill the last block, or open a new one (appends in key order
    // then leave full blocks behind instead of half-empty ones).
    Block& last = *blocks_.back();
    if (last.count >= kBlockEntries) {
      PushBack(entry);
      return true;
    }
    bi = blocks_.size() - 1;
  }
  Block* block = blocks_[bi].get();
  // The block is usually cold: ask for all its lines at once rather than one per step
  // of the binary search (the insert moves most of them anyway).
  for (size_t line = 0; line < block->count * size; line += 64) __builtin_prefetch(block->data.data() + line);
  size_t slot = SlotIn(*block, entry, size);
  if (slot < block->count && std::memcmp(Entry(*block, slot), entry, size) == 0) return false;
  if (block->count >= kBlockEntries) {
    // Split in half; the new entry goes to whichever half holds its place.
    auto right = std::make_unique<Block>();
    const size_t keep = block->count / 2;
    right->data.assign(block->data.begin() + keep * size, block->data.begin() + block->count * size);
    right->data.reserve(kBlockEntries * size);
    right->count = block->count - keep;
    block->data.resize(keep * size);
    block->count = keep;
    blocks_.insert(blocks_.begin() + bi + 1, std::move(right));
    fences_.insert(fences_.begin() + (bi + 1) * size, size, 0);
    SetFence(bi);
    SetFence(bi + 1);
    if (slot > keep) {
      slot -= keep;
      ++bi;
      block = blocks_[bi].get();
    }
  }
  block->data.insert(block->data.begin() + slot * size, entry, entry + size);
  ++block->count;
  ++count_;
  if (slot + 1 == block->count) SetFence(bi);
  return true;
}

bool KeyList::Erase(const uint8_t* entry) {
  const size_t size = EntrySize();
  const size_t bi = FindBlock(entry, size);
  if (bi == blocks_.size()) return false;
  Block& block = *blocks_[bi];
  const size_t slot = SlotIn(block, entry, size);
  if (slot >= block.count || std::memcmp(Entry(block, slot), entry, size) != 0) return false;
  block.data.erase(block.data.begin() + slot * size, block.data.begin() + (slot + 1) * size);
  --block.count;
  --count_;
  if (block.count == 0) {
    blocks_.erase(blocks_.begin() + bi);
    fences_.erase(fences_.begin() + bi * size, fences_.begin() + (bi + 1) * size);
  } else if (slot == block.count) {
    SetFence(bi);
  }
  return true;
}

void KeyList::PushBack(const uint8_t* entry) {
  const size_t size = EntrySize();
  if (blocks_.empty() || blocks_.back()->count >= kBlockEntries) {
    auto block = std::make_unique<Block>();
    block->data.reserve(kBlockEntries * size);
    blocks_.push_back(std::move(block));
    fences_.resize(fences_.size() + size);
  }
  AppendEntry(*blocks_.back(), entry);
  ++count_;
  SetFence(blocks_.size() - 1);
}

void KeyList::Add(const uint8_t* entry) {
  pending_.insert(pending_.end(), entry, entry + EntrySize());
  const size_t waiting = pending_.size() / EntrySize();
  if (waiting >= 8192 && waiting >= count_) Settle();  // doubling: each entry is copied a few times at most
}

void KeyList::Settle() {
  const size_t size = EntrySize();
  const size_t waiting = pending_.size() / size;
  if (waiting == 0) return;
  std::vector<uint8_t> pending;
  pending.swap(pending_);
  if (waiting < 64) {
    for (size_t i = 0; i < waiting; ++i) Insert(pending.data() + i * size);
    return;
  }
  const uint8_t* base = pending.data();
  // Newcomers often arrive in order already (keys that grow with the record number, or
  // one key for every record): then there is nothing to sort, and when they also follow
  // every present entry, nothing to merge.
  bool in_order = true;
  for (size_t i = 1; i < waiting && in_order; ++i) in_order = CompareBytes(base + (i - 1) * size, base + i * size, size) < 0;
  if (in_order && (blocks_.empty() || CompareBytes(fences_.data() + (blocks_.size() - 1) * size, base, size) < 0)) {
    for (size_t i = 0; i < waiting; ++i) PushBack(base + i * size);
    return;
  }
  std::vector<uint32_t> order(waiting);
  if (in_order) {
    std::iota(order.begin(), order.end(), 0u);
  } else {
    SortedOrder(base, waiting, size, order);
  }
  MergeSorted(base, waiting, order);
}

void KeyList::SortedOrder(const uint8_t* base, size_t waiting, size_t size, std::vector<uint32_t>& order) {
  order.resize(waiting);
  // Sort small items: the sixteen bytes after the prefix every newcomer shares (blanks of
  // right-aligned numbers, mostly) as two numbers, and the entry's index for ties.
  size_t common = size;
  for (size_t i = 1; i < waiting && common > 0; ++i) {
    size_t n = 0;
    while (n < common && base[n] == base[i * size + n]) ++n;
    common = n;
  }
  struct Item {
    uint64_t high, low;  // sixteen bytes after the shared prefix, as numbers
    uint32_t index;
  };
  std::vector<Item> items(waiting);
  auto word = [&](const uint8_t* entry, size_t at) {
    uint8_t bytes[8] = {};
    if (at < size) std::memcpy(bytes, entry + at, std::min<size_t>(8, size - at));
    return GetBe64(bytes);
  };
  for (size_t i = 0; i < waiting; ++i) {
    const uint8_t* entry = base + i * size;
    items[i] = Item{word(entry, common), word(entry, common + 8), uint32_t(i)};
  }
  const size_t rest = std::min(common + 16, size);
  auto below = [&](const Item& a, const Item& b) {
    if (a.high != b.high) return a.high < b.high;
    if (a.low != b.low) return a.low < b.low;
    return CompareBytes(base + size_t(a.index) * size + rest, base + size_t(b.index) * size + rest, size - rest) < 0;
  };
  // Most of the sixteen bytes are alike in every item (digits of small numbers, the high
  // bytes of record numbers): a stable counting sort on each byte that varies, from the
  // last, beats comparing when only a few vary.
  uint64_t vary_high = 0, vary_low = 0;
  for (const Item& it : items) {
    vary_high |= it.high ^ items[0].high;
    vary_low |= it.low ^ items[0].low;
  }
  std::vector<std::pair<bool, int>> passes;  // (in high, shift), least significant first
  for (int shift = 0; shift < 64; shift += 8) {
    if ((vary_low >> shift) & 0xFF) passes.emplace_back(false, shift);
  }
  for (int shift = 0; shift < 64; shift += 8) {
    if ((vary_high >> shift) & 0xFF) passes.emplace_back(true, shift);
  }
  if (waiting < 1024 || passes.size() > 6) {
    std::sort(items.begin(), items.end(), below);
  } else {
    std::vector<Item> sorted(waiting);
    for (const auto& [in_high, shift] : passes) {
      size_t start[257] = {};
      for (const Item& it : items) ++start[(((in_high ? it.high : it.low) >> shift) & 0xFF) + 1];
      for (int b = 0; b < 256; ++b) start[b + 1] += start[b];
      for (const Item& it : items) sorted[start[((in_high ? it.high : it.low) >> shift) & 0xFF]++] = it;
      items.swap(sorted);
    }
    if (rest < size) {
      // Items alike in all sixteen bytes are told apart by the bytes after them.
      for (size_t i = 0; i < waiting;) {
        size_t j = i + 1;
        while (j < waiting && items[j].high == items[i].high && items[j].low == items[i].low) ++j;
        if (j - i > 1) std::sort(items.begin() + i, items.begin() + j, below);
        i = j;
      }
    }
  }
  for (size_t i = 0; i < waiting; ++i) order[i] = items[i].index;
}

void KeyList::MergeSorted(const uint8_t* base, size_t waiting, const std::vector<uint32_t>& order) {
  const size_t size = EntrySize();
  // Merge the blocks and the sorted newcomers into fresh blocks, filled to leave room
  // for later single inserts.
  constexpr size_t kFill = kBlockEntries * 7 / 8;
  std::vector<std::unique_ptr<Block>> old_blocks;
  old_blocks.swap(blocks_);
  fences_.clear();
  count_ = 0;
  std::vector<uint8_t> previous(size);  // a copy: the old blocks are freed on the way
  bool has_previous = false;
  auto emit = [&](const uint8_t* entry) {
    if (has_previous && CompareBytes(previous.data(), entry, size) == 0) return;  // already there
    if (blocks_.empty() || blocks_.back()->count >= kFill) {
      auto block = std::make_unique<Block>();
      block->data.reserve(kBlockEntries * size);
      blocks_.push_back(std::move(block));
      fences_.resize(fences_.size() + size);
    }
    Block& last = *blocks_.back();
    AppendEntry(last, entry);
    ++count_;
    std::memcpy(previous.data(), entry, size);
    has_previous = true;
  };
  size_t next = 0;
  auto emit_new_below = [&](const uint8_t* limit) {
    while (next < waiting) {
      const uint8_t* e = base + size_t(order[next]) * size;
      if (limit && CompareBytes(e, limit, size) > 0) break;
      emit(e);
      ++next;
    }
  };
  for (auto& block : old_blocks) {
    for (size_t i = 0; i < block->count; ++i) {
      const uint8_t* e = Entry(*block, i);
      emit_new_below(e);
      emit(e);
    }
    block.reset();  // each old block is copied once; free it as soon as it is done
  }
  emit_new_below(nullptr);
  for (size_t i = 0; i < blocks_.size(); ++i) SetFence(i);
}

void KeyList::Clear() {
  pending_.clear();
  blocks_.clear();
  fences_.clear();
  count_ = 0;
}

KeyList::Pos KeyList::LowerBound(const uint8_t* probe, size_t probe_len) const {
  const size_t bi = FindBlock(probe, probe_len);
  if (bi == blocks_.size()) return End();
  return Pos{bi, SlotIn(*blocks_[bi], probe, probe_len)};
}

KeyList::Pos KeyList::Begin() const { return blocks_.empty() ? End() : Pos{0, 0}; }

KeyList::Pos KeyList::Last() const {
  if (blocks_.empty()) return End();
  return Pos{blocks_.size() - 1, blocks_.back()->count - 1};
}

KeyList::Pos KeyList::Next(Pos pos) const {
  if (IsEnd(pos)) return pos;
  if (++pos.slot >= blocks_[pos.block]->count) {
    ++pos.block;
    pos.slot = 0;
  }
  return pos;
}

KeyList::Pos KeyList::Prev(Pos pos) const {
  if (IsEnd(pos)) return Last();
  if (pos.slot > 0) return Pos{pos.block, pos.slot - 1};
  if (pos.block == 0) return End();
  return Pos{pos.block - 1, blocks_[pos.block - 1]->count - 1};
}

const uint8_t* KeyList::At(const Pos& pos) const { return Entry(*blocks_[pos.block], pos.slot); }

}  // namespace ks::xbase
