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

// An element whose children are all definitions of one kind (fielddefs, tagdefs, tabledefs):
// read by position, or walked in document order.
template <typename Def>
class TqrxDefList : public TqrxNode {
 public:
  class Iterator {
   public:
    Iterator(const TqrxDefList* list, int index) : list_(list), index_(index) {}
    Def& operator*() const { return (*list_)[index_]; }
    Iterator& operator++() {
      ++index_;
      return *this;
    }
    bool operator!=(const Iterator& other) const { return index_ != other.index_; }

   private:
    const TqrxDefList* list_;
    int index_;
  };

  int Count() const { return ChildCount(); }
  Def& operator[](int index) const { return TagCast<Def>(&Child(index)); }
  Iterator begin() const { return Iterator(this, 0); }
  Iterator end() const { return Iterator(this, Count()); }
};

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

// The field definitions of a table, by position; operator[] and range-for also work.
class TqrxFieldDefs final : public TqrxDefList<TqrxFieldDef> {
 public:
  // Child index as a field definition; EqrxTagChildNotFound outside the children, the
  // type-check error for a child of another class.
  TqrxFieldDef& FieldDef(int index) const { return (*this)[index]; }
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

// The index tag definitions of a table, by position; operator[] and range-for also work.
class TqrxTagDefs final : public TqrxDefList<TqrxTagDef> {
 public:
  // Child index as a tag definition; errors as for TqrxFieldDefs::FieldDef.
  TqrxTagDef& TagDef(int index) const { return (*this)[index]; }
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

using TqrxTableDefs = TqrxDefList<TqrxTableDef>;

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
