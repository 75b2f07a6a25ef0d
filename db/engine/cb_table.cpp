#include "db/engine/cb_table.h"

#include <algorithm>
#include <cstring>
#include <random>

#include "common/codepage.h"
#include "common/platform.h"
#include "db/engine/cb_engine.h"
#include "db/engine/cb_errors.h"
#include "db/engine/field_text.h"

namespace ks {

namespace {

constexpr char kWriteLock = 1;
// Locks are tried once: a record held elsewhere must never make the program hang.
constexpr int kNoWait = 0;

bool IsOneOf(int value, std::initializer_list<int> set) {
  return std::find(set.begin(), set.end(), value) != set.end();
}

}  // namespace

// --- lists ------------------------------------------------------------------------------

void TCBFieldList::Add(const std::string& name, int field_type, int field_length, int decimal) {
  items_.push_back({name, field_type, field_length, decimal});
}

void TCBTagList::Add(const std::string& name, const std::string& expr, const std::string& filter,
                     bool unique, bool desc) {
  items_.push_back({name, expr, filter, unique, desc});
}

void TLockedRowList::Remove(long recno) {
  auto it = std::find(rows_.begin(), rows_.end(), recno);
  if (it != rows_.end()) rows_.erase(it);
}

bool TLockedRowList::Contains(long recno) const {
  return std::find(rows_.begin(), rows_.end(), recno) != rows_.end();
}

// --- construction -------------------------------------------------------------------------

TCBTable::TCBTable() {
  std::random_device device;
  std::mt19937 generator(device());
  std::uniform_int_distribution<int32_t> draw(0, 2147483646);
  for (int32_t& value : identity_) value = draw(generator);
}

TCBTable::~TCBTable() {
  try {
    Close();
  } catch (const std::exception& error) {
    TCBEnv::Instance().HandleException(error);
  }
}

void TCBTable::SetDataBaseName(TCBDataBase* database) {
  database_ = database;
  engine_ = database != nullptr ? database->CBEngine() : nullptr;
}

Code4* TCBTable::EngineHandle() const {
  if (database_ == nullptr || database_->CBEngine() == nullptr) return nullptr;
  return database_->CBEngine()->Handle();
}

int TCBTable::ErrorCode() const {
  return static_cast<int16_t>(code4errorCode(EngineHandle(), -5));
}

std::string TCBTable::BuildFileName() const {
  if (database_ == nullptr || table_name_.empty()) return std::string();
  return TableFilePath(database_->DataPath() + table_name_);
}

// --- errors -----------------------------------------------------------------------------

void TCBTable::CheckError(FileKind kind, bool always) {
  int code = ErrorCode();
  if (code == 0 && !always) return;
  if (OnError) OnError(*this, code);
  switch (code) {
    case e4instance:
      throw Exception(W("Невозможно открыть в эксклюзивном режиме"));
    case e4fileFind:
      if (kind == FileKind::kTable) throw ECBOpenTable("DataBase File " + file_name_ + " not found.");
      throw ECBOpenIndex("Index File " + file_name_ + " not found.");
    case e4open:
    case e4create:
      RaiseOpenFailure(code);
    default:
      RaiseEngineFailure(code);
  }
}

void TCBTable::RaiseOpenFailure(int code) {
  // What failed and why, when the engine knows; else at least which file.
  const std::string cause = code4errorCause(EngineHandle());
  const std::string meaning = EngineCodeMeaning(code);
  throw ECBOpenFile(W("Ошибка открытия файла. ") +
                    (cause.empty() ? file_name_ + (meaning.empty() ? "" : ": " + meaning) : cause) + " (" +
                    EngineCodeText(code) + ")");
}

void TCBTable::RaiseEngineFailure(int code, const std::string& lead) {
  throw ECBEngineError(code, file_name_, lead, code4errorCause(EngineHandle()));
}

void TCBTable::RaiseClearedEngineFailure(int code, const std::string& lead) {
  const std::string cause = code4errorCause(EngineHandle());
  code4errorCode(EngineHandle(), 0);
  throw ECBEngineError(code, file_name_, lead, cause);
}

// --- open, close, create ------------------------------------------------------------------

bool TCBTable::OpenDataFile() {
  if (data_ != nullptr) return false;
  if (database_ == nullptr || !database_->RegisterTable(this)) return false;
  engine_ = database_->CBEngine();
  Code4* engine = EngineHandle();
  file_name_ = BuildFileName();
  code4errOff(engine, 1);
  engine_->ResetError();
  Data4* open_file = code4data(engine, file_name_.c_str());
  data_ = open_file != nullptr ? d4openClone(open_file) : d4open(engine, file_name_.c_str());
  try {
    // A refusal without a reason is still a refusal.
    CheckError(FileKind::kTable, data_ == nullptr);
  } catch (...) {
    if (data_ != nullptr) d4close(data_);
    data_ = nullptr;
    database_->UnregisterTable(this);
    throw;
  }
  state_ = TCBTableState::Browse;
  code4errOff(engine, 0);
  return true;
}

void TCBTable::Open() {
  index_applied_ = false;
  if (OpenDataFile()) {
    Code4* engine = EngineHandle();
    code4errOff(engine, 1);
    index_ = i4open(data_, nullptr);
    CheckError(FileKind::kIndex, index_ == nullptr);
    index_open_ = true;
    code4errOff(engine, 0);
  }
  if (data_ == nullptr) return;
  bof_ = eof_ = false;
  ApplyIndexName(index_name_);
  if (filtered_) ApplyFilter();
  First();
  if (ind_defs_.Count() == 0) LoadTagDefs();
  if (fld_defs_.Count() == 0) LoadFieldDefs();
}

void TCBTable::DropExpressions() {
  if (filter_expr_ != nullptr) u4freeDefault(filter_expr_);
  if (key_expr_ != nullptr) u4freeDefault(key_expr_);
  filter_expr_ = key_expr_ = nullptr;
}

void TCBTable::Close() {
  is_range_ = false;
  if (BeforeClose) BeforeClose(*this);
  if (data_ == nullptr) return;
  CheckBrowse();
  state_ = TCBTableState::Inactive;
  index_applied_ = index_open_ = false;
  DropExpressions();
  // Closing writes what the engine still holds back; the table is closed either way, and a
  // failed write ends in an exception rather than in a table that lacks its last records.
  const int closed = d4close(data_);
  data_ = nullptr;
  index_ = nullptr;
  bof_ = eof_ = true;
  if (database_ != nullptr) database_->UnregisterTable(this);
  if (closed < 0) RaiseEngineFailure(closed);
  if (AfterClose) AfterClose(*this);
}

void TCBTable::Flush() {
  if (data_ == nullptr) return;
  const int rc = d4flush(data_);
  d4changed(data_, 0);
  if (rc >= 0) return;
  const std::string cause = code4errorCause(EngineHandle());
  throw ECBEngineError(rc, file_name_, cause.empty() ? W("Не удалось записать таблицу ") + file_name_ + ": " : "",
                       cause);
}

void TCBTable::CreateTable() {
  std::vector<Field4Info> fields;
  for (int i = 0; i < fld_defs_.Count(); ++i) {
    const TCBField& def = fld_defs_[i];
    Field4Info info{def.Name.c_str(), 0, 0, 0, 0};
    switch (def.FieldType) {
      case 'C': info.type = 'C'; info.len = static_cast<uint16_t>(def.FieldLength); break;
      case 'D': info.type = 'D'; info.len = 8; break;
      case 'I': info.type = 'N'; info.len = kIntegerFieldWidth; break;
      case 'L': info.type = 'L'; info.len = 1; break;
      case 'M': info.type = 'M'; info.len = 1; break;
      case 'N': info.type = 'N'; info.len = kFloatFieldWidth; info.dec = kFloatFieldDecimals; break;
      default:
        throw Exception("Field " + def.Name + " has an unknown type");
    }
    fields.push_back(info);
  }
  fields.push_back(Field4Info{nullptr, 0, 0, 0, 0});
  if (database_ == nullptr || database_->CBEngine() == nullptr || !database_->CBEngine()->Start())
    return;
  Code4* engine = EngineHandle();
  const std::string name = BuildFileName();
  code4safety(engine, 0);
  database_->CBEngine()->ResetError();
  Data4* created = d4create(engine, name.c_str(), fields.data(), nullptr);
  code4safety(engine, 1);
  // A file that could not be made is reported with its cause here, not later as a missing file.
  file_name_ = name;
  if (created == nullptr) RaiseOpenFailure(ErrorCode());
  if (d4close(created) < 0) RaiseEngineFailure(ErrorCode());
  CreateIndex();
}

void TCBTable::CreateIndex() {
  std::vector<Tag4Info> tags;
  for (int i = 0; i < ind_defs_.Count(); ++i) {
    const TCBTag& tag = ind_defs_[i];
    tags.push_back(Tag4Info{tag.Name.c_str(), tag.Expr.c_str(), tag.Filter.c_str(),
                            static_cast<int16_t>(tag.Unique ? r4unique : 0),
                            static_cast<uint16_t>(tag.Desc ? r4descending : 0)});
  }
  tags.push_back(Tag4Info{nullptr, nullptr, nullptr, 0, 0});
  OpenDataFile();
  if (data_ == nullptr) return;
  Code4* engine = EngineHandle();
  code4safety(engine, 0);
  database_->CBEngine()->ResetError();
  Index4* index = i4create(data_, nullptr, tags.data());
  code4safety(engine, 1);
  const int code = index == nullptr ? ErrorCode() : 0;
  const std::string cause = code4errorCause(engine);
  index_ = nullptr;
  if (index != nullptr) {
    Close();
    return;
  }
  try {
    Close();
  } catch (const std::exception&) {
    // The index failure came first and is the one reported.
  }
  throw ECBEngineError(code, file_name_, {}, cause);
}

void TCBTable::LoadFieldDefs() {
  const int count = d4numFields(data_);
  for (int j = 1; j <= count; ++j) {
    Field4* field = d4fieldJ(data_, static_cast<short>(j));
    if (field == nullptr) continue;
    const int type = f4type(field);
    int letter = 'I';
    if (type == 'C' || type == 'D' || type == 'L' || type == 'M') {
      letter = type;
    } else if (type == 'N' && f4decimals(field) > 0) {
      letter = 'N';
    }
    fld_defs_.Add(f4name(field), letter, f4len(field), f4decimals(field));
  }
}

void TCBTable::LoadTagDefs() {
  int count = 0;
  for (Tag4* tag = d4tagDefault(data_); tag != nullptr; tag = d4tagNext(data_, tag)) ++count;
  if (count == 0 || index_ == nullptr) return;
  Tag4Info* info = i4tagInfo(index_);
  if (info == nullptr) return;
  for (int i = 0; i < count && info[i].name != nullptr; ++i) {
    ind_defs_.Add(info[i].name, info[i].expression ? info[i].expression : "",
                  info[i].filter ? info[i].filter : "", info[i].unique == r4unique,
                  info[i].descending == r4descending);
  }
  u4freeDefault(info);
}

// --- index, filter, range -------------------------------------------------------------------

void TCBTable::SetIndexName(const std::string& value) {
  const std::string name = UpperCp1251(value);
  if (index_open_ && index_applied_ && name == index_name_) return;
  ApplyIndexName(name);
}

void TCBTable::ApplyIndexName(const std::string& name) {
  if (state_ != TCBTableState::Inactive && data_ != nullptr) {
    is_range_ = false;
    if (key_expr_ != nullptr) u4freeDefault(key_expr_);
    key_expr_ = nullptr;
    if (name.empty()) {
      d4tagSelectP(data_, nullptr);
      descending_ = 0;
    } else if (Tag4* tag = d4tag(data_, name.c_str())) {
      d4tagSelectP(data_, tag);
      key_expr_ = expr4parseLow(data_, t4exprCB(tag), nullptr);
      descending_ = 0;
      // The descending flag comes from the index's own tag list, read up to its end record.
      if (index_ != nullptr) {
        if (Tag4Info* info = i4tagInfo(index_)) {
          for (int i = 0; info[i].name != nullptr; ++i) {
            if (UpperCp1251(info[i].name) == name) {
              descending_ = info[i].descending;
              break;
            }
          }
          u4freeDefault(info);
        }
      }
    }
    code4errorCode(EngineHandle(), 0);  // an unknown tag name leaves the old selection
    d4top(data_);
  }
  index_name_ = name;
  index_applied_ = true;
}

void TCBTable::SetFilter(const std::string& filter) {
  if (filter == filter_) return;
  const bool was_filtered = filtered_;
  SetFiltered(false);
  filter_ = filter;
  SetFiltered(was_filtered);
}

void TCBTable::SetFiltered(bool filtered) {
  filtered_ = filtered;
  if (data_ != nullptr) {
    ApplyFilter();
    First();
  }
}

void TCBTable::ApplyFilter() {
  if (filter_expr_ != nullptr) u4freeDefault(filter_expr_);
  filter_expr_ = nullptr;
  if (filtered_ && !filter_.empty()) {
    filter_expr_ = expr4parseLow(data_, filter_.c_str(), nullptr);
    if (filter_expr_ == nullptr) {
      // A filter that does not parse would let every record through: refuse it instead.
      filtered_ = false;
      RaiseClearedEngineFailure(ErrorCode(), "Filter " + filter_ + ": ");
    }
  }
}

void TCBTable::SetRange(const std::string& start, const std::string& end) {
  range_start_ = start;
  range_end_ = end;
  is_range_ = true;
}

bool TCBTable::RecordAccepted() {
  if (d4deleted(data_) != 0) return false;
  if (is_range_ && CompareRange() != 0) return false;
  if (filtered_) {
    if (filter_expr_ != nullptr) {
      // A filter that cannot be evaluated on this record is a failure, not a rejection.
      const int holds = expr4true(filter_expr_);
      if (holds < 0) RaiseEngineFailure(holds, "Filter " + filter_ + ": ");
      if (holds == 0) return false;
    }
    if (CBOnFilterRecord) {
      bool accept = true;
      CBOnFilterRecord(*this, accept);
      if (!accept) return false;
    }
  }
  return true;
}

int TCBTable::CompareRange() {
  if (key_expr_ == nullptr) return -1;
  switch (expr4typeCB(key_expr_)) {
    case 'C': {
      const char* text = expr4str(key_expr_);
      const int length = expr4len(key_expr_);
      const std::string key = text != nullptr ? std::string(text, std::max(length, 0)) : std::string();
      const bool desc = descending_ != 0;
      size_t n = std::min(key.size(), range_end_.size());
      const std::string key_end = key.substr(0, n), end = range_end_.substr(0, n);
      if (desc ? key_end < end : key_end > end) return 1;
      n = std::min(key.size(), range_start_.size());
      const std::string key_start = key.substr(0, n), start = range_start_.substr(0, n);
      if (desc ? key_start > start : key_start < start) return -1;
      return 0;
    }
    case 'N': {
      double key = 0;
      expr4double2(key_expr_, &key);
      if (key > DbfToFloat(range_end_)) return 1;
      if (key < DbfToFloat(range_start_)) return -1;
      return 0;
    }
    default:
      return -1;
  }
}

// --- scans and movement -------------------------------------------------------------------

bool TCBTable::FindAcceptedForward() {
  bool at_end = d4eof(data_) > 0;
  bool go = true;
  if (!at_end && is_range_) {
    const int position = CompareRange();
    if (position == 1) at_end = true;
    if (position == -1) go = false;
    if (!go) {
      const int result = d4seek(data_, range_start_.c_str());
      go = IsOneOf(result, {r4success, r4after, r4entry, r4locked});
      at_end = result == r4eof;
    }
  }
  bool found = false;
  while (!found && !at_end && go) {
    if (RecordAccepted()) {
      found = true;
    } else {
      // A failed step ends the scan: it must never spin on the same record.
      at_end = d4skip(data_, 1) < 0 || d4eof(data_) > 0;
    }
  }
  eof_ = !found;
  return found;
}

bool TCBTable::FindAcceptedBackward() {
  bool at_top = d4bof(data_) > 0;
  bool go = true;
  if (!at_top && is_range_) {
    const int position = CompareRange();
    if (position == -1) at_top = true;
    if (position == 1) go = false;
    if (!go) {
      int result = d4seek(data_, range_end_.c_str());
      while (result == r4success) result = d4seekNext(data_, range_end_.c_str());
      go = IsOneOf(result, {r4after, r4entry, r4locked});
      at_top = result == r4bof;
      if (result == r4after || result == r4entry) d4skip(data_, -1);
    }
  }
  bool found = false;
  while (!found && !at_top && go) {
    if (RecordAccepted()) {
      found = true;
    } else {
      const int result = d4skip(data_, -1);
      at_top = result == r4bof || result < 0;
    }
  }
  bof_ = !found;
  return found;
}

void TCBTable::GoLow(long recno) { d4goLow(data_, recno, 1); }

void TCBTable::First() {
  if (!BrowseOpen()) return;
  d4top(data_);
  bof_ = true;
  FindAcceptedForward();
}

void TCBTable::Last() {
  if (!BrowseOpen()) return;
  d4bottom(data_);
  eof_ = true;
  FindAcceptedBackward();
}

void TCBTable::Next() { Step(1); }

void TCBTable::Prior() { Step(-1); }

void TCBTable::Step(int direction) {
  const bool forward = direction > 0;
  if (!BrowseOpen() || (forward ? eof_ : bof_)) return;
  const long n = RecNo();
  d4skip(data_, direction);
  const bool found = forward ? FindAcceptedForward() : FindAcceptedBackward();
  if (!found && !(bof_ && eof_) && n > 0 && n <= RecordCount()) GoLow(n);
}

void TCBTable::GoToRecord(long recno) {
  if (!BrowseOpen()) return;
  const long count = RecordCount();
  if (recno <= 0 || recno > count || count <= 0) return;
  const long old = RecNo();
  GoLow(recno);
  if (!RecordAccepted() && old <= count) Resync();
  if (!(bof_ && eof_)) bof_ = eof_ = false;
}

void TCBTable::Resync() {
  const long n = RecNo();
  if (FindAcceptedForward()) return;
  if (n > 0 && n <= RecordCount()) GoLow(n);
  FindAcceptedBackward();
}

void TCBTable::Refresh() {
  if (!BrowseOpen()) return;
  // Refreshing writes what the engine holds back first; a failure there is no fresh view.
  if (const int rc = d4refresh(data_); rc < 0) RaiseClearedEngineFailure(rc);
  if (RecordAccepted()) {
    bof_ = eof_ = false;
  } else {
    Resync();
  }
}

// --- searching ----------------------------------------------------------------------------

bool TCBTable::FindKey(const std::string& key) {
  if (data_ == nullptr) return false;
  CheckBrowse();
  const long n = RecNo();
  int result = d4seek(data_, key.c_str());
  while (result >= 0 && !IsOneOf(result, {r4after, r4eof, r4bof}) && !RecordAccepted())
    result = d4seekNext(data_, key.c_str());
  if (result < 0) {
    // A read that failed is not "not found".
    if (n > 0 && n <= RecordCount()) GoLow(n);
    RaiseClearedEngineFailure(result);
  }
  const bool found = !IsOneOf(result, {r4after, r4eof, r4bof});
  if (found) {
    bof_ = eof_ = false;
  } else if (n > 0 && n <= RecordCount()) {
    GoLow(n);
  }
  return found;
}

bool TCBTable::Locate(const std::string& key_fields, const Variant& key_values, int options) {
  if (data_ == nullptr || (bof_ && eof_)) return false;
  const std::string locate = BuildLocateExpr(
      [this](const std::string& name) {
        Field4* field = d4field(data_, name.c_str());
        if (field == nullptr) code4errorCode(EngineHandle(), 0);
        return field != nullptr ? f4type(field) : 0;
      },
      options & 3, key_fields,
      key_values);
  if (locate.empty()) return false;
  const std::string condition = (filter_.empty() ? std::string() : filter_ + ".AND.") + locate;

  // The condition must parse: an unparsed filter would accept every record.
  Expr4* parsed = expr4parseLow(data_, condition.c_str(), nullptr);
  if (parsed == nullptr) {
    code4errorCode(EngineHandle(), 0);
    return false;
  }
  const bool holds = expr4true(parsed) > 0;
  u4freeDefault(parsed);
  if ((options & 12) == 0 && holds) return true;

  TCBTable search;
  search.SetDataBaseName(database_);
  search.SetTableName(table_name_);
  search.Open();
  search.SetIndexName(index_name_);
  if (is_range_) search.SetRange(range_start_, range_end_);
  search.SetFilter(condition);
  search.SetFiltered(true);  // goes to the first match
  bool found = !(search.Bof() && search.Eof());
  if (found && (options & 12) != 0) {
    // Step from this table's record itself, matching or not, to its next or previous match.
    search.GoLow(RecNo());
    search.bof_ = search.eof_ = false;
    if (options & 4) {
      search.Next();
      found = !search.Eof() && search.RecordAccepted() && search.RecNo() != RecNo();
    } else {
      search.Prior();
      found = !search.Bof() && search.RecordAccepted() && search.RecNo() != RecNo();
    }
  }
  if (found && search.RecNo() > 0) GoLow(search.RecNo());
  search.Close();
  return found;
}

// --- changes ------------------------------------------------------------------------------

void TCBTable::CheckBrowse() {
  if (state_ == TCBTableState::Edit || state_ == TCBTableState::Insert) Post();
}

bool TCBTable::BrowseOpen() {
  CheckBrowse();
  return data_ != nullptr;
}

void TCBTable::Edit() {
  if (state_ == TCBTableState::Edit || data_ == nullptr) return;
  const long n = RecNo();
  d4lockInternal(data_, static_cast<unsigned long>(n), kWriteLock, kNoWait);
  locked_rows_.Add(n);
  state_ = TCBTableState::Edit;
}

void TCBTable::Append() {
  if (!BrowseOpen()) return;
  if (d4appendStart(data_, 0) == 0) {
    d4blank(data_);
    state_ = TCBTableState::Insert;
  }
  eof_ = true;
}

void TCBTable::Post() {
  if (data_ == nullptr) return;
  const TCBTableState state = state_;
  int failure = 0;
  if (state == TCBTableState::Insert) {
    const int result = d4append(data_);
    if (result < 0) {
      failure = result;
      d4changed(data_, 0);
    } else {
      bof_ = eof_ = false;
    }
  }
  const int unlocked = d4unlock(data_);
  if (failure == 0 && unlocked < 0) failure = unlocked;
  if (state == TCBTableState::Edit) locked_rows_.Remove(RecNo());
  RelockRows();
  state_ = TCBTableState::Browse;
  if (failure != 0) RaiseClearedEngineFailure(failure);
}

void TCBTable::Cancel() {
  if (data_ == nullptr) return;
  const TCBTableState state = state_;
  if (state == TCBTableState::Edit || state == TCBTableState::Insert) d4changed(data_, 0);
  d4unlock(data_);
  if (state == TCBTableState::Edit) locked_rows_.Remove(RecNo());
  RelockRows();
  state_ = TCBTableState::Browse;
}

void TCBTable::Delete() {
  if (data_ == nullptr) return;
  CheckBrowse();
  d4delete(data_);
  Resync();
}

void TCBTable::RelockRows() {
  for (long n : locked_rows_.Rows())
    d4lockInternal(data_, static_cast<unsigned long>(n), kWriteLock, kNoWait);
}

bool TCBTable::HeldByThisProgram(long recno) const {
  if (locked_rows_.Contains(recno)) return true;
  for (TCBDataBase* database : TCBEnv::Instance().Databases()) {
    for (TCBTable* table : database->OpenTables()) {
      if (table != this && table->identity_ != identity_ && table->file_name_ == file_name_ &&
          table->locked_rows_.Contains(recno))
        return true;
    }
  }
  return false;
}

bool TCBTable::RecordIsLocked() {
  if (data_ == nullptr) return false;
  const long n = RecNo();
  if (HeldByThisProgram(n)) return false;
  if (d4lockInternal(data_, static_cast<unsigned long>(n), kWriteLock, kNoWait) != 0) {
    code4errorCode(EngineHandle(), 0);
    return true;
  }
  d4unlock(data_);
  RelockRows();
  return false;
}

// --- reading ------------------------------------------------------------------------------

long TCBTable::RecordCount() const { return data_ != nullptr ? d4recCountDo(data_) : 0; }

long TCBTable::RecNo() const { return data_ != nullptr ? d4recNoLow(data_) : 0; }

int TCBTable::FieldCount() const { return data_ != nullptr ? d4numFields(data_) : 0; }

int TCBTable::FieldType(const std::string& name) const {
  Field4* field = data_ != nullptr ? d4field(data_, name.c_str()) : nullptr;
  if (field == nullptr) {
    code4errorCode(EngineHandle(), 0);
    throw Exception("Field: " + UpperCp1251(name) + " not found.");
  }
  return f4type(field);
}

std::string TCBTable::GetFieldString(const std::string& name) const {
  Field4* field = data_ != nullptr ? d4field(data_, name.c_str()) : nullptr;
  if (field == nullptr) {
    code4errorCode(EngineHandle(), 0);
    throw Exception("Field: " + UpperCp1251(name) + " not found.");
  }
  std::string text;
  if (f4type(field) == 'M') {
    const char* memo = f4memoStr(field);
    if (memo != nullptr) text.assign(memo, f4memoLen(field));
  } else {
    const char* bytes = f4str(field);
    const size_t length = static_cast<size_t>(std::max(f4len(field), 0));
    if (bytes != nullptr) text.assign(bytes, strnlen(bytes, length));
  }
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= 32) text.pop_back();
  return text;
}

}  // namespace ks
