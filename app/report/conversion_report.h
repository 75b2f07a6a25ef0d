#pragma once
// What a run (or a dry check) found besides its log: records read, skipped and written per
// stage, values that could not be stored as they are, legacy identifiers that occur more
// than once, and goods lines whose document was not converted. The run fills it; the
// command line prints it as warnings and writes it as JSON.
//
// Texts are Windows-1251 like everything in the data layer; the JSON and the warning lines
// are UTF-8.

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/run/identifier_set.h"
#include "app/report/record_example.h"
#include "app/verify/control_totals.h"
#include "app/verify/verification_result.h"

namespace ks {

// Why a value could not be stored exactly as the legacy package holds it.
enum class ValueLoss {
  kTextCut,          // a text longer than its character field: the rest is cut off
  kNumberOverflow,   // a number too wide for its field: stored as the overflow mark (asterisks)
  kMissingIn866,     // a memo character that code page 866 lacks: stored as "?"
  kNumberTooLarge,   // digits too many for an integer field (a document number): stored as 0
  kMissingIn1251,    // a text of a legacy table in 866 with a character 1251 lacks: read as "?"
};

// One target field and one kind of loss, with the number of values affected.
struct ValueLossCount {
  std::string table;  // target table name, upper case ("FIRM"); for kMissingIn1251 the legacy table
  std::string field;  // target field name ("FULLNAME"); for kMissingIn1251 the legacy field
  ValueLoss loss = ValueLoss::kTextCut;
  int width = 0;  // characters of the field (0 for a memo)
  int64_t count = 0;
  RecordExamples examples;  // the first values affected
};

// The code page a legacy table's texts were read in, and how it was decided.
struct LegacyCodePage {
  std::string table;     // legacy table name ("Document")
  int code_page = 1251;
  int header_field = 0;  // the header's code-page field; 0 when it has none
  std::string basis;     // "header", "texts", "sort_order" or "no_evidence"
  int64_t dos_letters = 0;      // Cyrillic letters only 866 has, when the texts decided
  int64_t windows_letters = 0;  // and those only 1251 has
  std::string description;      // what was chosen and why (UTF-8)

  bool Translated() const { return code_page == 866; }
  bool Foreign() const { return code_page != 1251 && code_page != 866; }
};

// Identifiers kept in a list of a report entry; beyond this only the count grows, so that
// a pathological table cannot make the report as big as the table.
inline constexpr size_t kReportListLimit = 1000;

struct IdentifierList {
  int64_t count = 0;              // occurrences (a duplicate: every occurrence after the first)
  std::set<int32_t> identifiers;  // distinct values, at most kReportListLimit
  RecordExamples examples;        // the first records, named

  void Add(int32_t id) {
    ++count;
    if (identifiers.size() < kReportListLimit) identifiers.insert(id);
  }
};

// What a warning speaks of.
enum class WarningKind {
  kValueLoss,               // values of one field not stored as held (the loss says how)
  kForeignCodePage,         // a legacy table in a code page that is not translated
  kDuplicateIdentifiers,    // records of a stage that repeat an identifier already written
  kLineWithoutDocument,     // goods lines whose document the archive lacks
  kLineOfSkippedDocument,   // goods lines of a document of a type that is not converted
};

// One warning as every front end shows it: what it is about, how many, the records it names,
// and the Russian sentence made from these. Valid while the report is not changed.
struct ReportWarning {
  WarningKind kind = WarningKind::kValueLoss;
  ValueLoss loss = ValueLoss::kTextCut;  // kValueLoss only
  std::string source;  // the legacy table of a stage (duplicates, goods lines); Windows-1251
  std::string table;   // target table; the legacy table for kMissingIn1251 and kForeignCodePage
  std::string field;   // target field (the legacy field for kMissingIn1251); empty for the others
  int64_t count = 0;   // values, records or lines; 0 for kForeignCodePage
  const RecordExamples* examples = nullptr;  // the first records named; null when none are kept
  std::string sentence;  // UTF-8, without a trailing newline
  int code_page = 0;     // kForeignCodePage: the table's code page

  // For scripts: ValueLossName of the loss, or "foreign_code_page", "duplicate_identifiers",
  // "goods_line_without_document", "goods_line_of_skipped_document".
  const char* KindName() const;
};

struct StageCounts {
  int number = 0;      // 1 to 11, in run order
  std::string source;  // legacy table name ("Group"); empty for the duties
  std::string target;  // target table name as its table set names it ("tGroup.DBF")
  int64_t read = 0;
  int64_t written = 0;
  std::vector<std::pair<std::string, int64_t>> skipped;  // reason (UTF-8) and count
  IdentifierList duplicates;                             // identifiers posted more than once
  IdentifierSet seen;                                    // identifiers posted so far (not reported)

  int64_t SkippedTotal() const;
  void Skip(const std::string& reason);
};

class ConversionReport {
 public:
  // Starts over for a new run; dry: a check that writes nothing.
  void Reset(bool dry);

  StageCounts& AddStage();
  const std::deque<StageCounts>& Stages() const { return stages_; }

