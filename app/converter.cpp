#include "app/converter.h"

#include <exception>
#include <functional>
#include <utility>

#include "app/configuration.h"
#include "app/report/control_totals_text.h"
#include "app/report/report_file.h"
#include "app/run/conversion_run.h"
#include "app/verify/control_totals.h"
#include "app/verify/database_verifier.h"
#include "common/codepage.h"
#include "common/russian_plural.h"

namespace ks {

Converter::Converter() = default;
Converter::~Converter() = default;

void Converter::TakeDatabasePath(const std::string& database_path) {
  database_path_ = database_path;
  dtmMain.TakeDatabasePath(database_path);
}

void Converter::LoadConfiguration(const std::string& app_path, const std::string& ini_path) {
  const std::string ini = ini_path.empty() ? DefaultIniPath(app_path) : ini_path;
  SetReportDirectory(DirectoryOf(ini));
  const Configuration configuration = ReadConfiguration(ini, app_path);
  SetLegacyDirectory(configuration.LegacyDirectory);
  TakeDatabasePath(configuration.DatabasePath);
}

void Converter::SetLegacyDirectory(const std::string& directory) {
  legacy_directory_ = directory;
  ks::SetLegacyDirectory(dtmDict.legacy, dtmMain.legacy, directory);
}

bool Converter::Run(IMainWindow& window) { return Run(window, false); }

bool Converter::RunAndVerify(IMainWindow& window) { return Run(window, true); }

bool Converter::Run(IMainWindow& window, bool verify) {
  report_.Reset(false);
  Checks checks;
  const auto check = [&] { checks = ComputeChecks(); };
  if (!ConversionRun(*this, window).Execute(verify ? std::function<void()>(check) : nullptr)) return false;
  const std::vector<ReportWarning> warnings = report_.Warnings();
  if (warnings_in_log_ && !warnings.empty()) {
    window.AddLogLine("");
    window.AddLogLine(W(kWarningsHeading));
    for (const ReportWarning& warning : warnings) window.AddLogLine(Utf8ToCp1251(warning.sentence));
  }
  if (verify) KeepChecks(checks);
  return true;
}

std::string Converter::ReportDirectory() const {
  return report_directory_.empty() ? ExecutableDirectory() : report_directory_;
}

Converter::Checks Converter::ComputeChecks() const {
  Checks checks;
  try {
    // The new tables read back from the files, apart from what the run remembers.
    checks.verification = VerifyDatabase(dtmMain.dtbKestrel.DataPath(), TablesWrittenByRun(report_));
    // The legacy archive's figures beside the new base's, each side read on its own.
    checks.totals = ComputeControlTotals(legacy_directory_, dtmMain.dtbKestrel.DataPath(), report_);
  } catch (...) {
    checks.failure = std::current_exception();
  }
  return checks;
}

void Converter::KeepChecks(Checks& checks) {
  if (checks.verification) report_.SetVerification(std::move(*checks.verification));
  if (checks.totals) report_.SetControlTotals(std::move(*checks.totals));
  if (checks.failure) std::rethrow_exception(checks.failure);
}

void Converter::RunFromWindow(IMainWindow& window) {
  std::string failure;  // for the error box, once the page is written
  try {
    if (!RunAndVerify(window)) return;  // not confirmed: nothing was done, so nothing to report
    const DatabaseVerification& verification = *report_.Verification();
    const ControlTotals& totals = *report_.Totals();
    if (warnings_in_log_ && !report_.Warnings().empty()) window.AddLogLine("");
    for (const std::string& line : VerificationLines(verification)) window.AddLogLine(Utf8ToCp1251(line));
    for (const std::string& line : ControlTotalsLines(totals)) window.AddLogLine(Utf8ToCp1251(line));
    if (!verification.Clean()) {
      const int64_t n = verification.discrepancies;
      failure = W("Новая база отличается от того, что было записано: проверка нашла " +
                  CountOf(n, "расхождение", "расхождения", "расхождений") +
                  ". Они перечислены в журнале и в отчёте; файлы оставлены как есть.");
    } else if (!totals.Clean()) {
      failure = W("Контрольные суммы прежнего архива и новой базы не сходятся: разница, которую "
                  "преобразование не объясняет, показана в журнале и в отчёте; файлы оставлены как есть.");
    }
  } catch (const std::exception& e) {
    failure = e.what();
    report_.SetError(failure + report_.Explanation());
  }
  try {
    window.AddLogLine(W("Отчёт: ") + WriteReportPage(ReportDirectory(), report_));
  } catch (const ReportWriteError& e) {
    window.AddLogLine(W("Отчёт не записан: ") + e.Path() + ": " + e.Reason());
  }
  if (!failure.empty()) window.ShowErrorBox(failure);
}

void Converter::Check(IMainWindow& window) {
  report_.Reset(true);
  ConversionRun(*this, window, true).Check();
}

}  // namespace ks
