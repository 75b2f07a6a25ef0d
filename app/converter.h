#pragma once
// The core both front ends drive: it owns the data modules, takes the database directory at
// start-up and performs the conversion run that the "Старт" button (or the command line)
// starts.

#include <string>

#include "common/main_window.h"

namespace ks {

class Converter {
 public:
  Converter();
  ~Converter();
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Hands the configured directory to the data layer (the engine starts, then the directory
  // becomes the data path of the target database). The text is kept exactly as given.
  void TakeDatabasePath(const std::string& database_path);
  const std::string& DatabasePath() const { return database_path_; }

  // The directory of the legacy tables (the alias directory, or an override).
  void SetLegacyDirectory(const std::string& directory) { legacy_directory_ = directory; }
  const std::string& LegacyDirectory() const { return legacy_directory_; }

  // The whole conversion, synchronously. False when the operator did not confirm the
  // question (nothing is touched then). Errors propagate to the caller, which shows them.
  bool Run(IMainWindow& window);

 private:
  std::string database_path_;
  std::string legacy_directory_;
};

}  // namespace ks
