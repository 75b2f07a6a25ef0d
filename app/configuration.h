#pragma once
// Where the program lives and where the target database goes: `AppPath` and `DatabasePath`.

#include <string>

namespace ks {

// The directory of the running executable, with a trailing path delimiter.
std::string ExecutableDirectory();

// The directory part of a path, with its trailing delimiter; "./" (".\" on Windows) for a
// bare file name.
std::string DirectoryOf(const std::string& path);

// What the configuration file says, read in one go (the file is only read; a missing file,
// section or key gives the default).
struct Configuration {
  // Section "PATH", key "DATABASE", exactly as written there; by default app_path +
  // "Database" and the path delimiter.
  std::string DatabasePath;
  // The directory of the alias VeltroData: section "ALIASES", key "VeltroData"; by default
  // app_path + "VeltroData" and the delimiter. A relative setting counts from app_path. It
  // always ends with a delimiter.
  std::string LegacyDirectory;
};

Configuration ReadConfiguration(const std::string& ini_path, const std::string& app_path);

// The configuration file beside the executable.
inline std::string DefaultIniPath(const std::string& app_path) { return app_path + "ks.ini"; }

}  // namespace ks
