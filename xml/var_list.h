#pragma once
// A list of named values, sorted by name without regard to case; a name occurs once.

#include <memory>
#include <string>
#include <string_view>

#include "common/variant.h"
#include "xml/sorted_string_list.h"

namespace ks {

class TksVarList {
 public:
  int Count() const { return items_.Count(); }
  // Adds a value under a new name; a name already present is the duplicate error.
  Variant& Add(std::string name, Variant value = Variant());
  // The value of that name, or none.
  Variant* Find(std::string_view name);
  void Clear() { items_.Clear(); }

 private:
  SortedStringList<std::unique_ptr<Variant>> items_;
};

}  // namespace ks
