// ksconvert-cli: the conversion run without a window, for scripted use.

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "app/cli/console_window.h"
#include "app/cli/legacy_lock_files.h"
#include "app/cli/options.h"
#include "app/configuration.h"
#include "app/converter.h"
#include "app/report/control_totals_text.h"
#include "app/report/report_file.h"
#include "app/report/report_html.h"
#include "app/verify/database_verifier.h"
#include "app/startup.h"
#include "common/codepage.h"
#include "common/file.h"
#include "common/platform.h"

namespace {

constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitRefused = 3;

// Writes UTF-8 text to a console or stream and flushes it.
void Print(std::FILE* to, const std::string& utf8) {
  ks::WriteUtf8(to, utf8);
  std::fflush(to);
}

void PrintLines(std::FILE* to, const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  Print(to, text);
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  const auto options = ks::ParseCliOptions(ks::ProgramArguments(argc, argv), error);
  if (!options) {
    Print(stderr, "ksconvert-cli: " + ks::Cp1251ToUtf8(error) + "\n\n" + ks::kCliUsage);
    return kExitUsage;
  }
  if (options->help) {
    Print(stdout, ks::kCliUsage);
    return kExitDone;
  }

  const std::string app_path = ks::ExecutableDirectory();
  const std::string ini_path = options->config.empty() ? ks::DefaultIniPath(app_path) : options->config;
  if (!options->config.empty() && !ks::FileExists(ini_path)) {
    Print(stderr, "ksconvert-cli: configuration file not found: " + ks::Cp1251ToUtf8(ini_path) + "\n");
    return kExitUsage;
  }

  try {
    ks::LoadProcessMetadata();
  } catch (const std::exception& e) {
    Print(stderr, ks::Cp1251ToUtf8(e.what()) + "\n");
    return kExitFailed;
  }

  int status = kExitDone;
  ks::Converter converter;
  converter.SetWarningsInLog(false);
  std::vector<std::string> locks;
  try {
    const ks::Configuration configuration = ks::ReadConfiguration(ini_path, app_path);
    const std::string legacy = options->legacy.empty() ? configuration.LegacyDirectory : options->legacy;
    // Before anything is read: the legacy package may still be running on these tables.
    locks = ks::FindLegacyLockFiles(legacy);
    if (!locks.empty()) {
      std::string names;
      for (const std::string& name : locks) names += (names.empty() ? "" : ", ") + name;
      Print(stderr, "ksconvert-cli: warning: the legacy directory " + ks::Cp1251ToUtf8(legacy) +
                        " holds lock files of the legacy database engine (" + ks::Cp1251ToUtf8(names) +
                        "): the legacy package may still be running and changing its tables; close it "
                        "before converting\n");
    }
    converter.SetLegacyDirectory(legacy);
    converter.TakeDatabasePath(options->database.empty() ? configuration.DatabasePath : options->database);
    ks::ConsoleWindow window(options->yes);
    if (options->check) {
      converter.Check(window);
      window.FinishProgress();
      PrintLines(stdout, converter.Report().CountLines());
      PrintLines(stdout, converter.Report().CodePageLines());
    } else if (!(options->verify ? converter.RunAndVerify(window) : converter.Run(window))) {
      status = kExitRefused;
    }
  } catch (const std::exception& e) {
    const std::string message = e.what() + converter.Report().Explanation();
    converter.Report().SetError(message);
    Print(stderr, ks::Cp1251ToUtf8(message) + "\n");
    status = kExitFailed;
  }
  if (status == kExitRefused) return status;  // nothing was done, so nothing to report
  converter.Report().SetLegacyLockFiles(locks);

  // After the log: what could not be stored as it is, also when the run stopped early.
  const std::vector<ks::ReportWarning> warnings = converter.Report().Warnings();
  if (!warnings.empty()) {
    std::string text = std::string(ks::kWarningsHeading) + "\n";
    for (const ks::ReportWarning& warning : warnings) text += warning.sentence + "\n";
    Print(stderr, text);
  }
  if (const auto& verification = converter.Report().Verification()) {
    PrintLines(stderr, ks::VerificationLines(*verification));
    if (!verification->Clean()) status = kExitFailed;  // the files stay as they are for inspection
  }
  if (const auto& totals = converter.Report().Totals()) {
    PrintLines(stderr, ks::ControlTotalsLines(*totals));
    if (!totals->Clean()) status = kExitFailed;
  }
  if (!options->report.empty()) {
    // The page for people when the name asks for it, JSON for scripts otherwise.
    const std::string text =
        ks::IsHtmlReportPath(options->report) ? ks::ReportToHtml(converter.Report()) : converter.Report().ToJson();
    try {
      ks::WriteReportFile(options->report, text);
    } catch (const ks::ReportWriteError& e) {
      Print(stderr, "ksconvert-cli: cannot write the report " + ks::Cp1251ToUtf8(e.Path()) + ": " +
                        ks::Cp1251ToUtf8(e.Reason()) + "\n");
      status = kExitFailed;
    }
  }
  return status;
}
