#include "db/engine/cb_dataset.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

#include "common/codepage.h"
#include "db/engine/cb_blob_stream.h"
#include "db/engine/cb_engine.h"
#include "db/engine/field_text.h"

namespace ks {

namespace {

constexpr char kLockNotProbed = '?';  // isLocked of a fetched record, not yet probed

// A value in the framework's own form, as a field hands it over (not necessarily aligned).
template <typename T>
T Load(const void* source) {
  T value{};
  std::memcpy(&value, source, sizeof value);
  return value;
}

// A blank numeric field, or one holding the overflow mark, has no value.
bool IsNoNumber(const std::string& trimmed) {
  const size_t start = trimmed.find_first_not_of(' ');
  return start == std::string::npos || IsOverflowMark(std::string_view(trimmed).substr(start));
}

bool IsMemoType(char type) { return type == 'M' || type == 'B' || type == 'G'; }

TFieldType DataTypeOf(char dbf_type, int decimals) {
  switch (dbf_type) {
    case 'C': return ftString;
    case 'N': return decimals < 1 ? ftInteger : ftFloat;
    case 'F': return ftFloat;
    case 'I': return ftInteger;
    case 'D': return ftDate;
    case 'L': return ftBoolean;
    case 'M': return ftMemo;
    case 'B': case 'G': return ftBlob;
    default: return ftString;  // readable as text, never written
  }
}

}  // namespace

// --- construction -------------------------------------------------------------------------

TCBDataSet::TCBDataSet(std::string name) : TCBAllDataSet(std::move(name)) {
  // A table closed underneath (a new DataPath, for instance) leaves the dataset closed.
  table_.AfterClose = [this](TCBTable&) { Close(); };
}

TCBDataSet::~TCBDataSet() {
  try {
    Close();
  } catch (const std::exception& error) {
    TCBEnv::Instance().HandleException(error);
  }
  table_.AfterClose = nullptr;
  table_.CBOnFilterRecord = nullptr;
}

void TCBDataSet::CheckInactive(const std::string& current, const std::string& value) const {
  if (Active() && current != value)
    throw Exception("This property cannot be changed while the DataSet is Active.");
}

void TCBDataSet::SetDataBaseName(TCBDataBase* database) {
  if (Active() && database != table_.DataBaseName())
    throw Exception("This property cannot be changed while the DataSet is Active.");
  table_.SetDataBaseName(database);
}

void TCBDataSet::SetTableName(const std::string& name) {
  CheckInactive(table_.TableName(), name);
  table_.SetTableName(name);
}

void TCBDataSet::SetIndexName(const std::string& name) {
  if (Active()) CheckBrowseMode();
  table_.SetIndexName(name);
  if (Active()) {
    table_.First();
    ShowCursorRecord();
  }
}

void TCBDataSet::SetFilter(const std::string& text) {
  if (Active()) CheckBrowseMode();
  TDataSet::SetFilter(text);
  table_.SetFilter(text);
  if (Active() && Filtered()) First();  // show the first record the new filter lets through
}

void TCBDataSet::SetFiltered(bool on) {
  if (Active()) CheckBrowseMode();
  table_.SetFiltered(on);
  if (Active()) First();
  TDataSet::SetFiltered(on);
}

// --- open and close -----------------------------------------------------------------------

void TCBDataSet::FieldDefsFrom(TCBTable& table) {
  FieldDefs().Clear();
  Data4* data = table.DataHandle();
  const int count = table.FieldCount();
  for (int j = 1; j <= count; ++j) {
    Field4* field = d4fieldJ(data, static_cast<short>(j));
    const char type = static_cast<char>(f4type(field));
    const TFieldType data_type = DataTypeOf(type, f4decimals(field));
    int size = 0;
    if (data_type == ftString) size = f4len(field);
    if (data_type == ftMemo || data_type == ftBlob) size = 10;
    FieldDefs().Add(f4name(field), data_type, size, false);
  }
  FieldDefs().Add(kIsLocked, ftBoolean, 0, false);
  FieldDefs().Updated = true;
}

void TCBDataSet::UpdateFieldDefs() {
  if (table_.IsOpen()) return FieldDefsFrom(table_);
  TCBTable temporary;
  temporary.SetDataBaseName(table_.DataBaseName());
  temporary.SetTableName(table_.TableName());
  temporary.Open();
  if (temporary.IsOpen()) FieldDefsFrom(temporary);
  temporary.Close();
}

void TCBDataSet::BuildNodes() {
  nodes_.clear();
  memo_count_ = 0;
  Data4* data = table_.DataHandle();
  const int count = table_.FieldCount();
  int offset = 1;
  for (int j = 1; j <= count; ++j) {
    Field4* field = d4fieldJ(data, static_cast<short>(j));
    TFieldNode node;
    node.Number = j;
    node.Offset = offset;
    node.Name = UpperCp1251(f4name(field));
    node.DbfType = static_cast<char>(f4type(field));
    node.Length = f4len(field);
    node.Decimals = f4decimals(field);
    node.Handle = field;
    if (IsMemoType(node.DbfType)) node.BlobIndex = memo_count_++;
    offset += node.Length;
    nodes_.push_back(node);
  }
  record_width_ = static_cast<int>(d4recWidthLow(data));
  TFieldNode locked;
  locked.Number = count + 1;
  locked.Offset = record_width_;
  locked.Name = kIsLocked;
  locked.DbfType = 'L';
  locked.Length = 1;
  nodes_.push_back(locked);
}

void TCBDataSet::InternalOpen() {
  if (TableName().empty()) return;
  table_.Open();
  if (!table_.IsOpen()) return;
  try {
    FieldDefsFrom(table_);
    BuildNodes();
    if (Fields().empty()) CreateFields();
    BindFields(true);
  } catch (...) {
    table_.Close();
    nodes_.clear();
    throw;
  }
  calc_offset_ = record_width_ + 1;
  flags_offset_ = calc_offset_ + CalcFieldsSize();
  bookmark_offset_ = flags_offset_ + static_cast<int>(nodes_.size());
  buffer_size_ = bookmark_offset_ + 6;
  filter_buffer_.assign(buffer_size_, '\0');
}

void TCBDataSet::DoAfterOpen() {
  IndexDefs().Updated = false;
  TCBAllDataSet::DoAfterOpen();
}

void TCBDataSet::InternalClose() {
  if (table_.IsOpen()) table_.Close();
  BindFields(false);
  DestroyDefaultFields();
  if (!filter_buffer_.empty()) FreeRecordBufferData(filter_buffer_.data());
  filter_buffer_.clear();
  memo_cache_.clear();
  nodes_.clear();
}

// --- buffer pieces ------------------------------------------------------------------------

void TCBDataSet::SetChanged(char* buffer, int node_index, bool changed) {
  buffer[flags_offset_ + node_index] = changed ? 1 : 0;
}

bool TCBDataSet::Changed(const char* buffer, int node_index) const {
  return buffer[flags_offset_ + node_index] != 0;
}

const std::string* TCBDataSet::MemoCache(const char* buffer, int blob_index) const {
  const auto it = memo_cache_.find({buffer, blob_index});
  return it == memo_cache_.end() ? nullptr : &it->second;
}

void TCBDataSet::SetMemoCache(const char* buffer, int blob_index, std::string text) {
  memo_cache_[{buffer, blob_index}] = std::move(text);
}

void TCBDataSet::ClearMemoCache(const char* buffer, int blob_index) {
  if (!memo_cache_.empty()) memo_cache_.erase({buffer, blob_index});
}

void TCBDataSet::ClearChangedFlags(char* buffer) {
  for (size_t i = 0; i + 1 < nodes_.size(); ++i) {
    SetChanged(buffer, static_cast<int>(i), false);
    if (nodes_[i].BlobIndex >= 0) ClearMemoCache(buffer, nodes_[i].BlobIndex);
  }
}

void TCBDataSet::FreeRecordBufferData(char* buffer) {
  for (int i = 0; i < memo_count_; ++i) ClearMemoCache(buffer, i);
}

int32_t TCBDataSet::BookmarkOf(const char* buffer) const {
  int32_t recno = 0;
  std::memcpy(&recno, buffer + bookmark_offset_, 4);
  return recno;
}

TBookmark TCBDataSet::GetBookmarkData(const char* buffer) {
  return TBookmark(buffer + bookmark_offset_, 4);
}

void TCBDataSet::SetBookmarkFlag(char* buffer, TBookmarkFlag flag) {
  buffer[bookmark_offset_ + 4] = static_cast<char>(flag);
}

TBookmarkFlag TCBDataSet::GetBookmarkFlag(const char* buffer) {
  return static_cast<TBookmarkFlag>(buffer[bookmark_offset_ + 4]);
}

void TCBDataSet::ClearCalcFields(char* buffer) {
  std::memset(buffer + calc_offset_, 0, CalcFieldsSize());
}

const TFieldNode& TCBDataSet::NodeOf(const TField& field) const {
  const int index = field.FieldNo() - 1;
  if (index < 0 || index >= static_cast<int>(nodes_.size()))
    throw EDatabaseError("Field '" + field.FieldName() + "' is not bound");
  return nodes_[index];
}

char* TCBDataSet::BufferByRule() {
  switch (State()) {
    case dsBrowse: return IsEmpty() ? nullptr : ActiveBuffer();
    case dsEdit: case dsInsert: return ActiveBuffer();
    case dsCalcFields: return CalcBuffer();
    case dsNewValue: case dsOldValue: case dsCurValue: return ActiveBuffer();
    case dsFilter: return filter_buffer_.empty() ? nullptr : filter_buffer_.data();
    default: return nullptr;
  }
}

void TCBDataSet::PositionOn(const char* buffer) {
  const int32_t recno = BookmarkOf(buffer);
  if (recno > 0 && table_.RecNo() == recno) return;
  InternalGotoBookmark(TBookmark(buffer + bookmark_offset_, 4));
  CursorPosChanged();
}

// --- record fetch ----------------------------------------------------------------------------

TGetResult TCBDataSet::GetRecord(char* buffer, TGetMode mode) {
  if (table_.IsEmpty()) return grEOF;
  switch (mode) {
    case gmNext:
      if (table_.Bof()) table_.ClearBof(); else table_.Next();
      if (table_.Eof()) return grEOF;
      break;
    case gmPrior:
      if (table_.Eof()) table_.ClearEof(); else table_.Prior();
      if (table_.Bof()) return grBOF;
      break;
    case gmCurrent:
      if (table_.Bof()) table_.ClearBof();
      if (table_.Eof()) table_.ClearEof();
      break;
  }
  std::memcpy(buffer, d4recordLow(table_.DataHandle()), record_width_);
  // isLocked is probed in the engine when it is first read (the probe costs two lock
  // calls, and a bulk append reads it never).
  if (table_.FieldCount() > 0) buffer[record_width_] = kLockNotProbed;
  SetBookmarkFlag(buffer, bfCurrent);
  const int32_t recno = table_.Bof() ? -1 : static_cast<int32_t>(table_.RecNo());
  std::memcpy(buffer + bookmark_offset_, &recno, 4);
  ClearChangedFlags(buffer);
  SetModified(false);
  GetCalcFields(buffer);
  return grOK;
}

void TCBDataSet::InternalInitRecord(char* buffer) {
  std::memset(buffer, ' ', record_width_ + 1);
  for (size_t i = 0; i < nodes_.size(); ++i) {
    SetChanged(buffer, static_cast<int>(i), true);
    if (nodes_[i].BlobIndex >= 0) ClearMemoCache(buffer, nodes_[i].BlobIndex);
  }
}

void TCBDataSet::InternalInsert() {
  saved_recno_ = IsEmpty() ? 0 : table_.RecNo();
}

// --- record numbers and bookmarks ---------------------------------------------------------------

int TCBDataSet::RecNo() {
  if (!Active() || State() == dsInsert) return -1;
  if (IsEmpty()) return 0;
  PositionOn(ActiveBuffer());
  return static_cast<int>(table_.RecNo());
}

void TCBDataSet::SetRecNo(int recno) {
  CheckBrowseMode();
  table_.GoToRecord(recno);
  ShowCursorRecord();
}

void TCBDataSet::InternalGotoBookmark(const TBookmark& bookmark) {
  int32_t recno = 0;
  if (bookmark.size() == 4) std::memcpy(&recno, bookmark.data(), 4);
  if (recno > 0) {
    table_.GoToRecord(recno);
  } else {
    table_.First();
  }
}

void TCBDataSet::InternalSetToRecord(char* buffer) {
  InternalGotoBookmark(TBookmark(buffer + bookmark_offset_, 4));
}

bool TCBDataSet::BookmarkValid(const TBookmark& bookmark) {
  if (bookmark.size() != 4) return false;
  int32_t recno = 0;
  std::memcpy(&recno, bookmark.data(), 4);
  return recno >= -1 && recno <= table_.RecordCount();
}

int TCBDataSet::CompareBookmarks(const TBookmark& a, const TBookmark& b) {
  if (a.empty() && b.empty()) return 0;
  if (a.empty()) return -1;
  if (b.empty()) return 1;
  int32_t x = 0, y = 0;
  std::memcpy(&x, a.data(), std::min<size_t>(a.size(), 4));
  std::memcpy(&y, b.data(), std::min<size_t>(b.size(), 4));
  return x < y ? -1 : (x == y ? 0 : 1);
}

// --- changes --------------------------------------------------------------------------------

void TCBDataSet::InternalEdit() {
  PositionOn(ActiveBuffer());
  table_.Edit();
  GetRecord(ActiveBuffer(), gmCurrent);
}

void TCBDataSet::WriteRecord(char* buffer, bool append) {
  if (append) {
    table_.Append();
    if (table_.TableState() != TCBTableState::Insert) {
      // Nothing was started and nothing changed: the values stay for another try.
      throw Exception("Could not append a record to " + table_.FileName() + ".");
    }
  }
  try {
    Data4* data = table_.DataHandle();
    char* record = d4recordLow(data);
    bool any = false;
    for (size_t i = 0; i + 1 < nodes_.size(); ++i) {
      if (!Changed(buffer, static_cast<int>(i))) continue;
      const TFieldNode& node = nodes_[i];
      if (node.BlobIndex >= 0) {
        const std::string* text = MemoCache(buffer, node.BlobIndex);
        const char* bytes = text != nullptr ? text->data() : "";
        const unsigned long length = text != nullptr ? text->size() : 0;
        if (f4memoAssignN(node.Handle, bytes, length) != 0)
          throw Exception("Could not replace BLOB data.");
      } else {
        std::memcpy(record + node.Offset, buffer + node.Offset, node.Length);
      }
      any = true;
    }
    if (any) d4changed(data, 1);
    for (TField* field : Fields()) {
      if (field->Required() && !field->ReadOnly() && field->FieldKind() == fkData &&
          !field->IsBlob() && field->IsNull())
        throw EDatabaseError("Field '" + field->DisplayLabel() + "' must have a value");
    }
    table_.Post();
    if (append) {
      const int32_t recno = table_.Bof() ? -1 : static_cast<int32_t>(table_.RecNo());
      std::memcpy(buffer + bookmark_offset_, &recno, 4);
    }
  } catch (...) {
    ClearChangedFlags(buffer);
    // Half a record must not reach the file: the table's own append or edit is dropped.
    if (table_.TableState() == TCBTableState::Edit || table_.TableState() == TCBTableState::Insert)
      table_.Cancel();
    throw;
  }
  ClearChangedFlags(buffer);
}

void TCBDataSet::InternalPost() {
  const bool inserting = State() == dsInsert;
  WriteRecord(ActiveBuffer(), inserting);
  if (!table_.RecordAccepted()) {
    if (inserting && saved_recno_ > 0) {
      table_.GoToRecord(saved_recno_);
    } else {
      table_.Resync();
    }
  }
}

void TCBDataSet::InternalCancel() {
  if (State() == dsInsert) {
    if (saved_recno_ > 0) {
      table_.GoToRecord(saved_recno_);
    } else {
      table_.First();
    }
  } else {
    PositionOn(ActiveBuffer());
    table_.Cancel();
  }
  CursorPosChanged();
}

void TCBDataSet::InternalDelete() {
  PositionOn(ActiveBuffer());
  table_.Delete();
}

// --- index definitions ------------------------------------------------------------------------

TIndexDefs& TCBDataSet::UpdateIndexDefs() {
  if (IndexDefs().Updated) return IndexDefs();
  CheckActive();
  UpdateFieldDefs();
  IndexDefs().Clear();
  const std::string remembered = table_.IndexName();
  Data4* data = table_.DataHandle();
  d4tagSelectP(data, nullptr);
  for (Tag4* tag = d4tagNext(data, nullptr); tag != nullptr; tag = d4tagNext(data, tag))
    IndexDefs().Add(t4alias(tag), t4exprCB(tag), ixExpression);
  table_.SetIndexName("");  // forces the remembered name to be applied again
  table_.SetIndexName(remembered);
  IndexDefs().Updated = true;
  if (!IsEmpty()) InternalSetToRecord(ActiveBuffer());  // back to the record shown
  return IndexDefs();
}

// --- field values ----------------------------------------------------------------------------

bool TCBDataSet::GetFieldData(TField& field, void* destination) {
  char* buffer = BufferByRule();
  if (buffer == nullptr) return false;
  if (field.FieldNo() <= 0) {
    const TDataSetState state = State();
    if (state != dsBrowse && state != dsEdit && state != dsInsert && state != dsCalcFields)
      return false;
    const char* slot = buffer + calc_offset_ + field.Offset();
    const bool has_value = slot[0] != 0;
    if (has_value && destination != nullptr) std::memcpy(destination, slot + 1, field.DataSize());
    return has_value;
  }
  const TFieldNode& node = NodeOf(field);
  if (node.Offset == record_width_ && buffer[record_width_] == kLockNotProbed) {
    PositionOn(buffer);
    buffer[record_width_] = table_.RecordIsLocked() ? 'T' : 'F';
  }
  try {
    const std::string raw = BufferToString(buffer + node.Offset, node.Length);
    const std::string trimmed = TrimTrailingBlanks(raw);
    // Copies a value in the framework's own form to the destination, when one is given.
    const auto store = [destination](const auto& value) {
      if (destination != nullptr) std::memcpy(destination, &value, sizeof value);
      return true;
    };
    switch (field.DataType()) {
      case ftString: {
        if (destination != nullptr) {
          const size_t n = std::min(trimmed.size(), static_cast<size_t>(field.DataSize() - 1));
          std::memcpy(destination, trimmed.data(), n);
          static_cast<char*>(destination)[n] = '\0';
        }
        return true;
      }
      case ftInteger: {
        if (IsNoNumber(trimmed)) return false;
        const double value = std::trunc(DbfToFloat(raw));
        if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max())
          throw Exception("the integer " + trimmed + " is out of range");
        return store(static_cast<int32_t>(value));
      }
      case ftBoolean:
        if (raw == " ") return false;
        return store(static_cast<int16_t>(!raw.empty() && CharToBool(raw[0]) ? 1 : 0));
      case ftFloat:
        if (IsNoNumber(trimmed)) return false;
        return store(DbfToFloat(raw));
      case ftDate:
      case ftDateTime: {
        const DateTime date = DbfToDate(raw);
        if (date.value == 0) return false;
        return field.DataType() == ftDate ? store(DateToOrdinal(date)) : store(date.value);
      }
      default:
        return false;
    }
  } catch (const std::exception& cause) {
    // The fixed text first, for those who look for it; then what failed and where.
    throw Exception("Database corruption detected. " + node.Name + ": " + cause.what());
  }
}

