#pragma once
// The identifiers a stage has posted, to tell a repeated one: about four bytes an
// identifier instead of a hash node each, so that the archive's size does not show in
// memory. Identifiers mostly come in increasing order and join the end of a sorted array;
// others gather in a small hash set, merged into the array whenever it fills.

#include <algorithm>
#include <cstdint>
#include <unordered_set>
#include <vector>

namespace ks {

class IdentifierSet {
 public:
  // False when id is there already.
  bool Insert(int32_t id) {
    if (recent_.empty() && (sorted_.empty() || id > sorted_.back())) {
      sorted_.push_back(id);
      return true;
    }
    if (std::binary_search(sorted_.begin(), sorted_.end(), id)) return false;
    if (!recent_.insert(id).second) return false;
    if (recent_.size() >= kRecentLimit) Merge();
    return true;
  }

 private:
  static constexpr size_t kRecentLimit = 1 << 16;

  void Merge() {
    const size_t middle = sorted_.size();
    sorted_.insert(sorted_.end(), recent_.begin(), recent_.end());
    std::sort(sorted_.begin() + middle, sorted_.end());
    std::inplace_merge(sorted_.begin(), sorted_.begin() + middle, sorted_.end());
    recent_.clear();
  }

  std::vector<int32_t> sorted_;
  std::unordered_set<int32_t> recent_;
};

}  // namespace ks
