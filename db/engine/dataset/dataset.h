#pragma once
// A small dataset framework: states, one active record buffer, field objects, events,
// bookmarks and searching. A storage class derives from TDataSet and supplies the hooks of
// the protected section; everything public is what users of a dataset call.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/non_copyable.h"
#include "common/variant.h"
#include "db/engine/dataset/definition_list.h"
#include "db/engine/dataset/field.h"
#include "db/engine/dataset/types.h"

namespace ks {

struct TFieldDef {
  std::string Name;
  TFieldType DataType = ftUnknown;
  int Size = 0;
  bool Required = false;
  int FieldNo = 0;
};

class TFieldDefs : public TDefinitionList<TFieldDef> {
 public:
  TFieldDef& Add(const std::string& name, TFieldType type, int size = 0, bool required = false);
  const TFieldDef* Find(const std::string& name) const;  // case-insensitive
  bool Updated = false;
};

constexpr unsigned ixExpression = 0x40;

struct TIndexDef {
  std::string Name;
  std::string Fields;  // the key expression for expression indexes
  unsigned Options = 0;
};

class TIndexDefs : public TDefinitionList<TIndexDef> {
 public:
  void Add(const std::string& name, const std::string& fields, unsigned options) {
    items_.push_back({name, fields, options});
  }
  bool Updated = false;
};

class TDataSet : NonCopyable {
 public:
  using TDataSetNotifyEvent = std::function<void(TDataSet&)>;
  using TDataSetErrorEvent = std::function<void(TDataSet&, const std::exception&, TDataAction&)>;

  explicit TDataSet(std::string name = {});
  virtual ~TDataSet();

  const std::string& Name() const { return name_; }
  virtual void SetName(const std::string& name) { name_ = name; }

  // State.
  TDataSetState State() const { return state_; }
  bool Active() const { return state_ != dsInactive; }
  void SetActive(bool active) { active ? Open() : Close(); }
  void Open();
  void Close();
  bool Bof() const { return bof_; }
  bool Eof() const { return eof_; }
  bool IsEmpty() const { return !has_record_; }
  bool Modified() const { return modified_; }
  bool Found() const { return found_; }
  bool AutoCalcFields = true;

  // Navigation and changes.
  void First();
  void Last();
  void Next();
  void Prior();
  int MoveBy(int distance);
  void Append();
  void Insert();
  void Edit();
  void Post();
  void Cancel();
  void Delete();
  void Refresh();
  void CheckBrowseMode();  // posts a modified edit, cancels an unmodified one

  // Bookmarks.
  TBookmark GetBookmark();
  void GotoBookmark(const TBookmark& bookmark);
  virtual bool BookmarkValid(const TBookmark& bookmark) { return !bookmark.empty(); }
  virtual int CompareBookmarks(const TBookmark& a, const TBookmark& b);

  // Searching.
  virtual bool Locate(const std::string& key_fields, const Variant& key_values,
                      unsigned options);
  virtual Variant Lookup(const std::string& key_fields, const Variant& key_values,
                         const std::string& result_fields);
  bool FindFirst() { return found_ = FindRecord(true, true); }
  bool FindNext() { return found_ = FindRecord(false, true); }
  bool FindPrior() { return found_ = FindRecord(false, false); }
  bool FindLast() { return found_ = FindRecord(true, false); }

  virtual int RecordCount() { return 0; }
  virtual int RecNo() { return -1; }
  virtual void SetRecNo(int) {}

  // Fields. Declared fields are added before opening; without any, the dataset makes one
  // field per field definition when it opens and frees them when it closes.
  TField* AddField(const std::string& name, TFieldType type, int size = 0,
                   const std::string& display_label = {}, bool visible = true,
                   TFieldKind kind = fkData);
  TField* FindField(const std::string& name) const;  // case-insensitive; null if none
  TField& FieldByName(const std::string& name) const;
  const std::vector<TField*>& Fields() const { return fields_; }
  int FieldCount() const { return static_cast<int>(fields_.size()); }
  bool DefaultFields() const { return default_fields_; }
  TFieldDefs& FieldDefs() { return field_defs_; }
  TIndexDefs& IndexDefs() { return index_defs_; }

  // Filtering.
  const std::string& Filter() const { return filter_; }
  virtual void SetFilter(const std::string& text) { filter_ = text; }
  bool Filtered() const { return filtered_; }
  virtual void SetFiltered(bool on) { filtered_ = on; }

