#include "db/engine/dataset/field.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>

#include "db/engine/dataset/dataset.h"

namespace ks {

namespace {

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && s[b] == ' ') ++b;
  while (e > b && s[e - 1] == ' ') --e;
  return s.substr(b, e - b);
}

// The whole text as one number: blanks around it and a leading '+' allowed, a decimal comma
// read as a point (so that an integer text with a comma fails on it).
template <typename Number>
bool ParseNumber(const std::string& text, Number& value) {
  std::string s = Trim(text);
  if (!s.empty() && s[0] == '+') s.erase(0, 1);
  for (char& c : s) {
    if (c == ',') c = '.';
  }
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  return !s.empty() && ec == std::errc() && end == s.data() + s.size();
}

std::string FloatText(double value) {
  char text[64];
  auto [end, ec] = std::to_chars(text, text + sizeof text, value);
  return ec == std::errc() ? std::string(text, end) : std::string();
}

std::string DateText(DateTime value) {
  int y = 0, m = 0, d = 0;
  DecodeDate(value, y, m, d);
  char text[32];
  std::snprintf(text, sizeof text, "%02d.%02d.%04d", d, m, y);
  return text;
}

// Reads "dd.mm.yyyy" (the display form) or "yyyy-mm-dd".
bool ParseDate(const std::string& text, DateTime& value) {
  int a = 0, b = 0, c = 0;
  const std::string s = Trim(text);
  if (std::sscanf(s.c_str(), "%d.%d.%d", &a, &b, &c) == 3) return TryEncodeDate(c, b, a, value);
  if (std::sscanf(s.c_str(), "%d-%d-%d", &a, &b, &c) == 3) return TryEncodeDate(a, b, c, value);
  return false;
}

int32_t RoundToInt(double value, const std::string& name) {
  const double r = std::nearbyint(value);
  if (!(r >= std::numeric_limits<int32_t>::min() && r <= std::numeric_limits<int32_t>::max()))
    throw EDatabaseError(std::string("Value out of range for field '") + name + "'");
  return static_cast<int32_t>(r);
}

// The value a numeric field's text gives; kind names the type in the message.
template <typename Number>
Number ParsedNumber(const std::string& text, const char* kind) {
  Number number = 0;
  if (!ParseNumber(text, number)) throw EDatabaseError("'" + text + "' is not a valid " + kind + " value");
  return number;
}

// The native value of the field; nothing when it is null.
template <typename T>
std::optional<T> StoredValue(const TField& field) {
  T value{};
  if (!field.GetData(&value)) return std::nullopt;
  return value;
}

}  // namespace

// --- TField -----------------------------------------------------------------------------

bool TField::GetData(void* buffer) const {
  if (validating_) {
    if (validating_buffer_ == nullptr) return false;
    if (buffer != nullptr) std::memcpy(buffer, validating_buffer_, DataSize());
    return true;
  }
  if (dataset_ == nullptr) return false;
  return dataset_->GetFieldData(const_cast<TField&>(*this), buffer);
}

void TField::SetData(const void* buffer) {
  if (dataset_ == nullptr) throw EDatabaseError("Field '" + field_name_ + "' has no dataset");
  if (read_only_ && !Calculated())
    throw EDatabaseError("Field '" + DisplayLabel() + "' cannot be modified");
  dataset_->SetFieldData(*this, buffer);
}

void TField::Validate(const void* buffer) {
  if (!OnValidate) return;
  validating_ = true;
  validating_buffer_ = buffer;
  try {
    OnValidate(*this);
  } catch (...) {
    validating_ = false;
    validating_buffer_ = nullptr;
    throw;
  }
  validating_ = false;
  validating_buffer_ = nullptr;
}

bool TField::IsNull() const { return !GetData(nullptr); }

void TField::ConversionError(const char* to) const {
  throw EDatabaseError("'" + AsString() + "' is not a valid " + to + " value for field '" +
                       DisplayLabel() + "'");
}

void TField::AssignmentError(const char* value) const {
  throw EDatabaseError("Field '" + DisplayLabel() + "' cannot take " + value + " value");
}

