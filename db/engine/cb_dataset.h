#pragma once
// The dataset whose storage is one dBASE table reached through a TCBTable, under the table
// set (cb_table_set.h) and the memo stream (cb_blob_stream.h); and the listener registry.
// Each record buffer holds the engine's record image untouched; values are converted only
// when a field is read or written, and memo text only when a memo is read or written.
//
// Record buffer (R = record width with the deletion mark, C = calculated-field area,
// F = table fields):
//
//   0              R bytes   record image: deletion mark, then the fields at their Offset
//   R              1         isLocked: 'T', 'F', ' ' (none) or '?' (not probed yet)
//   R+1            C         calculated fields: a has-value byte, then the value, each
//   R+1+C          F+1       changed flags, one per field node, in node order
//   K=R+1+C+F+1    4         bookmark: the record number (-1 at beginning-of-file)
//   K+4            1         bookmark flag
//   K+5            1         spare
//
// Memo texts written to a buffer and not posted yet stay beside it, in the set's memo cache,
// by buffer and BlobIndex: the framework fills and clears buffers as plain bytes, which
// would leak or double-free an owning pointer kept inside them.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "db/engine/cb_table.h"
#include "db/engine/dataset/dataset.h"

namespace ks {

class TCBDataBase;

// One field of the record image (or the virtual isLocked field after the table's fields).
struct TFieldNode {
  int Number = 0;    // 1-based in file order; isLocked has field count + 1
  int Offset = 0;    // position in the record image; the first field is at 1
  std::string Name;  // upper case; "isLocked" in mixed case
  char DbfType = 0;  // C, D, F, I, L, N, M, B, G
  int Length = 0;
  int Decimals = 0;
  Field4* Handle = nullptr;  // none for isLocked
  int BlobIndex = -1;        // 0, 1, 2 ... for B, G, M
};

// The abstract root: a dataset that names its database.
class TCBAllDataSet : public TDataSet {
 public:
  using TDataSet::TDataSet;
  virtual TCBDataBase* DataBaseName() const = 0;
  virtual void SetDataBaseName(TCBDataBase* database) = 0;
};

class TBlobStream;

class TCBDataSet : public TCBAllDataSet {
 public:
  static constexpr const char* kIsLocked = "isLocked";

  explicit TCBDataSet(std::string name = {});
  ~TCBDataSet() override;

  TCBDataBase* DataBaseName() const override { return table_.DataBaseName(); }
  void SetDataBaseName(TCBDataBase* database) override;
  const std::string& TableName() const { return table_.TableName(); }
  void SetTableName(const std::string& name);
  const std::string& IndexName() const { return table_.IndexName(); }
  void SetIndexName(const std::string& name);
  void SetFilter(const std::string& text) override;
  void SetFiltered(bool on) override;
  bool ContraintsEnabled = true;  // stored only

  TCBTable& Table() { return table_; }
  const std::vector<TFieldNode>& Nodes() const { return nodes_; }

  // Copies the changed fields of buffer into the table and posts it there.
  virtual void WriteRecord(char* buffer, bool append);
  virtual int ScrollBy(int count) { return MoveBy(count); }

  // Field definitions of the table, also while closed (read through a temporary table).
  void UpdateFieldDefs();
  // Index definitions: one per tag, in engine order; rebuilt when out of date.
  TIndexDefs& UpdateIndexDefs();
  // The memo of the active buffer as it currently stands (stored form).
  std::string MemoData(const std::string& field_name);

  // Framework entries.
  bool GetFieldData(TField& field, void* buffer) override;
  void SetFieldData(TField& field, const void* buffer) override;
  std::unique_ptr<TStream> CreateBlobStream(TField& field, TBlobStreamMode mode) override;
  int RecordCount() override { return static_cast<int>(table_.RecordCount()); }
  int RecNo() override;
  void SetRecNo(int recno) override;
  bool BookmarkValid(const TBookmark& bookmark) override;
  int CompareBookmarks(const TBookmark& a, const TBookmark& b) override;
  Variant Lookup(const std::string&, const Variant&, const std::string&) override {
    return Variant();  // not supported
  }

 protected:
  void InternalOpen() override;
  void InternalClose() override;
  bool IsCursorOpen() const override { return table_.IsOpen(); }
  int RecordBufferSize() override { return buffer_size_; }
  void FreeRecordBufferData(char* buffer) override;
  TGetResult GetRecord(char* buffer, TGetMode mode) override;
  void InternalFirst() override { table_.First(); }
  void InternalLast() override { table_.Last(); }
  void InternalInitRecord(char* buffer) override;
  void InternalInsert() override;
  void InternalEdit() override;
  void InternalPost() override;
  void InternalCancel() override;
  void InternalDelete() override;
  void InternalRefresh() override { table_.Refresh(); }
  void InternalSetToRecord(char* buffer) override;
  void InternalGotoBookmark(const TBookmark& bookmark) override;
  TBookmark GetBookmarkData(const char* buffer) override;
  void SetBookmarkFlag(char* buffer, TBookmarkFlag flag) override;
  TBookmarkFlag GetBookmarkFlag(const char* buffer) override;
  void ClearCalcFields(char* buffer) override;
  void DoAfterOpen() override;

  // The buffer that field values of the current state live in, or null.
  char* BufferByRule();
  // Moves the table onto the record of buffer unless it already stands there.
  void PositionOn(const char* buffer);
  // Offers the engine's current record to the filter handler, in filter state.
  bool FilterRecord(const std::function<void(TDataSet&, bool&)>& handler);
  void SetChanged(char* buffer, int node_index, bool changed);
  bool Changed(const char* buffer, int node_index) const;
  void ClearChangedFlags(char* buffer);
  // The cached memo text of a buffer, or null when it holds none (an empty memo).
  const std::string* MemoCache(const char* buffer, int blob_index) const;
  void SetMemoCache(const char* buffer, int blob_index, std::string text);
  void ClearMemoCache(const char* buffer, int blob_index);
  int32_t BookmarkOf(const char* buffer) const;
  const TFieldNode& NodeOf(const TField& field) const;

 private:
  friend class TBlobStream;
  void BuildNodes();
  void FieldDefsFrom(TCBTable& table);
  void CheckInactive(const std::string& current, const std::string& value) const;

  TCBTable table_;
  std::vector<TFieldNode> nodes_;
  int memo_count_ = 0;
  long saved_recno_ = 0;
  // Layout of a record buffer.
  int record_width_ = 0, calc_offset_ = 0, flags_offset_ = 0;
  int bookmark_offset_ = 0, buffer_size_ = 0;
  std::vector<char> filter_buffer_;
  std::map<std::pair<const char*, int>, std::string> memo_cache_;
};

// Listeners told when a record they show is deleted or changed. The system registers none.
class IDBCtrs {
 public:
  virtual ~IDBCtrs() = default;
  virtual std::string TablePath() = 0;
  virtual int RecordNumber() = 0;
  virtual void RecordDeleted() = 0;
  virtual void RecordChanged() = 0;
};

// The one process-wide listener registry; it does not own the listeners.
class TCBCtrlsEnv {
 public:
  static TCBCtrlsEnv& Instance();
  void Add(IDBCtrs* listener) { listeners_.push_back(listener); }
  void Remove(IDBCtrs* listener);
  void NotifyDeleted(const std::string& table_path, int recno);
  void NotifyChanged(const std::string& table_path, int recno);

 private:
  TCBCtrlsEnv() = default;
  std::vector<IDBCtrs*> listeners_;
};

}  // namespace ks
