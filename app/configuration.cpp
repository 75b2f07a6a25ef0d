#include "app/configuration.h"

#include "common/ini_file.h"
#include "common/paths.h"
#include "common/platform.h"

namespace ks {

std::string ExecutableDirectory() { return DirectoryOf(ExecutablePath()); }

std::string DirectoryOf(const std::string& path) {
  const size_t slash = LastDelimiter(path);
  if (slash == std::string::npos) return std::string(".") + kPathDelimiter;
  return path.substr(0, slash + 1);
}

Configuration ReadConfiguration(const std::string& ini_path, const std::string& app_path) {
  const IniFile ini(ini_path);
  Configuration configuration;
  configuration.DatabasePath = ini.ReadString("PATH", "DATABASE", app_path + "Database" + kPathDelimiter);

  const std::string base = WithTrailingDelimiter(app_path);
  const std::string default_legacy = base + "VeltroData" + kPathDelimiter;
  std::string legacy = ini.ReadString("ALIASES", "VeltroData", default_legacy);
  if (legacy.empty()) legacy = default_legacy;
  if (!IsAbsolutePath(legacy)) legacy = base + legacy;
  configuration.LegacyDirectory = WithTrailingDelimiter(legacy);
  return configuration;
}

}  // namespace ks