  // Names the legacy record being converted, for the examples; the stage walking a legacy
  // table sets it for the walk and clears it (an empty function) afterwards.
  void SetRecordNamer(std::function<LegacyRecordName()> namer) { record_namer_ = std::move(namer); }
  LegacyRecordName CurrentRecord() const { return record_namer_ ? record_namer_() : LegacyRecordName{}; }

  // The entry that the checks of one target field count in; its address stays valid until
  // Reset.
  ValueLossCount& ValueLossEntry(const std::string& table, const std::string& field, ValueLoss loss, int width);
  int64_t& ValueLossCounter(const std::string& table, const std::string& field, ValueLoss loss, int width) {
    return ValueLossEntry(table, field, loss, width).count;
  }
  // Counts one value that lost something; while the entry keeps fewer examples than its
  // limit, returns a new one naming the current record, for the caller to fill in its values.
  RecordExample* CountValueLoss(ValueLossCount& entry);
  // A new example naming the current record and the target field, or null when the list is
  // full.
  RecordExample* AddExample(RecordExamples& list, const std::string& table, const std::string& field);
  // Only the entries with a count, in the order the fields were first met.
  std::vector<ValueLossCount> ValueLosses() const;

  // Goods lines whose document the legacy archive lacks, or holds with a type that is not
  // converted; the current record is such a line.
  void NoteLineWithoutDocument(int32_t document) { NoteOrphanLine(lines_without_document_, document); }
  void NoteLineOfSkippedDocument(int32_t document) { NoteOrphanLine(lines_of_skipped_document_, document); }
  IdentifierList& LinesWithoutDocument() { return lines_without_document_; }
  IdentifierList& LinesOfSkippedDocument() { return lines_of_skipped_document_; }
  const IdentifierList& LinesWithoutDocument() const { return lines_without_document_; }
  const IdentifierList& LinesOfSkippedDocument() const { return lines_of_skipped_document_; }

  // Rows the run wrote into LINES: the counters and the version.
  void CountCounterRow() { ++counter_rows_; }
  int64_t CounterRows() const { return counter_rows_; }

  // The read-back check of the new database, when one was made.
  void SetVerification(DatabaseVerification verification) { verification_ = std::move(verification); }
  const std::optional<DatabaseVerification>& Verification() const { return verification_; }
  // The control totals of the legacy archive and the new database, when they were made.
  void SetControlTotals(ControlTotals totals) { control_totals_ = std::move(totals); }
  const std::optional<ControlTotals>& Totals() const { return control_totals_; }

  // The code page of a legacy table as it was opened; the first note of a table counts.
  void NoteLegacyCodePage(LegacyCodePage entry);
  const std::vector<LegacyCodePage>& LegacyCodePages() const { return legacy_code_pages_; }

  // Lock files of the legacy engine found in the legacy directory.
  void SetLegacyLockFiles(std::vector<std::string> names) { legacy_lock_files_ = std::move(names); }
  const std::vector<std::string>& LegacyLockFiles() const { return legacy_lock_files_; }

  void SetCompleted() { completed_ = true; }
  // The message that ended the run (Windows-1251).
  void SetError(const std::string& message) { error_ = message; }
  const std::string& Error() const { return error_; }
  // What the run adds to that message for the command line and the report: what an engine
  // code means, a full disk, the stage and record where it stopped (lines, Windows-1251,
  // each led by a line break). The exception itself keeps its message exactly.
  void SetExplanation(const std::string& text) { explanation_ = text; }
  const std::string& Explanation() const { return explanation_; }
  bool Completed() const { return completed_; }
  bool Dry() const { return dry_; }

  // One warning per affected field, legacy table in a foreign code page, duplicate set and
  // kind of orphan goods line, in that order.
  std::vector<ReportWarning> Warnings() const;
  // Their sentences (UTF-8).
  std::vector<std::string> WarningLines() const;
  // One line per stage: read, skipped (with reasons) and written (UTF-8).
  std::vector<std::string> CountLines() const;
  // One line per legacy table: the code page of its texts and why (UTF-8).
  std::vector<std::string> CodePageLines() const;
  // The whole report as a JSON document (UTF-8).
  std::string ToJson() const;

 private:
  void NoteOrphanLine(IdentifierList& list, int32_t document);

  bool dry_ = false;
  bool completed_ = false;
  std::string error_;
  std::string explanation_;
  std::deque<StageCounts> stages_;
  std::deque<ValueLossCount> value_losses_;
  IdentifierList lines_without_document_;
  IdentifierList lines_of_skipped_document_;
  std::vector<std::string> legacy_lock_files_;
  std::function<LegacyRecordName()> record_namer_;
  int64_t counter_rows_ = 0;
  std::optional<DatabaseVerification> verification_;
  std::optional<ControlTotals> control_totals_;
  std::vector<LegacyCodePage> legacy_code_pages_;
};

const char* ValueLossName(ValueLoss loss);

// The heading the warning lines stand under, in the window's log and on the command line.
inline constexpr char kWarningsHeading[] = "Предупреждения:";

}  // namespace ks
