#pragma once
// The cursor over one dBASE data file and its production index: open, create and close;
// moves over the accepted records (live, inside the key range, passing the filter); locks,
// edits, appends, posts and deletes; finds by key and by field values.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/non_copyable.h"
#include "common/variant.h"
#include "db/engine/cb_errors.h"
#include "db/engine/dataset/definition_list.h"
#include "db/engine/xbase/xbase.h"

namespace ks {

class TCBTable;
class TCBDataBase;
class TCBEngine;

struct TCBField {
  std::string Name;
  int FieldType = 0;  // a type letter: 'C', 'D', 'I', 'L', 'M', 'N'
  int FieldLength = 0;
  int Decimal = 0;
};

class TCBFieldList : public TDefinitionList<TCBField> {
 public:
  explicit TCBFieldList(TCBTable* owner) : owner_(owner) {}
  void Add(const std::string& name, int field_type, int field_length, int decimal);
  void Assign(const TCBFieldList& other) { items_ = other.items_; }
  TCBTable* Owner() const { return owner_; }

 private:
  TCBTable* owner_;
};

struct TCBTag {
  std::string Name;
  std::string Expr;
  std::string Filter;
  bool Unique = false;
  bool Desc = false;
};

class TCBTagList : public TDefinitionList<TCBTag> {
 public:
  explicit TCBTagList(TCBTable* owner) : owner_(owner) {}
  void Add(const std::string& name, const std::string& expr, const std::string& filter,
           bool unique, bool desc);
  // Copies the other list item by item.
  void Assign(const TCBTagList& other) { items_ = other.items_; }
  TCBTable* Owner() const { return owner_; }

 private:
  TCBTable* owner_;
};

class TLockedRowList {
 public:
  void Add(long recno) { rows_.push_back(recno); }
  void Remove(long recno);  // the first item holding recno
  bool Contains(long recno) const;
  int Count() const { return static_cast<int>(rows_.size()); }
  const std::vector<long>& Rows() const { return rows_; }

 private:
  std::vector<long> rows_;
};

enum class TCBTableState { Inactive, Browse, Edit, Insert };

class TCBTable : NonCopyable {
 public:
  using TNotifyEvent = std::function<void(TCBTable&)>;
  using TErrorEvent = std::function<void(TCBTable&, int& code)>;
  using TCBOnFilterRecord = std::function<void(TCBTable&, bool& accept)>;

  TCBTable();
  ~TCBTable();

  // Properties.
  TCBDataBase* DataBaseName() const { return database_; }
  void SetDataBaseName(TCBDataBase* database);
  const std::string& TableName() const { return table_name_; }
  void SetTableName(const std::string& name) { table_name_ = name; }
  const std::string& IndexName() const { return index_name_; }
  void SetIndexName(const std::string& name);
  const std::string& Filter() const { return filter_; }
  void SetFilter(const std::string& filter);
  bool Filtered() const { return filtered_; }
  void SetFiltered(bool filtered);
  bool Exclusive = false;  // stored only
  bool isRange() const { return is_range_; }
  bool Bof() const { return bof_; }
  bool Eof() const { return eof_; }
  // The current record is locked outside this program.
  bool RecordIsLocked();
  TCBFieldList& FldDefs() { return fld_defs_; }
  TCBTagList& IndDefs() { return ind_defs_; }

  TCBOnFilterRecord CBOnFilterRecord;
  TNotifyEvent BeforeClose;
  TNotifyEvent AfterClose;
  TErrorEvent OnError;

  // Files.
  void Open();
  // Closes the table; raises, after closing, when what the engine still held back could
  // not be written.
  void Close();
  // Writes everything the engine holds back for this table; raises with the cause on failure.
  void Flush();
  void CreateTable();
  void CreateIndex();
  void Refresh();
  bool IsOpen() const { return data_ != nullptr; }

  // Movement over accepted records.
  void First();
  void Last();
  void Next();
  void Prior();
  void GoToRecord(long recno);
  void ClearBof() { bof_ = false; }
  void ClearEof() { eof_ = false; }
  bool IsEmpty() const { return bof_ && eof_; }
  // Forward to the next accepted record, else backward.
  void Resync();
  bool RecordAccepted();
  // -1 before the key range, 0 inside, 1 after.
  int CompareRange();

  // Searching.
  void SetRange(const std::string& start, const std::string& end);
  bool FindKey(const std::string& key);
  // Options: 1 case-insensitive, 2 partial last key, 4 the next match after the current
  // record, 8 the previous match before it.
  bool Locate(const std::string& key_fields, const Variant& key_values, int options);

  // Changes.
  void Edit();
  void Append();
  void Post();
  void Cancel();
  void Delete();
  void RelockRows();

  // Reading.
  long RecordCount() const;
  long RecNo() const;
  int FieldCount() const;
  int FieldType(const std::string& name) const;  // type letter; raises for an unknown name
  std::string GetFieldString(const std::string& name) const;

  Code4* EngineHandle() const;
  Data4* DataHandle() const { return data_; }
  const std::string& FileName() const { return file_name_; }
  TCBTableState TableState() const { return state_; }
  const std::array<int32_t, 4>& Identity() const { return identity_; }
  const TLockedRowList& LockedRows() const { return locked_rows_; }
  // DataPath + TableName made absolute, with the file-name part in lower case.
  std::string BuildFileName() const;

 private:
  enum class FileKind { kTable, kIndex };
  bool OpenDataFile();
  void CheckError(FileKind kind, bool always = false);
  [[noreturn]] void RaiseEngineFailure(int code, const std::string& lead = {});
  // The same, with the engine's error code cleared (the cause goes along).
  [[noreturn]] void RaiseClearedEngineFailure(int code, const std::string& lead = {});
  // ECBOpenFile for a file that cannot be opened or created, with the cause.
  [[noreturn]] void RaiseOpenFailure(int code);
  void CheckBrowse();
  // Posts a pending edit; false when no data file is open.
  bool BrowseOpen();
  // One accepted record forward (direction 1) or back (-1); at the end of the records the
  // cursor stays where it was.
  void Step(int direction);
  void ApplyIndexName(const std::string& name);
  void ApplyFilter();
  void DropExpressions();
  void LoadFieldDefs();
  void LoadTagDefs();
  bool FindAcceptedForward();
  bool FindAcceptedBackward();
  void GoLow(long recno);
  bool HeldByThisProgram(long recno) const;
  int ErrorCode() const;

  TCBDataBase* database_ = nullptr;
  TCBEngine* engine_ = nullptr;
  std::string table_name_;
  std::string index_name_;
  std::string filter_;
  bool filtered_ = false;
  bool is_range_ = false;
  bool bof_ = true, eof_ = true;
  std::string file_name_;
  TCBTableState state_ = TCBTableState::Inactive;
  bool index_applied_ = false;
  bool index_open_ = false;
  Data4* data_ = nullptr;
  Index4* index_ = nullptr;
  Expr4* filter_expr_ = nullptr;
  Expr4* key_expr_ = nullptr;
  uint16_t descending_ = 0;
  std::string range_start_, range_end_;
  TLockedRowList locked_rows_;
  std::array<int32_t, 4> identity_{};
  TCBFieldList fld_defs_{this};
  TCBTagList ind_defs_{this};
};

}  // namespace ks
