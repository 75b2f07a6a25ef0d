// ksconvert-cli: the conversion run without a window, for scripted use.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "app/cli/console_window.h"
#include "app/cli/legacy_lock_files.h"
#include "app/cli/options.h"
#include "app/configuration.h"
#include "app/converter.h"
#include "app/database_verifier.h"
#include "app/report_html.h"
#include "app/startup.h"
#include "common/codepage.h"
#include "common/file.h"
#include "legacy/legacy_alias.h"

namespace {

constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitRefused = 3;

void PrintLines(std::FILE* to, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) std::fprintf(to, "%s\n", line.c_str());
  std::fflush(to);
}

// Writes text to path; on failure returns the reason.
bool WriteTextFile(const std::string& path, const std::string& text, std::string& reason) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    reason = std::strerror(errno);
    return false;
  }
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  const int saved = errno;
  const bool closed = std::fclose(file) == 0;
  if (written && closed) return true;
  reason = std::strerror(written ? errno : saved);
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  const auto options = ks::ParseCliOptions(std::vector<std::string>(argv + 1, argv + argc), error);
  if (!options) {
    std::fprintf(stderr, "ksconvert-cli: %s\n\n%s", error.c_str(), ks::kCliUsage);
    return kExitUsage;
  }
  if (options->help) {
    std::fputs(ks::kCliUsage, stdout);
    return kExitDone;
  }

  const std::string app_path = ks::ExecutableDirectory();
  const std::string ini_path = options->config.empty() ? ks::DefaultIniPath(app_path) : options->config;
  if (!options->config.empty() && !ks::FileExists(ini_path)) {
    std::fprintf(stderr, "ksconvert-cli: configuration file not found: %s\n", ini_path.c_str());
    return kExitUsage;
  }

  try {
    ks::LoadProcessMetadata();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", ks::Cp1251ToUtf8(e.what()).c_str());
    return kExitFailed;
  }

  int status = kExitDone;
  ks::Converter converter;
  converter.SetWarningsInLog(false);
  std::vector<std::string> locks;
  try {
    const std::string legacy =
        options->legacy.empty() ? ks::ResolveLegacyAlias(ini_path, app_path) : options->legacy;
    // Before anything is read: the legacy package may still be running on these tables.
    locks = ks::FindLegacyLockFiles(legacy);
    if (!locks.empty()) {
      std::string names;
      for (const std::string& name : locks) names += (names.empty() ? "" : ", ") + name;
      std::fprintf(stderr,
                   "ksconvert-cli: warning: the legacy directory %s holds lock files of the legacy database "
                   "engine (%s): the legacy package may still be running and changing its tables; close it "
                   "before converting\n",
                   legacy.c_str(), names.c_str());
      std::fflush(stderr);
    }
    converter.SetLegacyDirectory(legacy);
    converter.TakeDatabasePath(options->database.empty() ? ks::ReadDatabasePath(ini_path, app_path)
                                                         : options->database);
    ks::ConsoleWindow window(options->yes);
    if (options->check) {
      converter.Check(window);
      window.FinishProgress();
      PrintLines(stdout, converter.Report().CountLines());
      PrintLines(stdout, converter.Report().CodePageLines());
    } else if (!converter.Run(window)) {
      status = kExitRefused;
    } else if (options->verify) {
      // The new tables read back from the files, apart from what the run remembers.
      converter.Report().SetVerification(ks::VerifyDatabase(converter.dtmMain.dtbKestrel.DataPath(),
                                                            ks::TablesWrittenByRun(converter.Report())));
    }
  } catch (const std::exception& e) {
    const std::string message = e.what() + converter.Report().Explanation();
    converter.Report().SetError(message);
    std::fprintf(stderr, "%s\n", ks::Cp1251ToUtf8(message).c_str());
    status = kExitFailed;
  }
  if (status == kExitRefused) return status;  // nothing was done, so nothing to report
  converter.Report().SetLegacyLockFiles(locks);

  // After the log: what could not be stored as it is, also when the run stopped early.
  const std::vector<std::string> warnings = converter.Report().WarningLines();
  if (!warnings.empty()) {
    std::fprintf(stderr, "%s\n", ks::kWarningsHeading);
    PrintLines(stderr, warnings);
  }
  if (const auto& verification = converter.Report().Verification()) {
    PrintLines(stderr, ks::VerificationLines(*verification));
    if (!verification->Clean()) status = kExitFailed;  // the files stay as they are for inspection
  }
  if (!options->report.empty()) {
    std::string reason;
    // The page for people when the name asks for it, JSON for scripts otherwise.
    const std::string text =
        ks::IsHtmlReportPath(options->report) ? ks::ReportToHtml(converter.Report()) : converter.Report().ToJson();
    if (!WriteTextFile(options->report, text, reason)) {
      std::fprintf(stderr, "ksconvert-cli: cannot write the report %s: %s\n", options->report.c_str(),
                   reason.c_str());
      status = kExitFailed;
    }
  }
  return status;
}
