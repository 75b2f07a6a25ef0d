#pragma once
// A legacy table as the conversion stages use it: a table name inside the legacy directory,
// declared fields with their kinds, a cursor in the table's own order, and values read by
// field name with the legacy reading rules (a blank integer or number reads 0, a blank text
// reads empty, a blank logical false, a blank date day 0 = 30 December 1899).
//
// A declared field that the real table lacks makes Open fail, unless the structure probe
// has marked it absent: then it stays a field that always reads blank.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/date_time.h"
#include "common/non_copyable.h"
#include "legacy/paradox_table.h"

namespace ks {

enum class TLegacyFieldKind { kInteger, kSmallint, kString, kFloat, kBoolean, kDate, kMemo };

struct TLegacyFieldDef {
  std::string name;
  TLegacyFieldKind kind = TLegacyFieldKind::kString;
  int size = 0;  // characters of a text field
};

class TLegacyTable;

class TLegacyField {
 public:
  const std::string& FieldName() const { return name_; }
  // True for a field the probe marked absent: it always reads blank.
  bool Absent() const { return index_ < 0; }
  bool IsNull() const;
  int32_t AsInteger() const;
  std::string AsString() const;
  double AsFloat() const;
  bool AsBoolean() const;
  DateTime AsDateTime() const;

 private:
  friend class TLegacyTable;
  TLegacyField(const TLegacyTable* table, std::string name, int index)
      : table_(table), name_(std::move(name)), index_(index) {}
  const ParadoxTable& Reader() const;

  const TLegacyTable* table_;
  std::string name_;
  int index_;  // in the real table; -1 when absent
};

class TLegacyTable : NonCopyable {
 public:
  explicit TLegacyTable(std::string name = {});
  ~TLegacyTable();

  // The component name (tblDocument), for messages.
  const std::string& Name() const { return name_; }
  // The directory of the alias, with or without a trailing "/".
  void SetDirectory(std::string dir);
  const std::string& Directory() const { return directory_; }
  // The table name without extension ("Document"); set while closed.
  void SetTableName(std::string table_name);
  const std::string& TableName() const { return table_name_; }

  void AddFieldDef(std::string name, TLegacyFieldKind kind, int size = 0);
  const std::vector<TLegacyFieldDef>& FieldDefs() const { return field_defs_; }
  // Makes a declared field read blank instead of being looked for in the real table.
  void SetFieldAbsent(std::string_view name, bool absent);
  bool FieldAbsent(std::string_view name) const;
  // The integer field that FindKey searches (DocumentID of tblDocument).
  void SetKeyField(std::string name) { key_field_ = std::move(name); }

  // Where the table finds the chain of its file when it was walked before, and leaves it
  // when not; null (the default) walks it at every Open.
  void SetChainCache(ParadoxChainCache* chains) { chains_ = chains; }

  // Finds the .DB file (and the .MB beside it) without regard to case and opens them.
  // Throws ks::Exception naming the directory or the table when either is missing, and
  // the table and the file when a file is damaged.
  void Open();
  void Close();
  bool Active() const { return reader_.IsOpen(); }

  void First();
  void Next();
  bool Eof() const;
  int RecordCount() const;
  // True when the open table holds no record.
  bool IsEmpty() const { return RecordCount() == 0; }

  // The field by name, declared or only present in the real table, matched without regard
  // to case. Throws when the table has no such field.
  const TLegacyField& FieldByName(std::string_view name);
  // Whether the open table has a field of that name (the probe's question).
  bool FieldExists(std::string_view name) const;

  // Positions on the record whose key field holds key; false when there is none (the
  // cursor is then at the end).
  bool FindKey(int32_t key);

  // The code page of the open table's texts and how it was decided.
  const ParadoxCodePage& CodePage() const;
  // The fields (their names in the table) whose texts lost characters in the translation
  // from 866, with the number of records affected since the last call.
  std::vector<std::pair<std::string, int64_t>> TakeTextLosses();

 private:
  friend class TLegacyField;
  void RequireActive() const;
  [[noreturn]] void Fail(const std::string& cp1251_message) const;

  std::string name_;
  std::string directory_;
  std::string table_name_;
  std::string key_field_;
  std::vector<TLegacyFieldDef> field_defs_;
  std::vector<std::string> absent_;  // upper-case names
  ParadoxTable reader_;
  ParadoxChainCache* chains_ = nullptr;
  std::vector<std::unique_ptr<TLegacyField>> fields_;  // built at Open and on demand
  size_t lookup_start_ = 0;
};

}  // namespace ks
