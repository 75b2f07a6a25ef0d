#pragma once
// A list of named entries kept sorted by name, compared without regard to case
// (Windows-1251 letters included), that rejects a second entry of the same name. The
// element-class registry, the field-type names, the link and field indexes and the variant
// lists are all of this kind.

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "xml/xml_exceptions.h"

namespace ks {

// <0, 0 or >0 as a is before, equal to or after b, ignoring case.
int CompareText(std::string_view a, std::string_view b);

// The list error for a bad index: "List index out of bounds (5)".
[[noreturn]] void ThrowListIndexError(int index);

template <typename T>
class SortedStringList {
 public:
  int Count() const { return static_cast<int>(items_.size()); }

  // Position of the entry of that name, or -1.
  int IndexOf(std::string_view name) const {
    auto it = LowerBound(name);
    if (it == items_.end() || CompareText(it->first, name) != 0) return -1;
    return static_cast<int>(it - items_.begin());
  }

  T* Find(std::string_view name) {
    int i = IndexOf(name);
    return i < 0 ? nullptr : &items_[i].second;
  }
  const T* Find(std::string_view name) const {
    int i = IndexOf(name);
    return i < 0 ? nullptr : &items_[i].second;
  }

  // Inserts at the sorted position; a name already present is the duplicate error.
  T& Add(std::string name, T value) {
    auto it = LowerBound(name);
    if (it != items_.end() && CompareText(it->first, name) == 0) {
      throw EListError("String list does not allow duplicates");
    }
    return items_.emplace(it, std::move(name), std::move(value))->second;
  }

  const std::string& Name(int index) const { return items_[Checked(index)].first; }
  T& Object(int index) { return items_[Checked(index)].second; }
  const T& Object(int index) const { return items_[Checked(index)].second; }

  void Clear() { items_.clear(); }

 private:
  using Item = std::pair<std::string, T>;

  typename std::vector<Item>::const_iterator LowerBound(std::string_view name) const {
    return std::lower_bound(items_.begin(), items_.end(), name,
                            [](const Item& item, std::string_view key) {
                              return CompareText(item.first, key) < 0;
                            });
  }
  typename std::vector<Item>::iterator LowerBound(std::string_view name) {
    return std::lower_bound(items_.begin(), items_.end(), name,
                            [](const Item& item, std::string_view key) {
                              return CompareText(item.first, key) < 0;
                            });
  }
  size_t Checked(int index) const {
    if (index < 0 || index >= Count()) ThrowListIndexError(index);
    return static_cast<size_t>(index);
  }

  std::vector<Item> items_;
};

}  // namespace ks
