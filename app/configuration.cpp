#include "app/configuration.h"

#include <climits>
#include <unistd.h>

#include "common/ini_file.h"

namespace ks {

std::string ExecutableDirectory() {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return "./";
  return DirectoryOf(std::string(buffer, static_cast<size_t>(n)));
}

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return "./";
  return path.substr(0, slash + 1);
}

std::string ReadDatabasePath(const std::string& ini_path, const std::string& app_path) {
  return ReadIniString(ini_path, "PATH", "DATABASE", app_path + "Database/");
}

}  // namespace ks
