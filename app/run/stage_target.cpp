#include "app/run/stage_target.h"

#include <array>
#include <charconv>
#include <cmath>

#include "app/run/stage_frame.h"
#include "common/codepage.h"
#include "common/exception.h"
#include "db/engine/field_text.h"
#include "xml/table_lookup.h"

namespace ks {
namespace {

bool IsFloatType(TFieldType type) { return type == ftFloat; }

// The shortest text that reads back as the number, with a point whatever the locale; in
// plain digits as an accountant writes it, unless it is astronomically large.
std::string NumberText(double value) {
  char text[64];
  const auto format = std::fabs(value) < 1e21 ? std::chars_format::fixed : std::chars_format::general;
  const auto end = std::to_chars(text, text + sizeof text, value, format).ptr;
  return std::string(text, end);
}

// The bytes that do not survive the way to 866 and back.
const std::array<bool, 256>& MissingIn866Table() {
  static const std::array<bool, 256> kMissing = [] {
    std::array<bool, 256> missing{};
    for (int b = 0; b < 256; ++b) {
      const char c = static_cast<char>(b);
      missing[b] = OemToAnsi(AnsiToOem(std::string(1, c))) != std::string(1, c);
    }
    return missing;
  }();
  return kMissing;
}

}  // namespace

bool MissingIn866(unsigned char byte) { return MissingIn866Table()[byte]; }

// --- TargetField

TargetField::TargetField(ConversionReport& report, const std::string& table, const std::string& name, TField* field,
                         TFieldType type, int width)
    : name_(name), field_(field), type_(type), width_(width), report_(report) {
  if (type == ftString) {
    losses_ = &report.ValueLossEntry(table, name, ValueLoss::kTextCut, width);
  } else if (type == ftMemo) {
    losses_ = &report.ValueLossEntry(table, name, ValueLoss::kMissingIn866, 0);
  } else if (IsFloatType(type)) {
    losses_ = &report.ValueLossEntry(table, name, ValueLoss::kNumberOverflow, width);
  } else if (type == ftInteger || type == ftSmallint || type == ftWord || type == ftAutoInc) {
    losses_ = &report.ValueLossEntry(table, name, ValueLoss::kNumberTooLarge, 0);
  }
}

void TargetField::CheckText(const std::string& value) {
  // Blanks past the width are no loss: a stored text reads back without trailing blanks.
  if (static_cast<int>(value.size()) > width_ && value.find_first_not_of(' ', width_) != std::string::npos) {
    if (RecordExample* example = report_.CountValueLoss(*losses_)) {
      example->held = ExampleValue::Of(value, width_);
      example->stored = ExampleValue::Of(std::string_view(value).substr(0, width_), width_);
    }
  }
}

void TargetField::CheckMemo(const std::string& value) {
  const std::array<bool, 256>& missing = MissingIn866Table();
  for (size_t i = 0; i < value.size(); ++i) {
    if (missing[static_cast<unsigned char>(value[i])]) {
      if (RecordExample* example = report_.CountValueLoss(*losses_)) {
        example->held = ExampleValue::Of(value, i);
        example->stored = ExampleValue::SameStretch(example->held, OemToAnsi(AnsiToOem(value)));
      }
      return;
    }
  }
}

void TargetField::CheckFloat(double value) {
  // Anything below this fits with its sign, with a digit to spare for rounding; only
  // values near or past the limit (and non-numbers) take the exact test.
  static const double kSafe = std::pow(10.0, kFloatFieldWidth - kFloatFieldDecimals - 3);
  if (std::fabs(value) < kSafe) return;
  const std::string stored = FloatToDbf(value, kFloatFieldWidth, kFloatFieldDecimals);
  if (!IsOverflowMark(stored)) return;
  if (RecordExample* example = report_.CountValueLoss(*losses_)) {
    example->held = ExampleValue::Of(NumberText(value));
    example->stored = ExampleValue::Of(stored);
  }
}

void TargetField::SetAsString(const std::string& value) {
  if (type_ == ftString) CheckText(value);
  else if (type_ == ftMemo) CheckMemo(value);
  if (field_ != nullptr) field_->SetAsString(value);
}

void TargetField::SetAsInteger(int32_t value, bool value_lost, std::string_view held) {
  if (value_lost && losses_ != nullptr) {
    if (RecordExample* example = report_.CountValueLoss(*losses_)) {
      example->held = ExampleValue::Of(held.empty() ? std::string_view("?") : held);
      example->stored = ExampleValue::Of(std::to_string(value));
    }
  }
  if (field_ != nullptr) field_->SetAsInteger(value);
}

void TargetField::SetAsFloat(double value) {
  if (IsFloatType(type_)) CheckFloat(value);
  if (field_ != nullptr) field_->SetAsFloat(value);
}

void TargetField::SetAsBoolean(bool value) {
  if (field_ != nullptr) field_->SetAsBoolean(value);
}

void TargetField::SetAsDateTime(DateTime value) {
  if (field_ != nullptr) field_->SetAsDateTime(value);
}

// --- StageTarget

StageTarget::StageTarget(StageFrame& frame, TCBTableSet& set)
    : frame_(frame), set_(set), table_(BareTableName(set.TableName())), dry_(frame.Dry()) {
  frame.SetTarget(set.TableName());
}

TargetField& StageTarget::FieldByName(const std::string& name) {
  for (const auto& field : fields_) {
    if (field->Name() == name) return *field;
  }
  const TqrxFieldDefs& defs = FindTableDef(set_.TableName()).FieldDefs();
  for (const TqrxFieldDef& def : defs) {
    if (UpperCp1251(def.Name()) != UpperCp1251(name)) continue;
    const auto type = static_cast<TFieldType>(def.FieldType());
    const int width = type == ftString ? def.Size() : IsFloatType(type) ? kFloatFieldWidth : 0;
    TField* field = dry_ ? nullptr : &set_.FieldByName(name);
    fields_.push_back(std::make_unique<TargetField>(frame_.Report(), table_, name, field, type, width));
    return *fields_.back();
  }
  // Not in the schema: the table set raises its own message for it.
  if (!dry_) set_.FieldByName(name);
  throw Exception("Field: " + UpperCp1251(name) + " not found.");
}

void StageTarget::Append() {
  if (!dry_) set_.Append();
}

void StageTarget::Post() {
  if (!dry_) set_.Post();
  frame_.CountWritten();
}

}  // namespace ks
