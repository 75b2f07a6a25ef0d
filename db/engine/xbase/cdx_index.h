#pragma once
// The production index of a table: its tags, each an expression, an optional FOR filter
// and the sorted keys in memory (KeyList). The compact compound file (.cdx) is read
// whole on open and written whole, compactly, on Flush when something changed.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/file.h"
#include "db/engine/xbase/expression.h"
#include "db/engine/xbase/key_list.h"

namespace ks::xbase {

class DbfTable;

struct TagDefinition {
  std::string name;
  std::string expression;
  std::string filter;
  bool unique = false;
  bool descending = false;
};

class Tag {
 public:
  // Null with *error when an expression does not parse or gives no usable key.
  static std::unique_ptr<Tag> Make(const TagDefinition& definition, const std::vector<FieldDef>& fields, std::string* error);

  const TagDefinition& Definition() const { return definition_; }
  const std::string& Name() const { return definition_.name; }
  bool Descending() const { return definition_.descending; }
  char KeyType() const { return key_->Type(); }
  size_t KeyLen() const { return keys_.KeyLen(); }
  size_t EntrySize() const { return keys_.EntrySize(); }
  uint8_t PadByte() const { return key_->Type() == 'C' ? ' ' : 0; }
  // The keys, with every deferred append merged in.
  KeyList& Keys() {
    keys_.Settle();
    return keys_;
  }
  const KeyList& Keys() const {
    keys_.Settle();
    return keys_;
  }

  // The entry (key, record number) of a record image; false when the FOR filter leaves
  // the record out.
  bool MakeEntry(const char* record, uint32_t recno, uint8_t* entry) const;
  // The key of a record image whether or not the filter takes it.
  void MakeKey(const char* record, uint8_t* key) const;
  // The search key for a seek text: characters as given (a prefix of the key), numbers
  // and dates encoded. Empty when the text cannot be read.
  std::string SeekKey(std::string_view text) const;

  // Keeps the keys in step with a record change (old null for an appended record).
  // Returns true when the keys changed.
  bool Update(const char* old_record, const char* new_record, uint32_t recno);

 private:
  Tag(TagDefinition definition, std::unique_ptr<Expression> key, std::unique_ptr<Expression> filter, size_t key_len);
  TagDefinition definition_;
  std::unique_ptr<Expression> key_;
  std::unique_ptr<Expression> filter_;
  mutable KeyList keys_;
};

// 8-byte order-preserving form of a number (and of a date's Julian day number).
void EncodeDouble(double value, uint8_t* out);
double DecodeDouble(const uint8_t* in);

class CompoundIndex {
 public:
  // Builds the index from the table's records and writes the file.
  static int Create(const std::string& path, const std::vector<TagDefinition>& definitions, DbfTable& table,
                    std::unique_ptr<CompoundIndex>* out);
  // Reads an existing file.
  static int Open(const std::string& path, const std::vector<FieldDef>& fields,
                  std::unique_ptr<CompoundIndex>* out);

  const std::string& Path() const { return path_; }
  std::vector<std::unique_ptr<Tag>>& Tags() { return tags_; }
  Tag* Find(std::string_view name);

  void OnChange(const char* old_record, const char* new_record, uint32_t recno);
  // Writes the file when a key changed since the last write.
  int Flush();

 private:
  CompoundIndex() = default;
  int Write();
  int Read(const std::vector<FieldDef>& fields);

  std::string path_;
  File file_;
  std::vector<std::unique_ptr<Tag>> tags_;
  bool dirty_ = false;
};

}  // namespace ks::xbase
