#include "app/converter.h"

#include "app/conversion_run.h"

namespace ks {

Converter::Converter() = default;
Converter::~Converter() = default;

void Converter::TakeDatabasePath(const std::string& database_path) {
  database_path_ = database_path;
  dtmMain.TakeDatabasePath(database_path);
}

void Converter::SetLegacyDirectory(const std::string& directory) {
  legacy_directory_ = directory;
  ks::SetLegacyDirectory(dtmDict.legacy, dtmMain.legacy, directory);
}

bool Converter::Run(IMainWindow& window) {
  report_.Reset(false);
  return ConversionRun(*this, window).Execute();
}

void Converter::Check(IMainWindow& window) {
  report_.Reset(true);
  ConversionRun(*this, window, true).Check();
}

}  // namespace ks
