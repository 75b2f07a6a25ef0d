#pragma once
// The metadata model: node classes bound to the element names of a metadata document. Each
// reads its attributes into typed fields in Loaded(), once its subtree has been parsed, so
// the rest of the program works with fields instead of attribute texts.
//
//   <metadata version="7">
//    <tabledefs>
//     <tabledef name="COUNTRY" primarykey="UID" naturalkey="FNAME">
//      <fielddefs><fielddef name="UID" type="Integer"/>...</fielddefs>
//      <tagdefs><tagdef name="IPRIMARY" expression="Str(UID&#x2C; 10)" .../>...</tagdefs>
//      <constraints>...</constraints> <links>...</links> <details>...</details>
//     </tabledef>
//    </tabledefs>
//   </metadata>

#include <cstdint>
#include <string>

#include "xml/field_type.h"
#include "xml/sorted_string_list.h"
#include "xml/xml_tag.h"

namespace ks {

// Binds the element names of metadata and data documents to their classes. Runs once;
// later calls do nothing. Must run before a metadata document is parsed.
void RegisterMetadataClasses();

class TqrxFieldDef : public TqrxNode {
 public:
  ks::FieldType FieldType() const { return type_; }
  int32_t Size() const { return size_; }
  const std::string& Name() const { return name_; }
  void Loaded() override;

 private:
  ks::FieldType type_ = ks::FieldType::Unknown;
  int32_t size_ = 0;
  std::string name_;
};

class TqrxFieldDefs : public TqrxNode {
 public:
  int Count() const { return ChildCount(); }
  TqrxFieldDef& FieldDef(int index) const { return TagCast<TqrxFieldDef>(&Child(index)); }
};

class TqrxTagDef : public TqrxNode {
 public:
  const std::string& Name() const { return name_; }
  const std::string& Expression() const { return expression_; }
  // Empty when the tag has no filter.
  const std::string& Filter() const { return filter_; }
  bool Unique() const { return unique_; }
  bool Descending() const { return descending_; }
  void Loaded() override;

 private:
  std::string name_;
  std::string expression_;
  std::string filter_;
  bool unique_ = false;
  bool descending_ = false;
};

class TqrxTagDefs : public TqrxNode {
 public:
  int Count() const { return ChildCount(); }
  TqrxTagDef& TagDef(int index) const { return TagCast<TqrxTagDef>(&Child(index)); }
};

// The links of a table: each child names, by its `field`, the table whose UID that field
// holds. Two links over one field are the duplicate error.
class TqrxLinks : public TqrxNode {
 public:
  const SortedStringList<TqrxNode*>& ByField() const { return by_field_; }
  void Loaded() override;

 private:
  SortedStringList<TqrxNode*> by_field_;
};

class TqrxTableDef : public TqrxNode {
 public:
  // The "links" child, or none.
  TqrxLinks* Links() const { return links_; }
  // The `name` attribute as written.
  const std::string& Name() const { return name_; }
  // A memory table gets no table file.
  bool IsMemory() const { return is_memory_; }
  TqrxFieldDefs& FieldDefs() const { return *field_defs_; }
  TqrxTagDefs& TagDefs() const { return *tag_defs_; }
  void Loaded() override;

 private:
  TqrxLinks* links_ = nullptr;
  std::string name_;
  bool is_memory_ = false;
  TqrxFieldDefs* field_defs_ = nullptr;
  TqrxTagDefs* tag_defs_ = nullptr;
};

class TqrxTableDefs : public TqrxNode {
 public:
  int Count() const { return ChildCount(); }
  TqrxTableDef& TableDef(int index) const { return TagCast<TqrxTableDef>(&Child(index)); }
};

class TqrxMetaData : public TqrxNode {
 public:
  int32_t Version() const { return version_; }
  TqrxTableDefs& TableDefs() const { return *table_defs_; }
  void Loaded() override;

 private:
  int32_t version_ = 0;
  TqrxTableDefs* table_defs_ = nullptr;
};

}  // namespace ks
