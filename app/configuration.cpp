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

std::string ReadDatabasePath(const std::string& ini_path, const std::string& app_path) {
  return ReadIniString(ini_path, "PATH", "DATABASE", app_path + "Database" + kPathDelimiter);
}

}  // namespace ks
