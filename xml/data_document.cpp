#include "xml/data_document.h"

#include <string>
#include <vector>

#include "common/date_time.h"
#include "common/number_text.h"
#include "xml/integer_text.h"
#include "xml/table_lookup.h"
#include "xml/xml_text.h"

namespace ks {
namespace {

int32_t StrToInt(std::string_view text) {
  int32_t value = 0;
  if (!TryParseInteger(text, value)) {
    throw Exception("'" + std::string(text) + "' is not a valid integer value");
  }
  return value;
}

double StrToFloat(std::string_view text) {
  // Trimmed, "." as the decimal point, nothing may follow the number.
  std::string_view t = text;
  while (!t.empty() && static_cast<unsigned char>(t.front()) <= ' ') t.remove_prefix(1);
  while (!t.empty() && static_cast<unsigned char>(t.back()) <= ' ') t.remove_suffix(1);
  double value = 0;
  const bool valid = !t.empty() && t.find_first_not_of("0123456789+-.eE") == std::string_view::npos &&
                     ParseDouble(t, value);
  if (!valid) throw Exception("'" + std::string(text) + "' is not a valid floating point value");
  return value;
}

// "2003-07-15": year from characters 1-4, month from 6-7, day from 9-10.
DateTime StrToDate(std::string_view text) {
  auto part = [&](size_t pos, size_t len) {
    return pos < text.size() ? text.substr(pos, len) : std::string_view();
  };
  const int32_t year = StrToInt(part(0, 4));
  const int32_t month = StrToInt(part(5, 2));
  const int32_t day = StrToInt(part(8, 2));
  DateTime date;
  if (!TryEncodeDate(year, month, day, date)) throw Exception("Invalid argument to date encode");
  return date;
}

}  // namespace

void TqrxTable::Loaded() {
  field_index_.Clear();
  fields_ = FindNode("fields");
  if (fields_ != nullptr) {
    for (int i = 0; i < fields_->ChildCount(); ++i) {
      TqrxNode& field = TagCast<TqrxNode>(&fields_->Child(i));
      field_index_.Add(field.GetAttr("name"),
                       TqrxFieldSlot{static_cast<int16_t>(i), FieldTypeByName(field.GetAttr("type"))});
    }
  }
  name_ = GetAttr("name");
  table_def_ = &FindTableDef(name_);
  primary_key_ = table_def_->GetAttr("primarykey");
  natural_key_ = table_def_->GetAttr("naturalkey");
  row_data_ = &NodeByPath("rowdata");
  for (int i = 0; i < row_data_->ChildCount(); ++i) {
    TqrxRow& row = TagCast<TqrxRow>(&row_data_->Child(i));
    // A composite primary key ("DOCID;ORDERA") gives an array of values, like the natural key.
    if (!primary_key_.empty()) row.primary_key_value_ = row.GetFieldValues(primary_key_);
    if (!natural_key_.empty()) row.natural_key_value_ = row.GetFieldValues(natural_key_);
  }
}

void TqrxField::Loaded() { type_ = FieldTypeByName(GetAttr("type")); }

TqrxRow::TqrxRow() : vars_(std::make_unique<TksVarList>()) {}

void TqrxRow::Loaded() {
  TqrxNode* row_data = Parent();
  table_ = &TagCast<TqrxTable>(row_data != nullptr ? row_data->Parent() : nullptr);
  primary_key_value_ = Variant();
}

Variant TqrxRow::CastValue(std::string_view text, ks::FieldType type) {
  switch (type) {
    case ks::FieldType::String:
    case ks::FieldType::Memo:
    case ks::FieldType::WideString:
      return DecodeEntities(text);
    case ks::FieldType::Smallint:
    case ks::FieldType::Integer:
    case ks::FieldType::Word:
      return IntegerOrZero(text);
    case ks::FieldType::Boolean:
      return !text.empty() && text[0] == '1';
    case ks::FieldType::Float:
    case ks::FieldType::Currency:
    case ks::FieldType::BCD:
      return StrToFloat(text);
    case ks::FieldType::Date:
    case ks::FieldType::DateTime:
      return StrToDate(text);
    default:
      throw Exception("CastValue: unknown field type");
  }
}

Variant TqrxRow::GetFieldValue(std::string_view name) const {
  const TqrxFieldSlot* slot = table_ != nullptr ? table_->FieldIndex().Find(name) : nullptr;
  if (slot == nullptr) {
    throw Exception("GetFieldValues: unknown field name " + std::string(name));
  }
  return CastValue(AttrValue(slot->position), slot->type);
}

Variant TqrxRow::GetFieldValues(std::string_view names) const {
  std::vector<std::string> pieces;
  SplitString(names, pieces, ';');
  if (pieces.size() == 1) return GetFieldValue(pieces[0]);
  Variant::Array values;
  values.reserve(pieces.size());
  for (const std::string& piece : pieces) values.push_back(GetFieldValue(piece));
  return values;
}

}  // namespace ks