void TCBDataSet::SetFieldData(TField& field, const void* source) {
  const TDataSetState state = State();
  if (state != dsEdit && state != dsInsert && state != dsSetKey && state != dsCalcFields &&
      state != dsFilter && state != dsNewValue && state != dsInternalCalc)
    throw Exception(Name() + " is not in an edit/appending state.");
  char* buffer = BufferByRule();
  if (buffer == nullptr) return;
  if (field.FieldNo() < 0) {
    char* slot = buffer + calc_offset_ + field.Offset();
    slot[0] = source != nullptr ? 1 : 0;
    if (source != nullptr) std::memcpy(slot + 1, source, field.DataSize());
  } else {
    const TFieldNode& node = NodeOf(field);
    field.Validate(source);
    const char type = node.DbfType;
    std::string text;
    bool copy = true;
    auto require = [&](bool ok, const char* what) {
      if (!ok) throw Exception(node.Name + what);
    };
    // Texts, integers and numbers, set for every field of every record of a bulk copy,
    // are written straight into the record image.
    char* const image = buffer + node.Offset;
    switch (field.DataType()) {
      case ftString:
        require(type == 'C', " is not a character field.");
        if (source != nullptr) {
          const size_t n = strnlen(static_cast<const char*>(source), static_cast<size_t>(node.Length));
          std::memcpy(image, source, n);
          std::memset(image + n, ' ', static_cast<size_t>(node.Length) - n);
          copy = false;
        }
        break;
      case ftInteger:
        require(type == 'I' || type == 'N', " is not a numeric field.");
        if (source != nullptr) {
          const auto value = Load<int32_t>(source);
          if (node.Decimals > 0) {
            FloatToDbf(value, node.Length, node.Decimals, image);
          } else {
            IntToDbf(value, node.Length, image);
          }
          copy = false;
        }
        break;
      case ftBoolean:
        require(type == 'L', " is not a logical field.");
        text = source != nullptr ? std::string(1, BoolToChar(Load<int16_t>(source) != 0)) : " ";
        break;
      case ftFloat:
        require(type == 'F' || type == 'I' || type == 'N', " is not a numeric field.");
        if (source != nullptr) {
          FloatToDbf(Load<double>(source), node.Length, node.Decimals, image);
          copy = false;
        }
        break;
      case ftDate:
        require(type == 'D', " is not a date field.");
        if (source != nullptr) text = DateToDbf(OrdinalToDate(Load<int32_t>(source)));
        break;
      case ftDateTime:
        require(type == 'D', " is not a date field.");
        if (source != nullptr) {
          const double milliseconds = std::round(Load<double>(source) * 86400000.0);
          text = DateToDbf(DateTime{std::floor(milliseconds / 86400000.0)});
        }
        break;
      default:
        copy = false;
        break;
    }
    if (copy) {
      const int width = field.DataType() == ftBoolean ? 1 : node.Length;
      if (source == nullptr && field.DataType() != ftBoolean) text = RepeatChar(' ', width);
      if (static_cast<int>(text.size()) != width) text = PadRight(text, width);
      std::memcpy(buffer + node.Offset, text.data(), width);
    }
    SetChanged(buffer, node.Number - 1, true);
    SetModified(true);
  }
  if (state != dsCalcFields && state != dsFilter && state != dsNewValue) FieldChanged(field);
}

