#include "db/engine/cb_table_set.h"

#include <utility>

#include "common/codepage.h"

namespace ks {

TCBTableSet::TCBTableSet(std::string name) : TCBDataSet(std::move(name)) {
  Table().CBOnFilterRecord = [this](TCBTable&, bool& accept) {
    if (OnFilterRecord) accept = FilterRecord(OnFilterRecord);
  };
}

void TCBTableSet::CreateTable() {
  if (Active() || FieldDefs().Count() < 1) return;
  TCBFieldList& fields = Table().FldDefs();
  fields.Clear();
  for (const TFieldDef& def : FieldDefs()) {
    std::string lower = def.Name;
    for (char& c : lower) c = LowerCp1251(c);
    if (lower == "islocked") continue;
    int type = 'I';
    switch (def.DataType) {
      case ftString: type = 'C'; break;
      case ftBoolean: type = 'L'; break;
      case ftFloat: type = 'N'; break;
      case ftDate: case ftDateTime: type = 'D'; break;
      case ftMemo: type = 'M'; break;
      default: type = 'I'; break;
    }
    fields.Add(def.Name, type, def.Size, 0);
  }
  Table().CreateTable();
}

void TCBTableSet::CreateIndex() {
  if (Active()) return;
  Table().CreateIndex();
}

bool TCBTableSet::SeekKey(const std::string& key) {
  CheckBrowseMode();
  if (!Table().FindKey(key)) return false;
  ShowCursorRecord();
  return true;
}

bool TCBTableSet::LocateWith(const std::string& key_fields, const Variant& key_values,
                             int options) {
  CheckBrowseMode();
  if (IsEmpty()) return false;
  PositionOn(ActiveBuffer());
  if (!Table().Locate(key_fields, key_values, options)) return false;
  ShowCursorRecord();
  return true;
}

bool TCBTableSet::Locate(const std::string& key_fields, const Variant& key_values,
                         unsigned options) {
  int bits = 16;
  if (options & loCaseInsensitive) bits |= 1;
  if (options & loPartialKey) bits |= 2;
  return LocateWith(key_fields, key_values, bits);
}

bool TCBTableSet::LocateByOptions(const std::string& key_fields, const Variant& key_values,
                                  int options) {
  return LocateWith(key_fields, key_values, options);
}

bool TCBTableSet::FindRecord(bool restart, bool forward) {
  if (restart && forward) First();
  else if (forward) Next();
  else if (restart) Last();
  else Prior();
  return forward ? !Eof() : !Bof();
}

void TCBTableSet::InternalEdit() {
  edit_in_progress_ = true;
  TCBDataSet::InternalEdit();
}

void TCBTableSet::InternalCancel() {
  TCBDataSet::InternalCancel();
  edit_in_progress_ = false;
}

void TCBTableSet::InternalDelete() {
  PositionOn(ActiveBuffer());
  const int recno = static_cast<int>(Table().RecNo());
  TCBDataSet::InternalDelete();
  TCBCtrlsEnv::Instance().NotifyDeleted(Table().FileName(), recno);
}

void TCBTableSet::DoAfterPost() {
  TCBDataSet::DoAfterPost();
  const bool notify = edit_in_progress_;
  edit_in_progress_ = false;
  if (notify) TCBCtrlsEnv::Instance().NotifyChanged(Table().FileName(), static_cast<int>(Table().RecNo()));
}

}  // namespace ks
