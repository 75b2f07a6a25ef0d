#pragma once
// A record the report names: which legacy record, which target field, and the value as the
// legacy table held it beside the value as it was stored. The report keeps the first few of
// every kind of loss, so that whoever signs the migration off knows where to look.
//
// Texts are Windows-1251 bytes exactly as they came, also when they are not valid text:
// whoever shows them escapes them (DisplayText).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ks {

// Examples kept per kind; beyond them only the count grows.
inline constexpr size_t kReportExampleLimit = 20;
// Bytes of a value an example keeps; a longer value keeps an excerpt of this many.
inline constexpr size_t kExampleValueLimit = 240;

// A legacy record: its table and identifier, or its record number where the table has no
// identifier.
struct LegacyRecordName {
  std::string table;     // legacy table name ("FirmRef"); empty for a record the run makes itself
  std::string id_field;  // identifier field ("RefID"); empty: id is the record number, from 1
  int64_t id = 0;
};

// A value, or an excerpt of a long one.
struct ExampleValue {
  std::string text;   // at most kExampleValueLimit bytes
  size_t from = 0;    // where the excerpt starts in the whole value
  size_t length = 0;  // bytes of the whole value

  // The whole value when it is short, otherwise kExampleValueLimit bytes that start a
  // little before focus (the place where the value lost something).
  static ExampleValue Of(std::string_view value, size_t focus = 0);
  // The same stretch of another value of equal length (the stored form of a memo).
  static ExampleValue SameStretch(const ExampleValue& like, std::string_view value);
  bool Excerpt() const { return from > 0 || text.size() < length; }
};

struct RecordExample {
  LegacyRecordName record;
  std::string table;  // target table ("FIRM")
  std::string field;  // target field ("ADDRESS")
  ExampleValue held;    // as the legacy table held it
  ExampleValue stored;  // as it was stored
};

// The first kReportExampleLimit records of a kind.
struct RecordExamples {
  std::vector<RecordExample> first;

  bool Full() const { return first.size() >= kReportExampleLimit; }
};

}  // namespace ks
