#include "legacy/legacy_table.h"

#include <algorithm>
#include <array>
#include <limits>

#include "common/codepage.h"
#include "common/exception.h"
#include "common/paths.h"
#include "legacy/legacy_alias.h"

namespace ks {
namespace {

std::array<unsigned char, 256> MakeCaseFold() {
  std::array<unsigned char, 256> fold{};
  for (int c = 0; c < 256; ++c) fold[c] = static_cast<unsigned char>(UpperCp1251(static_cast<char>(c)));
  return fold;
}

const std::array<unsigned char, 256> kCaseFold = MakeCaseFold();

// Field names compare without regard to case, and the stages look fields up by name for
// every value, so the comparison must not allocate; the name as declared matches first.
bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  if (a == b) return true;
  for (size_t i = 0; i < a.size(); ++i) {
    if (kCaseFold[static_cast<unsigned char>(a[i])] != kCaseFold[static_cast<unsigned char>(b[i])]) return false;
  }
  return true;
}

}  // namespace

// --- TLegacyField

const ParadoxTable& TLegacyField::Reader() const {
  if (!table_->reader_.IsOpen()) table_->RequireActive();
  if (table_->reader_.Eof()) table_->Fail(W("Чтение поля ") + name_ + W(" за концом таблицы ") + table_->TableName());
  return table_->reader_;
}

bool TLegacyField::IsNull() const { return Absent() || Reader().IsNull(index_); }

int32_t TLegacyField::AsInteger() const {
  if (Absent()) return 0;
  const int64_t value = Reader().AsInteger(index_);
  if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max()) {
    table_->Fail(W("Значение поля ") + name_ + W(" таблицы ") + table_->TableName() + W(" не умещается в целое"));
  }
  return static_cast<int32_t>(value);
}

std::string TLegacyField::AsString() const { return Absent() ? std::string() : Reader().AsText(index_); }

double TLegacyField::AsFloat() const { return Absent() ? 0.0 : Reader().AsDouble(index_); }

bool TLegacyField::AsBoolean() const { return Absent() ? false : Reader().AsLogical(index_); }

DateTime TLegacyField::AsDateTime() const { return Absent() ? DateTime{0} : Reader().AsDateTime(index_); }

// --- TLegacyTable

TLegacyTable::TLegacyTable(std::string name) : name_(std::move(name)) {}
TLegacyTable::~TLegacyTable() = default;

void TLegacyTable::Fail(const std::string& cp1251_message) const { throw Exception(cp1251_message); }

void TLegacyTable::RequireActive() const {
  if (!Active()) Fail(W("Таблица ") + (table_name_.empty() ? name_ : table_name_) + W(" не открыта"));
}

void TLegacyTable::SetDirectory(std::string dir) {
  directory_ = WithTrailingDelimiter(dir);
}

void TLegacyTable::SetTableName(std::string table_name) {
  if (Active()) Fail(W("Нельзя сменить имя открытой таблицы ") + table_name_);
  table_name_ = std::move(table_name);
}

void TLegacyTable::AddFieldDef(std::string name, TLegacyFieldKind kind, int size) {
  field_defs_.push_back({std::move(name), kind, size});
}

void TLegacyTable::SetFieldAbsent(std::string_view name, bool absent) {
  const std::string upper = UpperCp1251(name);
  auto it = std::find(absent_.begin(), absent_.end(), upper);
  if (absent && it == absent_.end()) absent_.push_back(upper);
  if (!absent && it != absent_.end()) absent_.erase(it);
}

bool TLegacyTable::FieldAbsent(std::string_view name) const {
  return std::find(absent_.begin(), absent_.end(), UpperCp1251(name)) != absent_.end();
}

void TLegacyTable::Open() {
  Close();
  if (table_name_.empty()) Fail(W("Не задано имя таблицы ") + name_);
  if (!DirectoryExists(directory_)) Fail(W("Не найден каталог базы данных VeltroData: ") + directory_);
  const std::string db_path = FindFileIgnoringCase(directory_, table_name_ + ".DB");
  if (db_path.empty()) Fail(W("Не найдена таблица ") + table_name_ + W(" в каталоге ") + directory_);
  const std::string mb_path = FindFileIgnoringCase(directory_, table_name_ + ".MB");
  reader_.Open(db_path, mb_path, table_name_, chains_);
  try {
    for (const TLegacyFieldDef& def : field_defs_) {
      if (FieldAbsent(def.name)) {
        fields_.emplace_back(new TLegacyField(this, def.name, -1));
        continue;
      }
      const int index = reader_.FindField(def.name);
      if (index < 0) Fail(W("В таблице ") + table_name_ + W(" нет поля ") + def.name + " (" + db_path + ")");
      fields_.emplace_back(new TLegacyField(this, def.name, index));
    }
  } catch (...) {
    Close();
    throw;
  }
}

void TLegacyTable::Close() {
  reader_.Close();
  fields_.clear();
  lookup_start_ = 0;
}

void TLegacyTable::First() {
  RequireActive();
  reader_.First();
}

void TLegacyTable::Next() {
  RequireActive();
  reader_.Next();
}

bool TLegacyTable::Eof() const {
  RequireActive();
  return reader_.Eof();
}

int TLegacyTable::RecordCount() const {
  RequireActive();
  return static_cast<int>(std::min<uint32_t>(reader_.RecordCount(), std::numeric_limits<int>::max()));
}

const TLegacyField& TLegacyTable::FieldByName(std::string_view name) {
  RequireActive();
  // Stages read the fields in about the declared order: start after the last one found.
  const size_t count = fields_.size();
  for (size_t n = 0; n < count; ++n) {
    const size_t i = (lookup_start_ + n) % count;
    if (SameName(fields_[i]->FieldName(), name)) {
      lookup_start_ = i + 1;
      return *fields_[i];
    }
  }
  const int index = reader_.FindField(name);
  if (index < 0) Fail(W("В таблице ") + table_name_ + W(" нет поля ") + std::string(name));
  fields_.emplace_back(new TLegacyField(this, reader_.Fields()[index].name, index));
  return *fields_.back();
}

bool TLegacyTable::FieldExists(std::string_view name) const {
  RequireActive();
  return reader_.FindField(name) >= 0;
}

bool TLegacyTable::FindKey(int32_t key) {
  RequireActive();
  const TLegacyField& field = FieldByName(key_field_.empty() ? reader_.Fields()[0].name : key_field_);
  if (field.Absent()) {
    // A key field the table lacks reads blank, so no key can match.
    reader_.GoToEnd();
    return false;
  }
  return reader_.Find(field.index_, key);
}

const ParadoxCodePage& TLegacyTable::CodePage() const {
  RequireActive();
  return reader_.CodePage();
}

std::vector<std::pair<std::string, int64_t>> TLegacyTable::TakeTextLosses() {
  std::vector<std::pair<std::string, int64_t>> losses;
  if (!Active()) return losses;
  const std::vector<int64_t>& counts = reader_.TextLosses();
  for (size_t i = 0; i < counts.size(); ++i) {
    if (counts[i] > 0) losses.emplace_back(reader_.Fields()[i].name, counts[i]);
  }
  reader_.ClearTextLosses();
  return losses;
}

}  // namespace ks
