#include "xml/metadata.h"

#include "xml/data_document.h"
#include "xml/integer_text.h"
#include "xml/tag_registry.h"
#include "xml/xml_text.h"

namespace ks {
namespace {

// "1", "10" and "1abc" are true; "", "0", "true" and " 1" are false.
bool FlagAttr(const TqrxTag& tag, std::string_view name) {
  const std::string value = tag.GetAttr(name);
  return !value.empty() && value[0] == '1';
}

}  // namespace

void RegisterMetadataClasses() {
  static const bool registered = [] {
    RegisterTagClass("table", &MakeTagClass<TqrxTable>);
    RegisterTagClass("row", &MakeTagClass<TqrxRow>);
    RegisterTagClass("field", &MakeTagClass<TqrxField>);
    RegisterTagClass("tabledef", &MakeTagClass<TqrxTableDef>);
    RegisterTagClass("tabledefs", &MakeTagClass<TqrxTableDefs>);
    RegisterTagClass("links", &MakeTagClass<TqrxLinks>);
    RegisterTagClass("fielddef", &MakeTagClass<TqrxFieldDef>);
    RegisterTagClass("tagdef", &MakeTagClass<TqrxTagDef>);
    RegisterTagClass("tagdefs", &MakeTagClass<TqrxTagDefs>);
    RegisterTagClass("fielddefs", &MakeTagClass<TqrxFieldDefs>);
    RegisterTagClass("metadata", &MakeTagClass<TqrxMetaData>);
    return true;
  }();
  (void)registered;
}

void TqrxFieldDef::Loaded() {
  type_ = FieldTypeByName(GetAttr("type"));
  size_ = IntegerOrZero(GetAttr("size"));
  name_ = DecodeEntities(GetAttr("name"));
}

void TqrxTagDef::Loaded() {
  name_ = DecodeEntities(GetAttr("name"));
  expression_ = DecodeEntities(GetAttr("expression"));
  filter_ = DecodeEntities(GetAttr("filter"));
  unique_ = FlagAttr(*this, "unique");
  descending_ = FlagAttr(*this, "descending");
}

void TqrxLinks::Loaded() {
  by_field_.Clear();
  for (int i = 0; i < ChildCount(); ++i) {
    TqrxNode& link = TagCast<TqrxNode>(&Child(i));
    by_field_.Add(link.GetAttr("field"), &link);
  }
}

void TqrxTableDef::Loaded() {
  links_ = TagCastOrNull<TqrxLinks>(FindChild("links"));
  name_ = GetAttr("name");
  is_memory_ = GetAttr("type") == "memory";
  field_defs_ = &TagCast<TqrxFieldDefs>(&NodeByPath("fielddefs"));
  tag_defs_ = &TagCast<TqrxTagDefs>(&NodeByPath("tagdefs"));
}

void TqrxMetaData::Loaded() {
  version_ = IntegerOrZero(GetAttr("version"));
  table_defs_ = &TagCast<TqrxTableDefs>(&NodeByPath("tabledefs"));
}

}  // namespace ks