int32_t TField::AsInteger() const { ConversionError("integer"); }
void TField::SetAsInteger(int32_t) { AssignmentError("an integer"); }
double TField::AsFloat() const { ConversionError("floating-point"); }
void TField::SetAsFloat(double) { AssignmentError("a floating-point"); }
bool TField::AsBoolean() const { ConversionError("boolean"); }
void TField::SetAsBoolean(bool) { AssignmentError("a boolean"); }
DateTime TField::AsDateTime() const { ConversionError("date"); }
void TField::SetAsDateTime(DateTime) { AssignmentError("a date"); }

void TField::SetAsVariant(const Variant& value) {
  if (value.IsNull()) {
    Clear();
  } else if (value.Is<std::string>()) {
    SetAsString(value.As<std::string>());
  } else if (value.Is<int32_t>()) {
    SetAsInteger(value.As<int32_t>());
  } else if (value.Is<double>()) {
    SetAsFloat(value.As<double>());
  } else if (value.Is<bool>()) {
    SetAsBoolean(value.As<bool>());
  } else if (value.Is<DateTime>()) {
    SetAsDateTime(value.As<DateTime>());
  } else {
    throw EDatabaseError("Field '" + DisplayLabel() + "' cannot take an array value");
  }
}

// --- TStringField -----------------------------------------------------------------------

std::string TStringField::AsString() const {
  std::string buffer(DataSize(), '\0');
  if (!GetData(buffer.data())) return std::string();
  return std::string(buffer.c_str());
}

void TStringField::SetAsString(const std::string& value) {
  std::string buffer = value.substr(0, Size());
  buffer.resize(DataSize(), '\0');  // a field's data is read at its whole size
  SetData(buffer.data());
}

int32_t TStringField::AsInteger() const {
  int32_t value = 0;
  if (!ParseNumber(AsString(), value)) ConversionError("integer");
  return value;
}

double TStringField::AsFloat() const {
  double value = 0;
  if (!ParseNumber(AsString(), value)) ConversionError("floating-point");
  return value;
}

bool TStringField::AsBoolean() const {
  const std::string s = Trim(AsString());
  if (s.empty()) return false;
  const char c = s[0];
  if (c == 'T' || c == 't' || c == 'Y' || c == 'y') return true;
  if (c == 'F' || c == 'f' || c == 'N' || c == 'n') return false;
  ConversionError("boolean");
}

Variant TStringField::AsVariant() const {
  return IsNull() ? Variant() : Variant(AsString());
}

// --- TIntegerField ----------------------------------------------------------------------

std::string TIntegerField::AsString() const {
  const auto value = StoredValue<int32_t>(*this);
  return value ? std::to_string(*value) : std::string();
}

void TIntegerField::SetAsString(const std::string& value) {
  if (Trim(value).empty()) return Clear();
  SetAsInteger(ParsedNumber<int32_t>(value, "integer"));
}

int32_t TIntegerField::AsInteger() const { return StoredValue<int32_t>(*this).value_or(0); }

void TIntegerField::SetAsInteger(int32_t value) { SetData(&value); }

void TIntegerField::SetAsFloat(double value) { SetAsInteger(RoundToInt(value, FieldName())); }

Variant TIntegerField::AsVariant() const {
  const auto value = StoredValue<int32_t>(*this);
  return value ? Variant(*value) : Variant();
}

// --- TFloatField ------------------------------------------------------------------------

std::string TFloatField::AsString() const {
  const auto value = StoredValue<double>(*this);
  return value ? FloatText(*value) : std::string();
}

void TFloatField::SetAsString(const std::string& value) {
  if (Trim(value).empty()) return Clear();
  SetAsFloat(ParsedNumber<double>(value, "floating-point"));
}

int32_t TFloatField::AsInteger() const { return RoundToInt(AsFloat(), FieldName()); }

double TFloatField::AsFloat() const { return StoredValue<double>(*this).value_or(0); }

void TFloatField::SetAsFloat(double value) { SetData(&value); }

Variant TFloatField::AsVariant() const {
  const auto value = StoredValue<double>(*this);
  return value ? Variant(*value) : Variant();
}

// --- TBooleanField ----------------------------------------------------------------------

