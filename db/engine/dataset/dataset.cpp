#include "db/engine/dataset/dataset.h"

#include <algorithm>
#include <cstring>

#include "common/codepage.h"

namespace ks {

namespace {

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i] && UpperCp1251(a[i]) != UpperCp1251(b[i])) return false;
  }
  return true;
}

}  // namespace

TFieldDef& TFieldDefs::Add(const std::string& name, TFieldType type, int size, bool required) {
  TFieldDef def;
  def.Name = name;
  def.DataType = type;
  def.Size = size;
  def.Required = required;
  def.FieldNo = Count() + 1;
  items_.push_back(def);
  return items_.back();
}

const TFieldDef* TFieldDefs::Find(const std::string& name) const {
  for (const TFieldDef& def : items_) {
    if (SameName(def.Name, name)) return &def;
  }
  return nullptr;
}

TDataSet::TDataSet(std::string name) : name_(std::move(name)) {}

TDataSet::~TDataSet() {
  // The storage class closes in its own destructor; here only the field objects go.
  for (TField* field : fields_) field->dataset_ = nullptr;
}

void TDataSet::CheckActive() const {
  if (!Active()) throw EDatabaseError(name_ + ": Cannot perform this operation on a closed dataset");
}

// --- fields -----------------------------------------------------------------------------

TField* TDataSet::AddField(const std::string& name, TFieldType type, int size,
                           const std::string& display_label, bool visible, TFieldKind kind) {
  if (Active()) throw EDatabaseError(name_ + ": Cannot add fields to an open dataset");
  if (FindField(name) != nullptr) throw EDatabaseError("Duplicate field name '" + name + "'");
  if (default_fields_) DestroyDefaultFields();
  std::unique_ptr<TField> field = CreateFieldOfType(type);
  field->SetFieldName(name);
  if (size > 0 || type == ftString) field->SetSize(size);
  field->SetDisplayLabel(display_label);
  field->SetVisible(visible);
  field->SetFieldKind(kind);
  field->dataset_ = this;
  TField* result = field.get();
  owned_fields_.push_back(std::move(field));
  fields_.push_back(result);
  return result;
}

TField* TDataSet::FindField(const std::string& name) const {
  for (TField* field : fields_) {  // the usual case first: the name as declared
    if (field->FieldName() == name) return field;
  }
  for (TField* field : fields_) {
    if (SameName(field->FieldName(), name)) return field;
  }
  return nullptr;
}

TField& TDataSet::FieldByName(const std::string& name) const {
  TField* field = FindField(name);
  if (field == nullptr) throw EDatabaseError(name_ + ": Field '" + name + "' not found");
  return *field;
}

void TDataSet::CreateFields() {
  for (const TFieldDef& def : field_defs_) {
    std::unique_ptr<TField> field = CreateFieldOfType(def.DataType);
    field->SetFieldName(def.Name);
    field->SetSize(def.Size);
    field->SetRequired(def.Required);
    field->dataset_ = this;
    fields_.push_back(field.get());
    owned_fields_.push_back(std::move(field));
  }
  default_fields_ = true;
}

void TDataSet::DestroyDefaultFields() {
  if (!default_fields_) return;
  fields_.clear();
  owned_fields_.clear();
  default_fields_ = false;
}

void TDataSet::BindFields(bool binding) {
  calc_fields_size_ = 0;
  for (TField* field : fields_) {
    if (!binding) {
      if (!field->Calculated()) field->field_no_ = 0;
      continue;
    }
    if (field->Calculated()) {
      field->field_no_ = -1;
      field->offset_ = calc_fields_size_;
      calc_fields_size_ += 1 + field->DataSize();
      continue;
    }
    const TFieldDef* def = field_defs_.Find(field->FieldName());
    if (def == nullptr)
      throw EDatabaseError(name_ + ": Field '" + field->FieldName() + "' not found");
    const bool compatible =
        def->DataType == field->DataType() ||
        (def->DataType == ftMemo && field->DataType() == ftBlob) ||
        (def->DataType == ftDate && field->DataType() == ftDateTime);
    if (!compatible)
      throw EDatabaseError(name_ + ": Type mismatch for field '" + field->FieldName() + "'");
    field->field_no_ = def->FieldNo;
    // A text field always holds the whole width of its column.
    if (field->DataType() == ftString) field->SetSize(def->Size);
  }
}

// --- open and close ---------------------------------------------------------------------