std::string TCBDataSet::MemoData(const std::string& field_name) {
  const std::string name = UpperCp1251(field_name);
  auto it = std::find_if(nodes_.begin(), nodes_.end(),
                         [&](const TFieldNode& node) { return node.Name == name; });
  if (it == nodes_.end()) throw Exception("Field: " + name + " not found.");
  if (it->BlobIndex < 0) throw Exception(field_name + " is not a BLOB. (internal error)");
  char* buffer = BufferByRule();
  if (buffer == nullptr) return std::string();
  if (Changed(buffer, it->Number - 1)) {
    const std::string* text = MemoCache(buffer, it->BlobIndex);
    return text != nullptr ? *text : std::string();
  }
  PositionOn(buffer);
  return table_.GetFieldString(name);
}

std::unique_ptr<TStream> TCBDataSet::CreateBlobStream(TField& field, TBlobStreamMode mode) {
  return std::make_unique<TBlobStream>(field, mode);
}

bool TCBDataSet::FilterRecord(const std::function<void(TDataSet&, bool&)>& handler) {
  if (!handler || filter_buffer_.empty()) return true;
  char* buffer = filter_buffer_.data();
  std::memcpy(buffer, d4recordLow(table_.DataHandle()), record_width_);
  buffer[record_width_] = ' ';
  ClearChangedFlags(buffer);
  const int32_t recno = static_cast<int32_t>(table_.RecNo());
  std::memcpy(buffer + bookmark_offset_, &recno, 4);
  const TDataSetState saved = SetTempState(dsFilter);
  bool accept = true;
  try {
    handler(*this, accept);
  } catch (...) {
    accept = false;  // a failing handler rejects the record
  }
  RestoreState(saved);
  return accept;
}

// --- listener registry ------------------------------------------------------------------------

TCBCtrlsEnv& TCBCtrlsEnv::Instance() {
  static TCBCtrlsEnv instance;
  return instance;
}

void TCBCtrlsEnv::Remove(IDBCtrs* listener) {
  listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

void TCBCtrlsEnv::NotifyDeleted(const std::string& table_path, int recno) {
  const std::vector<IDBCtrs*> listeners = listeners_;
  for (IDBCtrs* listener : listeners) {
    if (listener->TablePath() == table_path && listener->RecordNumber() == recno)
      listener->RecordDeleted();
  }
}

void TCBCtrlsEnv::NotifyChanged(const std::string& table_path, int recno) {
  const std::vector<IDBCtrs*> listeners = listeners_;
  for (IDBCtrs* listener : listeners) {
    if (listener->TablePath() == table_path && listener->RecordNumber() == recno)
      listener->RecordChanged();
  }
}

}  // namespace ks