  // Events.
  TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
  TDataSetNotifyEvent BeforeInsert, AfterInsert, BeforeEdit, AfterEdit;
  TDataSetNotifyEvent BeforePost, AfterPost, BeforeCancel, AfterCancel;
  TDataSetNotifyEvent BeforeDelete, AfterDelete, BeforeScroll, AfterScroll;
  TDataSetNotifyEvent OnNewRecord, OnCalcFields;
  TDataSetErrorEvent OnPostError, OnEditError, OnDeleteError;

  // Field value transport, called by the field objects. buffer null: ask / store null.
  virtual bool GetFieldData(TField& field, void* buffer) = 0;
  virtual void SetFieldData(TField& field, const void* buffer) = 0;
  virtual std::unique_ptr<TStream> CreateBlobStream(TField& field, TBlobStreamMode mode) = 0;

 protected:
  // Hooks of the storage class.
  virtual void InternalOpen() = 0;  // opens the cursor, fills FieldDefs, calls BindFields
  virtual void InternalClose() = 0;
  virtual bool IsCursorOpen() const = 0;
  virtual int RecordBufferSize() = 0;  // bytes of one record buffer
  virtual void InitRecordBuffer(char*) {}
  virtual void FreeRecordBufferData(char*) {}
  virtual TGetResult GetRecord(char* buffer, TGetMode mode) = 0;
  virtual void InternalFirst() = 0;
  virtual void InternalLast() = 0;
  virtual void InternalInitRecord(char* buffer) = 0;
  virtual void InternalInsert() {}
  virtual void InternalEdit() {}
  virtual void InternalPost() = 0;
  virtual void InternalCancel() {}
  virtual void InternalDelete() = 0;
  virtual void InternalRefresh() {}
  virtual void InternalSetToRecord(char* buffer) = 0;
  virtual void InternalGotoBookmark(const TBookmark& bookmark) = 0;
  virtual TBookmark GetBookmarkData(const char* buffer) = 0;
  virtual void SetBookmarkFlag(char* buffer, TBookmarkFlag flag) = 0;
  virtual TBookmarkFlag GetBookmarkFlag(const char* buffer) = 0;
  virtual void ClearCalcFields(char*) {}
  virtual bool FindRecord(bool restart, bool forward);
  virtual void DoAfterOpen() { if (AfterOpen) AfterOpen(*this); }
  virtual void DoBeforeScroll() { if (BeforeScroll) BeforeScroll(*this); }
  virtual void DoAfterScroll() { if (AfterScroll) AfterScroll(*this); }
  virtual void DoAfterPost() { if (AfterPost) AfterPost(*this); }
  virtual void DoAfterCancel() { if (AfterCancel) AfterCancel(*this); }

  // Services for the storage class.
  char* ActiveBuffer() { return active_buffer_.empty() ? nullptr : active_buffer_.data(); }
  char* CalcBuffer() { return calc_buffer_; }
  int CalcFieldsSize() const { return calc_fields_size_; }
  void CreateFields();      // default fields from FieldDefs, when none are declared
  void BindFields(bool binding);
  void DestroyDefaultFields();
  void GetCalcFields(char* buffer);
  TDataSetState SetTempState(TDataSetState state);
  void RestoreState(TDataSetState state) { state_ = state; }
  void SetModified(bool modified) { modified_ = modified; }
  void FieldChanged(TField& field);
  void CursorPosChanged() { cursor_changed_ = true; }
  void UpdateCursorPos();
  void Resync();            // re-reads the active buffer at the cursor
  void SetFound(bool found) { found_ = found; }
  void CheckActive() const;
  // Moves the dataset onto the record the cursor now stands on (after a search).
  void ShowCursorRecord();

 private:
  void AllocateBuffers();
  void FreeBuffers();
  void FetchFirstOrLast(bool first);
  // Reads the record of mode into the active buffer and sets Bof and Eof as given; without
  // one the set is empty (both set).
  void Fetch(TGetMode mode, bool bof_when_found, bool eof_when_found);
  void BeginInsert(bool append);
  // After a post, a cancel or a delete: browse mode, the record read again at the cursor.
  void ReturnToBrowse();
  template <typename Op>
  void WithErrorEvent(const TDataSetErrorEvent& event, Op op);

  std::string name_;
  TDataSetState state_ = dsInactive;
  bool bof_ = true, eof_ = true, has_record_ = false;
  bool modified_ = false, found_ = false, cursor_changed_ = false;
  std::string filter_;
  bool filtered_ = false;
  std::vector<char> active_buffer_;
  char* calc_buffer_ = nullptr;
  int calc_fields_size_ = 0;
  bool default_fields_ = false;
  std::vector<TField*> fields_;
  std::vector<std::unique_ptr<TField>> owned_fields_;
  TFieldDefs field_defs_;
  TIndexDefs index_defs_;
};

}  // namespace ks
