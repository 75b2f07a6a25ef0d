#pragma once
// The target table set of a stage, as the stage writes to it: every value passes a check
// that costs a comparison or two (a text against the field's width, a number against the
// field's digits, a memo's bytes against code page 866) and counts in the report what
// cannot be stored as it is, before the table set stores it the way it always does. In a
// dry check nothing is written: the checks run alone.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/report/conversion_report.h"
#include "common/date_time.h"
#include "common/non_copyable.h"
#include "db/engine/cb_table_set.h"

namespace ks {

class StageFrame;

class TargetField {
 public:
  // field: the table set's field, or null in a dry check. type and width are those the
  // table was created with.
  TargetField(ConversionReport& report, const std::string& table, const std::string& name, TField* field,
              TFieldType type, int width);

  void SetAsString(const std::string& value);
  // value_lost: value stands in for one the field cannot hold; it is counted in the report,
  // with held, the legacy value it came from, as the example.
  void SetAsInteger(int32_t value, bool value_lost = false, std::string_view held = {});
  void SetAsFloat(double value);
  void SetAsBoolean(bool value);
  void SetAsDateTime(DateTime value);

  const std::string& Name() const { return name_; }

 private:
  void CheckText(const std::string& value);
  void CheckMemo(const std::string& value);
  void CheckFloat(double value);

  std::string name_;
  TField* field_;
  TFieldType type_;
  int width_;
  ConversionReport& report_;
  ValueLossCount* losses_ = nullptr;  // the report's entry for this field's kind of loss
};

class StageTarget : NonCopyable {
 public:
  // Registers the target with the stage's counts. The set must be open unless the frame
  // is a dry check.
  StageTarget(StageFrame& frame, TCBTableSet& set);

  // The field by name; looked up once per stage.
  TargetField& FieldByName(const std::string& name);
  void Append();
  // Posts the record and counts it written.
  void Post();

  TCBTableSet& Set() { return set_; }

 private:
  StageFrame& frame_;
  TCBTableSet& set_;
  std::string table_;  // upper-case name without extension, for the report
  bool dry_;
  TFieldDefs defs_;  // as the table is created
  std::vector<std::unique_ptr<TargetField>> fields_;
};

// True for a Windows-1251 byte that code page 866 has no counterpart for.
bool MissingIn866(unsigned char byte);

}  // namespace ks