void TDataSet::AllocateBuffers() {
  active_buffer_.assign(static_cast<size_t>(RecordBufferSize()), '\0');
  InitRecordBuffer(active_buffer_.data());
}

void TDataSet::FreeBuffers() {
  if (!active_buffer_.empty()) FreeRecordBufferData(active_buffer_.data());
  active_buffer_.clear();
}

void TDataSet::Open() {
  if (Active()) return;
  if (BeforeOpen) BeforeOpen(*this);
  InternalOpen();
  if (!IsCursorOpen()) throw EDatabaseError(name_ + ": Cannot open the dataset");
  try {
    AllocateBuffers();
    state_ = dsBrowse;
    modified_ = false;
    InternalFirst();
    FetchFirstOrLast(true);
  } catch (...) {
    state_ = dsInactive;
    FreeBuffers();
    InternalClose();
    throw;
  }
  DoAfterOpen();
  if (!IsEmpty()) DoAfterScroll();
}

void TDataSet::Close() {
  if (!Active()) return;
  if (BeforeClose) BeforeClose(*this);
  state_ = dsInactive;  // first: a cursor that reports its own close finds us closed
  has_record_ = false;
  bof_ = eof_ = true;
  modified_ = false;
  try {
    InternalClose();
  } catch (...) {
    FreeBuffers();
    throw;
  }
  FreeBuffers();
  if (AfterClose) AfterClose(*this);
}

// --- navigation -------------------------------------------------------------------------

void TDataSet::FetchFirstOrLast(bool first) { Fetch(first ? gmNext : gmPrior, first, !first); }

void TDataSet::Fetch(TGetMode mode, bool bof_when_found, bool eof_when_found) {
  has_record_ = GetRecord(ActiveBuffer(), mode) == grOK;
  bof_ = has_record_ ? bof_when_found : true;
  eof_ = has_record_ ? eof_when_found : true;
  cursor_changed_ = false;
}

void TDataSet::First() {
  CheckBrowseMode();
  DoBeforeScroll();
  InternalFirst();
  FetchFirstOrLast(true);
  DoAfterScroll();
}

void TDataSet::Last() {
  CheckBrowseMode();
  DoBeforeScroll();
  InternalLast();
  FetchFirstOrLast(false);
  DoAfterScroll();
}

int TDataSet::MoveBy(int distance) {
  CheckBrowseMode();
  int moved = 0;
  if (distance == 0 || IsEmpty()) return 0;
  if ((distance > 0 && eof_) || (distance < 0 && bof_)) return 0;
  DoBeforeScroll();
  UpdateCursorPos();
  const TGetMode mode = distance > 0 ? gmNext : gmPrior;
  while (moved != distance) {
    if (GetRecord(ActiveBuffer(), mode) != grOK) {
      if (distance > 0) eof_ = true; else bof_ = true;
      break;
    }
    if (distance > 0) { bof_ = false; ++moved; } else { eof_ = false; --moved; }
  }
  DoAfterScroll();
  return moved;
}

void TDataSet::Next() { MoveBy(1); }
void TDataSet::Prior() { MoveBy(-1); }

void TDataSet::UpdateCursorPos() {
  if (cursor_changed_ && has_record_) InternalSetToRecord(ActiveBuffer());
  cursor_changed_ = false;
}

void TDataSet::Resync() { Fetch(gmCurrent, false, false); }

void TDataSet::ShowCursorRecord() {
  DoBeforeScroll();
  Resync();
  DoAfterScroll();
}

// --- changes ----------------------------------------------------------------------------

void TDataSet::CheckBrowseMode() {
  CheckActive();
  if (state_ == dsEdit || state_ == dsInsert) {
    if (modified_) Post(); else Cancel();
  }
}

void TDataSet::BeginInsert(bool append) {
  CheckBrowseMode();
  if (BeforeInsert) BeforeInsert(*this);
  UpdateCursorPos();
  if (append) InternalLast();
  InternalInitRecord(ActiveBuffer());
  SetBookmarkFlag(ActiveBuffer(), append ? bfEOF : bfInserted);
  InternalInsert();
  cursor_changed_ = true;
  state_ = dsInsert;
  if (append) { eof_ = true; bof_ = false; } else { bof_ = eof_ = false; }
  modified_ = false;
  try {
    if (OnNewRecord) OnNewRecord(*this);
  } catch (...) {
    Cancel();
    throw;
  }
  modified_ = false;
  if (AfterInsert) AfterInsert(*this);
}

