#pragma once
// Data documents: the rows of one table carried as attributes.
//
//   <table name="COUNTRY">
//    <fields><field name="UID" type="Integer"/><field name="FNAME" type="String"/></fields>
//    <rowdata><row a="1" b="Россия"/>...</rowdata>
//   </table>
//
// The attribute at position i of a row is the value of the field at position i of "fields";
// the attribute names of a row are not used.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "common/variant.h"
#include "xml/field_type.h"
#include "xml/metadata.h"
#include "xml/sorted_string_list.h"
#include "xml/var_list.h"
#include "xml/xml_tag.h"

namespace ks {

class TqrxRow;

// Where a field sits in the rows and what type its values have.
struct TqrxFieldSlot {
  int16_t position = 0;
  ks::FieldType type = ks::FieldType::Unknown;
};

class TqrxTable : public TqrxNode {
 public:
  const std::string& Name() const { return name_; }
  const SortedStringList<TqrxFieldSlot>& FieldIndex() const { return field_index_; }
  TqrxTableDef* TableDef() const { return table_def_; }
  const std::string& PrimaryKey() const { return primary_key_; }
  const std::string& NaturalKey() const { return natural_key_; }
  TqrxNode* RowData() const { return row_data_; }
  TqrxNode* Fields() const { return fields_; }
  // Needs the process-wide metadata: the table's definition is looked up by name.
  void Loaded() override;

 private:
  std::string name_;
  SortedStringList<TqrxFieldSlot> field_index_;
  TqrxTableDef* table_def_ = nullptr;
  std::string primary_key_;
  std::string natural_key_;
  TqrxNode* row_data_ = nullptr;
  TqrxNode* fields_ = nullptr;
};

class TqrxField : public TqrxNode {
 public:
  ks::FieldType FieldType() const { return type_; }
  void Loaded() override;

 private:
  ks::FieldType type_ = ks::FieldType::Unknown;
};

class TqrxRow : public TqrxNode {
 public:
  TqrxRow();

  TqrxTable* Table() const { return table_; }
  const Variant& PrimaryKeyValue() const { return primary_key_value_; }
  const Variant& NaturalKeyValue() const { return natural_key_value_; }
  TksVarList& Vars() { return *vars_; }

  // An attribute text as a value of the given type.
  static Variant CastValue(std::string_view text, ks::FieldType type);
  // The value of the named field of this row.
  Variant GetFieldValue(std::string_view name) const;
  // "A;B;C": an array of the three values; a single name: its value.
  Variant GetFieldValues(std::string_view names) const;

  void Loaded() override;

 private:
  friend class TqrxTable;
  TqrxTable* table_ = nullptr;
  Variant primary_key_value_;
  Variant natural_key_value_;
  std::unique_ptr<TksVarList> vars_;
};

}  // namespace ks