std::string TBooleanField::AsString() const {
  int16_t value = 0;
  if (!GetData(&value)) return std::string();
  return value ? "True" : "False";
}

void TBooleanField::SetAsString(const std::string& value) {
  const std::string s = Trim(value);
  if (s.empty()) return Clear();
  const char c = s[0];
  if (c == 'T' || c == 't' || c == 'Y' || c == 'y') return SetAsBoolean(true);
  if (c == 'F' || c == 'f' || c == 'N' || c == 'n') return SetAsBoolean(false);
  throw EDatabaseError("'" + value + "' is not a valid boolean value");
}

bool TBooleanField::AsBoolean() const {
  int16_t value = 0;
  return GetData(&value) && value != 0;
}

void TBooleanField::SetAsBoolean(bool value) {
  const int16_t native = value ? 1 : 0;
  SetData(&native);
}

Variant TBooleanField::AsVariant() const {
  int16_t value = 0;
  return GetData(&value) ? Variant(value != 0) : Variant();
}

// --- TDateField and TDateTimeField --------------------------------------------------------

std::string TDateField::AsString() const { return IsNull() ? std::string() : DateText(AsDateTime()); }

void TDateField::SetAsString(const std::string& value) {
  if (Trim(value).empty()) return Clear();
  DateTime date;
  if (!ParseDate(value, date)) throw EDatabaseError("'" + value + "' is not a valid date");
  SetAsDateTime(date);
}

DateTime TDateField::AsDateTime() const {
  int32_t day = 0;
  return GetData(&day) ? OrdinalToDate(day) : DateTime{0};
}

void TDateField::SetAsDateTime(DateTime value) {
  const int32_t day = DateToOrdinal(DateTime{std::floor(value.value)});
  SetData(&day);
}

Variant TDateField::AsVariant() const { return IsNull() ? Variant() : Variant(AsDateTime()); }

DateTime TDateTimeField::AsDateTime() const {
  double value = 0;
  return GetData(&value) ? DateTime{value} : DateTime{0};
}

void TDateTimeField::SetAsDateTime(DateTime value) { SetData(&value.value); }

// --- TBlobField -------------------------------------------------------------------------

bool TBlobField::GetData(void*) const {
  if (DataSet() == nullptr) return false;
  auto stream = DataSet()->CreateBlobStream(const_cast<TBlobField&>(*this), bmRead);
  return stream->Size() > 0;
}

std::string TBlobField::AsString() const {
  if (DataSet() == nullptr) return std::string();
  auto stream = DataSet()->CreateBlobStream(const_cast<TBlobField&>(*this), bmRead);
  std::string text(static_cast<size_t>(std::max<int64_t>(stream->Size(), 0)), '\0');
  text.resize(static_cast<size_t>(stream->Read(text.data(), static_cast<int64_t>(text.size()))));
  return text;
}

void TBlobField::SetAsString(const std::string& value) {
  if (DataSet() == nullptr) throw EDatabaseError("Field '" + FieldName() + "' has no dataset");
  auto stream = DataSet()->CreateBlobStream(*this, bmWrite);
  stream->Write(value.data(), static_cast<int64_t>(value.size()));
}

std::unique_ptr<TField> CreateFieldOfType(TFieldType type) {
  switch (type) {
    case ftString: case ftFixedChar: case ftWideString:
      return std::make_unique<TStringField>();
    case ftSmallint: case ftInteger: case ftWord: case ftAutoInc:
      return std::make_unique<TIntegerField>();
    case ftFloat: case ftCurrency: case ftBCD:
      return std::make_unique<TFloatField>();
    case ftBoolean: return std::make_unique<TBooleanField>();
    case ftDate: return std::make_unique<TDateField>();
    case ftDateTime: case ftTime: return std::make_unique<TDateTimeField>();
    case ftMemo: case ftFmtMemo: return std::make_unique<TMemoField>();
    case ftBlob: case ftGraphic: case ftTypedBinary: return std::make_unique<TBlobField>();
    default:
      throw EDatabaseError("Field type " + std::to_string(static_cast<int>(type)) +
                           " is not supported");
  }
}

}  // namespace ks
