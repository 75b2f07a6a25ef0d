#pragma once
// Field objects: one typed value of the dataset's current record. A field reads and writes
// its value through its dataset in a native form (see DataSize), and null is "no data".

#include <functional>
#include <memory>
#include <string>

#include "common/date_time.h"
#include "common/non_copyable.h"
#include "common/variant.h"
#include "db/engine/dataset/types.h"

namespace ks {

class TDataSet;

class TField : NonCopyable {
 public:
  using TFieldNotifyEvent = std::function<void(TField&)>;

  explicit TField(TFieldType type) : data_type_(type) {}
  virtual ~TField() = default;

  // Description.
  const std::string& FieldName() const { return field_name_; }
  void SetFieldName(const std::string& name) { field_name_ = name; }
  std::string DisplayLabel() const { return display_label_.empty() ? field_name_ : display_label_; }
  void SetDisplayLabel(const std::string& label) { display_label_ = label; }
  bool Visible() const { return visible_; }
  void SetVisible(bool visible) { visible_ = visible; }
  int Size() const { return size_; }
  void SetSize(int size) { size_ = size; }
  int FieldNo() const { return field_no_; }
  TFieldType DataType() const { return data_type_; }
  bool Required() const { return required_; }
  void SetRequired(bool required) { required_ = required; }
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool read_only) { read_only_ = read_only; }
  TFieldKind FieldKind() const { return field_kind_; }
  void SetFieldKind(TFieldKind kind) { field_kind_ = kind; }
  bool Calculated() const { return field_kind_ == fkCalculated; }
  TDataSet* DataSet() const { return dataset_; }
  bool IsBlob() const { return data_type_ == ftMemo || data_type_ == ftBlob; }
  // Bytes of the native value: text + terminator, int32, double, int16 logical, ...
  virtual int DataSize() const = 0;
  // Position of the value in the calculated-field area (calculated fields only).
  int Offset() const { return offset_; }

  TFieldNotifyEvent OnValidate;  // runs before a new value is stored; reads see that value
  TFieldNotifyEvent OnChange;    // runs after a value was stored

  // Values.
  bool IsNull() const;
  virtual std::string AsString() const = 0;
  virtual void SetAsString(const std::string& value) = 0;
  virtual int32_t AsInteger() const;
  virtual void SetAsInteger(int32_t value);
  virtual double AsFloat() const;
  virtual void SetAsFloat(double value);
  virtual bool AsBoolean() const;
  virtual void SetAsBoolean(bool value);
  virtual DateTime AsDateTime() const;
  virtual void SetAsDateTime(DateTime value);
  virtual Variant AsVariant() const = 0;
  void SetAsVariant(const Variant& value);
  void Clear() { SetData(nullptr); }

  // The native value; false when the field has none. buffer may be null to ask only.
  virtual bool GetData(void* buffer) const;
  // Stores the native value; null stores no value.
  void SetData(const void* buffer);
  // Runs OnValidate with the new value visible to the handler.
  void Validate(const void* buffer);
  bool Modified() const { return modified_; }
  void SetModified(bool modified) { modified_ = modified; }

 protected:
  [[noreturn]] void ConversionError(const char* to) const;
  // "Field 'X' cannot take " + value + " value": a type this field does not store.
  [[noreturn]] void AssignmentError(const char* value) const;

 private:
  friend class TDataSet;
  std::string field_name_;
  std::string display_label_;
  bool visible_ = true;
  int size_ = 0;
  int field_no_ = 0;
  TFieldType data_type_;
  bool required_ = false;
  bool read_only_ = false;
  TFieldKind field_kind_ = fkData;
  TDataSet* dataset_ = nullptr;
  int offset_ = 0;
  bool modified_ = false;
  bool validating_ = false;
  const void* validating_buffer_ = nullptr;
};

class TStringField : public TField {
 public:
  TStringField() : TField(ftString) { SetSize(20); }
  int DataSize() const override { return Size() + 1; }
  std::string AsString() const override;
  void SetAsString(const std::string& value) override;
  int32_t AsInteger() const override;
  void SetAsInteger(int32_t value) override { SetAsString(std::to_string(value)); }
  double AsFloat() const override;
  bool AsBoolean() const override;
  void SetAsBoolean(bool value) override { SetAsString(value ? "True" : "False"); }
  Variant AsVariant() const override;
};

class TIntegerField : public TField {
 public:
  TIntegerField() : TField(ftInteger) {}
  int DataSize() const override { return 4; }
  std::string AsString() const override;
  void SetAsString(const std::string& value) override;
  int32_t AsInteger() const override;
  void SetAsInteger(int32_t value) override;
  double AsFloat() const override { return AsInteger(); }
  void SetAsFloat(double value) override;
  Variant AsVariant() const override;
};

class TFloatField : public TField {
 public:
  TFloatField() : TField(ftFloat) {}
  int DataSize() const override { return 8; }
  std::string AsString() const override;
  void SetAsString(const std::string& value) override;
  int32_t AsInteger() const override;
  void SetAsInteger(int32_t value) override { SetAsFloat(value); }
  double AsFloat() const override;
  void SetAsFloat(double value) override;
  Variant AsVariant() const override;
};

class TBooleanField : public TField {
 public:
  TBooleanField() : TField(ftBoolean) {}
  int DataSize() const override { return 2; }
  std::string AsString() const override;
  void SetAsString(const std::string& value) override;
  bool AsBoolean() const override;
  void SetAsBoolean(bool value) override;
  Variant AsVariant() const override;
};

// Dates travel as the day number since 0001-01-01 (int32); date-times as DateTime (double).
// Both read and write their text and variant forms through AsDateTime and SetAsDateTime.
class TDateField : public TField {
 public:
  TDateField() : TField(ftDate) {}
  int DataSize() const override { return 4; }
  std::string AsString() const override;
  void SetAsString(const std::string& value) override;
  DateTime AsDateTime() const override;
  void SetAsDateTime(DateTime value) override;
  Variant AsVariant() const override;

 protected:
  explicit TDateField(TFieldType type) : TField(type) {}
};

class TDateTimeField : public TDateField {
 public:
  TDateTimeField() : TDateField(ftDateTime) {}
  int DataSize() const override { return 8; }
  DateTime AsDateTime() const override;
  void SetAsDateTime(DateTime value) override;
};

// Blob and memo values are read and written through the dataset's blob stream.
class TBlobField : public TField {
 public:
  TBlobField() : TField(ftBlob) {}
  int DataSize() const override { return 0; }
  bool GetData(void* buffer) const override;  // true when the blob is not empty
  std::string AsString() const override;
  void SetAsString(const std::string& value) override;
  Variant AsVariant() const override { return IsNull() ? Variant() : Variant(AsString()); }
  // Memo text passes the ANSI/OEM conversion in the stream when this is on.
  bool Transliterate() const { return transliterate_; }
  void SetTransliterate(bool on) { transliterate_ = on; }

 protected:
  explicit TBlobField(TFieldType type) : TField(type) {}

 private:
  bool transliterate_ = false;
};

class TMemoField : public TBlobField {
 public:
  TMemoField() : TBlobField(ftMemo) { SetTransliterate(true); }
};

// A field object of the class that holds values of the given type.
std::unique_ptr<TField> CreateFieldOfType(TFieldType type);

}  // namespace ks
