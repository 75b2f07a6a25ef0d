#pragma once
// The core both front ends drive: it owns the two data modules, takes the database and
// legacy directories at start-up and performs the conversion run that the "Старт" button
// (or the command line) starts.

#include <exception>
#include <optional>
#include <string>

#include "app/report/conversion_report.h"
#include "app/verify/control_totals.h"
#include "app/verify/verification_result.h"
#include "common/main_window.h"
#include "common/non_copyable.h"
#include "db/dtm_dict.h"
#include "db/dtm_main.h"

namespace ks {

class Converter : NonCopyable {
 public:
  Converter();
  ~Converter();

  // Hands the configured directory to the data layer (the engine starts, then the directory
  // becomes the data path of the target database). The text is kept exactly as given.
  void TakeDatabasePath(const std::string& database_path);
  const std::string& DatabasePath() const { return database_path_; }

  // Reads the configuration file (ini_path, or ks.ini in app_path when empty) and takes its
  // database directory and the legacy alias directory, as both windows do at start-up.
  void LoadConfiguration(const std::string& app_path, const std::string& ini_path);

  // Where the window's report pages go: the directory that holds the configuration file
  // (LoadConfiguration sets it); beside the executable when nothing set it.
  void SetReportDirectory(const std::string& directory) { report_directory_ = directory; }
  std::string ReportDirectory() const;

  // The directory of the legacy tables (the alias directory, or an override).
  void SetLegacyDirectory(const std::string& directory);
  const std::string& LegacyDirectory() const { return legacy_directory_; }

  // The whole conversion, synchronously. False when the operator did not confirm the
  // question (nothing is touched then). Errors propagate to the caller, which shows them.
  // A completed run that could not store everything as it was ends the log with an empty
  // line, the heading "Предупреждения:" and the report's warning lines.
  bool Run(IMainWindow& window);
  // Run, then the checks of the database it wrote, kept in the report: the read-back check
  // and the control totals of the legacy archive beside the new base. The checks read the
  // new files while the run's flush to the disk (mostly waiting for the device) goes on;
  // what they find is kept, and what they throw is thrown, only after the run has ended
  // with its success line and warnings, as if they had started then.
  bool RunAndVerify(IMainWindow& window);
  // The command line prints the warnings apart, so that its log stays as the window's was.
  void SetWarningsInLog(bool in_log) { warnings_in_log_ = in_log; }
  // A dry run: the structure probe and a reading pass over every legacy record and memo
  // with the checks of the real run, creating and writing nothing. Errors propagate.
  void Check(IMainWindow& window);

  // What "Старт" does in either window. The run; after a completed run the read-back check,
  // whose line (and findings, with file and place) follows the warnings in the log, and the
  // block of control totals after it; then the
  // report page in ReportDirectory, named by the log's last line ("Отчёт: PATH"), or the
  // reason it could not be written. A failed run, a check that finds the new database
  // differing from what was written, or a difference of the control totals that the run
  // does not explain ends in the error box once the page is written.
  void RunFromWindow(IMainWindow& window);

  // What the last run or check counted and found; refilled by each.
  ConversionReport& Report() { return report_; }
  const ConversionReport& Report() const { return report_; }

  // The engine's flush tick; the window program calls it every three seconds.
  void Tick() { dtmMain.engPrimary.Tick(); }

  // Created in this order: the dictionary module first, then the main module.
  TdtmDict dtmDict;
  TdtmMain dtmMain{dtmDict};

 private:
  // What the checks of RunAndVerify found, up to the first exception.
  struct Checks {
    std::optional<DatabaseVerification> verification;
    std::optional<ControlTotals> totals;
    std::exception_ptr failure;
  };
  bool Run(IMainWindow& window, bool verify);
  Checks ComputeChecks() const;
  // Into the report; then the exception of the checks, if any.
  void KeepChecks(Checks& checks);

  std::string database_path_;
  std::string legacy_directory_;
  std::string report_directory_;
  ConversionReport report_;
  bool warnings_in_log_ = true;
};

}  // namespace ks