void TDataSet::Append() { BeginInsert(true); }
void TDataSet::Insert() { BeginInsert(false); }

template <typename Op>
void TDataSet::WithErrorEvent(const TDataSetErrorEvent& event, Op op) {
  for (;;) {
    try {
      op();
      return;
    } catch (const EAbort&) {
      throw;
    } catch (const std::exception& error) {
      TDataAction action = daFail;
      if (event) event(*this, error, action);
      if (action == daFail) throw;
      if (action == daAbort) throw EAbort();
    }
  }
}

void TDataSet::Edit() {
  CheckActive();
  if (state_ == dsEdit || state_ == dsInsert) return;
  if (IsEmpty()) return Insert();
  if (BeforeEdit) BeforeEdit(*this);
  WithErrorEvent(OnEditError, [this] { InternalEdit(); });
  state_ = dsEdit;
  modified_ = false;
  if (AfterEdit) AfterEdit(*this);
}

void TDataSet::ReturnToBrowse() {
  state_ = dsBrowse;
  modified_ = false;
  Resync();
}

void TDataSet::Post() {
  CheckActive();
  if (state_ != dsEdit && state_ != dsInsert) return;
  if (BeforePost) BeforePost(*this);
  WithErrorEvent(OnPostError, [this] { InternalPost(); });
  ReturnToBrowse();
  DoAfterPost();
}

void TDataSet::Cancel() {
  CheckActive();
  if (state_ != dsEdit && state_ != dsInsert) return;
  if (BeforeCancel) BeforeCancel(*this);
  InternalCancel();
  ReturnToBrowse();
  DoAfterCancel();
}

void TDataSet::Delete() {
  CheckActive();
  if (state_ == dsInsert) return Cancel();
  if (IsEmpty()) throw EDatabaseError(name_ + ": Cannot perform this operation on an empty dataset");
  if (BeforeDelete) BeforeDelete(*this);
  DoBeforeScroll();
  WithErrorEvent(OnDeleteError, [this] { InternalDelete(); });
  ReturnToBrowse();
  if (AfterDelete) AfterDelete(*this);
  DoAfterScroll();
}

void TDataSet::Refresh() {
  CheckBrowseMode();
  UpdateCursorPos();
  InternalRefresh();
  Resync();
}

// --- bookmarks and searching -------------------------------------------------------------

TBookmark TDataSet::GetBookmark() {
  if (!Active() || IsEmpty()) return TBookmark();
  return GetBookmarkData(ActiveBuffer());
}

void TDataSet::GotoBookmark(const TBookmark& bookmark) {
  if (bookmark.empty()) return;
  CheckBrowseMode();
  DoBeforeScroll();
  InternalGotoBookmark(bookmark);
  Resync();
  DoAfterScroll();
}

int TDataSet::CompareBookmarks(const TBookmark& a, const TBookmark& b) {
  if (a.empty() && b.empty()) return 0;
  if (a.empty()) return -1;
  if (b.empty()) return 1;
  return a < b ? -1 : (a == b ? 0 : 1);
}

bool TDataSet::Locate(const std::string&, const Variant&, unsigned) { return false; }

Variant TDataSet::Lookup(const std::string&, const Variant&, const std::string&) {
  return Variant();
}

bool TDataSet::FindRecord(bool, bool) { return false; }

// --- values -----------------------------------------------------------------------------

void TDataSet::GetCalcFields(char* buffer) {
  if (calc_fields_size_ == 0 && !OnCalcFields) return;
  if (!AutoCalcFields && calc_fields_size_ == 0) return;
  const TDataSetState saved = SetTempState(dsCalcFields);
  char* saved_buffer = calc_buffer_;
  calc_buffer_ = buffer;
  try {
    ClearCalcFields(buffer);
    if (OnCalcFields) OnCalcFields(*this);
  } catch (...) {
    calc_buffer_ = saved_buffer;
    RestoreState(saved);
    throw;
  }
  calc_buffer_ = saved_buffer;
  RestoreState(saved);
}

TDataSetState TDataSet::SetTempState(TDataSetState state) {
  const TDataSetState old = state_;
  state_ = state;
  return old;
}

void TDataSet::FieldChanged(TField& field) {
  field.SetModified(true);
  if (state_ == dsEdit || state_ == dsInsert) modified_ = true;
  if (field.OnChange) field.OnChange(field);
}

}  // namespace ks
