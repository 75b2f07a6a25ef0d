#pragma once
// Field types: an 8-bit ordinal shared by the metadata and the field definitions of the table
// sets. The names are the texts of the `type` attributes.

#include <array>
#include <cstdint>
#include <string_view>

namespace ks {

enum class FieldType : uint8_t {
  Unknown = 0, String = 1, Smallint = 2, Integer = 3, Word = 4, Boolean = 5, Float = 6,
  Currency = 7, BCD = 8, Date = 9, Time = 10, DateTime = 11, Bytes = 12, VarBytes = 13,
  AutoInc = 14, Blob = 15, Memo = 16, Graphic = 17, FmtMemo = 18, ParadoxOle = 19,
  DBaseOle = 20, TypedBinary = 21, Cursor = 22, FixedChar = 23, WideString = 24,
  Largeint = 25, ADT = 26, Array = 27, Reference = 28, DataSet = 29, OraBlob = 30,
  OraClob = 31, Variant = 32, Interface = 33, IDispatch = 34, Guid = 35,
};

inline constexpr int kFieldTypeCount = 36;

// Indexed by ordinal.
inline constexpr std::array<std::string_view, kFieldTypeCount> FieldTypeNames = {
    "Unknown",  "String",     "Smallint",    "Integer",  "Word",      "Boolean",
    "Float",    "Currency",   "BCD",         "Date",     "Time",      "DateTime",
    "Bytes",    "VarBytes",   "AutoInc",     "Blob",     "Memo",      "Graphic",
    "FmtMemo",  "ParadoxOle", "DBaseOle",    "TypedBinary", "Cursor", "FixedChar",
    "WideString", "Largeint", "ADT",         "Array",    "Reference", "DataSet",
    "OraBlob",  "OraClob",    "Variant",     "Interface", "IDispatch", "Guid",
};

inline std::string_view FieldTypeName(FieldType type) {
  const auto ordinal = static_cast<uint8_t>(type);
  return ordinal < kFieldTypeCount ? FieldTypeNames[ordinal] : std::string_view();
}

// The type of that name, ignoring case; Unknown for any other name, the empty one included.
FieldType FieldTypeByName(std::string_view name);

}  // namespace ks
