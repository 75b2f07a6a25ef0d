#pragma once
// The production index of a table: its tags, each an expression, an optional FOR filter
// and the sorted keys in memory (KeyList), with the keys of appended records waiting
// apart in sorted runs (KeyRuns) until a reader needs them. The compact compound file
// (.cdx) is read whole on open and written whole, compactly, on Flush when something
// changed: page by page as the keys and the runs are merged, never as one image.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/file.h"
#include "db/engine/xbase/expression.h"
#include "db/engine/xbase/key_list.h"
#include "db/engine/xbase/key_runs.h"

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
    Settle();
    return keys_;
  }
  const KeyList& Keys() const {
    Settle();
    return keys_;
  }
  // The record number of the first or the last entry in the tag's own order (backwards
  // for a descending tag), found without gathering the appended entries; false when the
  // tag has none. Appending through a dataset asks for the last record every time.
  bool EndRecNo(bool first, uint32_t* recno) const;
  // Appended records' entries wait apart from Keys() until they are read; beyond
  // buffer_bytes they go to sorted runs in a temporary file at path.
  void SpillTo(std::string path, size_t buffer_bytes, std::shared_ptr<std::mutex> one_at_a_time) {
    appended_.SetSpill(std::move(path), buffer_bytes, std::move(one_at_a_time));
  }
  // Calls visit for every entry in order without gathering the appended ones in memory;
  // stops at visit's first non-zero result and returns it, e4read when a run cannot be
  // read back.
  int ForEachEntry(const std::function<int(const uint8_t*)>& visit) const;

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
  // Moves the appended entries into keys_.
  void Settle() const;

  TagDefinition definition_;
  std::unique_ptr<Expression> key_;
  std::unique_ptr<Expression> filter_;
  mutable KeyList keys_;
  mutable KeyRuns appended_;
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

  // Appended keys beyond about bytes of memory (shared by the tags) go to sorted runs in
  // temporary files beside the index until it is written.
  void LimitKeyMemory(size_t bytes);

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
