#pragma once
// The common part of the definition lists (fields, indexes, tags): items kept in the order
// they were added and read by position. Each list adds its own Add and lookups.

#include <vector>

namespace ks {

template <typename Item>
class TDefinitionList {
 public:
  void Clear() { items_.clear(); }
  int Count() const { return static_cast<int>(items_.size()); }
  const Item& operator[](int i) const { return items_[i]; }
  Item& operator[](int i) { return items_[i]; }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 protected:
  std::vector<Item> items_;
};

}  // namespace ks
