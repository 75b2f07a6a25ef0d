#pragma once
// Where each value of an integer field first occurs in a table (the record's ordinal), for
// lookups by value. Identifiers are mostly numbered densely: then a table addressed by
// the value, four bytes a value in the range; else a sorted array, eight bytes a record.
// Either way far less than a hash node per record, so that memory does not grow with the
// archive as fast as the archive does.

#include <algorithm>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace ks {

class OrdinalIndex {
 public:
  // pairs: (value, ordinal) in ordinal order; the first ordinal of a value wins.
  explicit OrdinalIndex(std::vector<std::pair<int32_t, uint32_t>> pairs) {
    if (pairs.empty()) return;
    int64_t low = pairs.front().first, high = low;
    for (const auto& p : pairs) {
      low = std::min<int64_t>(low, p.first);
      high = std::max<int64_t>(high, p.first);
    }
    if (high - low < int64_t(2 * pairs.size() + 1024)) {
      low_ = low;
      by_value_.assign(size_t(high - low + 1), kNone);
      for (const auto& [value, ordinal] : pairs) {
        uint32_t& slot = by_value_[size_t(value - low)];
        if (slot == kNone) slot = ordinal;
      }
      return;
    }
    std::stable_sort(pairs.begin(), pairs.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    pairs.erase(std::unique(pairs.begin(), pairs.end(), [](const auto& a, const auto& b) { return a.first == b.first; }),
                pairs.end());
    pairs.shrink_to_fit();
    sorted_ = std::move(pairs);
  }

  std::optional<uint32_t> Find(int64_t value) const {
    if (!by_value_.empty()) {
      if (value < low_ || value - low_ >= int64_t(by_value_.size())) return std::nullopt;
      const uint32_t ordinal = by_value_[size_t(value - low_)];
      if (ordinal == kNone) return std::nullopt;
      return ordinal;
    }
    auto it = std::lower_bound(sorted_.begin(), sorted_.end(), value,
                               [](const std::pair<int32_t, uint32_t>& p, int64_t v) { return p.first < v; });
    if (it == sorted_.end() || it->first != value) return std::nullopt;
    return it->second;
  }

 private:
  static constexpr uint32_t kNone = 0xFFFFFFFFu;
  int64_t low_ = 0;
  std::vector<uint32_t> by_value_;                   // dense: ordinal by value - low_
  std::vector<std::pair<int32_t, uint32_t>> sorted_;  // sparse: (value, first ordinal)
};

}  // namespace ks
