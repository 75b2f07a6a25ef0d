#include "app/converter.h"

#include "app/configuration.h"
#include "app/run/conversion_run.h"
#include "common/codepage.h"

namespace ks {

Converter::Converter() = default;
Converter::~Converter() = default;

void Converter::TakeDatabasePath(const std::string& database_path) {
  database_path_ = database_path;
  dtmMain.TakeDatabasePath(database_path);
}

void Converter::LoadConfiguration(const std::string& app_path, const std::string& ini_path) {
  const std::string ini = ini_path.empty() ? DefaultIniPath(app_path) : ini_path;
  const Configuration configuration = ReadConfiguration(ini, app_path);
  SetLegacyDirectory(configuration.LegacyDirectory);
  TakeDatabasePath(configuration.DatabasePath);
}

void Converter::SetLegacyDirectory(const std::string& directory) {
  legacy_directory_ = directory;
  ks::SetLegacyDirectory(dtmDict.legacy, dtmMain.legacy, directory);
}

bool Converter::Run(IMainWindow& window) {
  report_.Reset(false);
  if (!ConversionRun(*this, window).Execute()) return false;
  const std::vector<std::string> warnings = report_.WarningLines();
  if (warnings_in_log_ && !warnings.empty()) {
    window.AddLogLine("");
    window.AddLogLine(W(kWarningsHeading));
    for (const std::string& line : warnings) window.AddLogLine(Utf8ToCp1251(line));
  }
  return true;
}

void Converter::Check(IMainWindow& window) {
  report_.Reset(true);
  ConversionRun(*this, window, true).Check();
}

}  // namespace ks
