#pragma once
// The vocabulary of the `kind` attribute of "constraint" elements in the metadata. Nothing
// in the converter reads constraints; the names document what the schema means by them.

#include <array>
#include <cstdint>
#include <string_view>

namespace ks {

enum class ConstraintKind : uint8_t {
  TableKey = 0,  // a tag of another table over a field holding values of this one
  GoodsKey = 1,  // a field of the goods lines holding values of this table's field
  DocKey = 2,    // a field of a document class holding values of this table's field
  Detail = 3,    // a table whose rows belong to a row of this one, and its tag over the link
};

inline constexpr std::array<std::string_view, 4> ConstraintKindNames = {
    "TableKey", "GoodsKey", "DocKey", "Detail"};

}  // namespace ks
