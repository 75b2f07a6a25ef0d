#include "xml/field_type.h"

#include <string>

#include "xml/sorted_string_list.h"

namespace ks {

FieldType FieldTypeByName(std::string_view name) {
  static const SortedStringList<FieldType> names = [] {
    SortedStringList<FieldType> list;
    for (int i = 0; i < kFieldTypeCount; ++i) {
      list.Add(std::string(FieldTypeNames[static_cast<size_t>(i)]), static_cast<FieldType>(i));
    }
    return list;
  }();
  const FieldType* found = names.Find(name);
  return found != nullptr ? *found : FieldType::Unknown;
}

}  // namespace ks
