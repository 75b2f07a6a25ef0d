#pragma once
// The frame every copy stage shares: its first and last log lines, the walk over the legacy
// table with the row counter driving the progress bar, the running maximum of the UIDs
// posted to the target table, and the stage's counts in the run's report (records read,
// skipped with the reason, written; identifiers posted more than once).

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>

#include "app/report/conversion_report.h"
#include "common/main_window.h"
#include "db/first_uid.h"
#include "legacy/legacy_table.h"

namespace ks {

// What every stage of one run shares.
struct StageContext {
  IMainWindow& window;
  ConversionReport& report;
  // A dry check: every legacy record and memo is read and every value checked, nothing
  // is written and nothing logged.
  bool dry = false;
};

class StageFrame {
 public:
  // Logs the first line (a UTF-8 literal of the source).
  StageFrame(const StageContext& context, const char* first_line_utf8, const char* last_line_utf8);

  // Opens the legacy table, moves to its first record and sets the bar to 0 of the table's
  // record count.
  void Begin(TLegacyTable& source);
  // Calls process(row) for every record of the opened table, row counting from 0, and
  // moves the bar; skipped records count too.
  void Walk(TLegacyTable& source, const std::function<void(int row)>& process);
  // Begin, then Walk.
  void Copy(TLegacyTable& source, const std::function<void(int row)>& process) {
    Begin(source);
    Walk(source, process);
  }

  int32_t RunningMaximum() const { return running_maximum_; }
  void SetRunningMaximum(int32_t value) { running_maximum_ = value; }
  // A posted record's UID: raises the running maximum and notes a repeated identifier.
  void Raise(int32_t uid) {
    running_maximum_ = std::max(running_maximum_, uid);
    NoteIdentifier(uid);
  }
  void NoteIdentifier(int32_t uid) {
    if (!counts_.seen.Insert(uid)) NoteDuplicate(uid);
  }

  // The current record is not copied, for this reason (UTF-8).
  void Skip(const std::string& reason) { counts_.Skip(reason); }
  void CountWritten() { ++counts_.written; }
  void SetTarget(const std::string& table_name) { counts_.target = table_name; }

  bool Dry() const { return dry_; }
  ConversionReport& Report() { return report_; }

  // Logs the last line, "---" and an empty line.
  void Finish();

 private:
  void Log(const std::string& line);
  void NoteDuplicate(int32_t uid);
  // The legacy table's code page, and the texts that lost characters in its translation.
  void NoteCodePage(const TLegacyTable& source);
  void NoteTextLosses(TLegacyTable& source);

  IMainWindow& window_;
  ConversionReport& report_;
  bool dry_;
  StageCounts& counts_;
  std::string last_line_;
  int32_t running_maximum_ = kFirstUid;
};

// The field that identifies a record of the legacy table with that name ("RefID" for
// "FirmRef"); empty for a table whose records have no identifier (they are named by number).
std::string LegacyIdentifierField(const std::string& table_name);

// Upper-case table name without its extension ("Firm.dbf" gives FIRM).
std::string BareTableName(const std::string& table_file);

}  // namespace ks
