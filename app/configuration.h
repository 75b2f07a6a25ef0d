#pragma once
// Where the program lives and where the target database goes: `AppPath` and `DatabasePath`.

#include <string>

namespace ks {

// The directory of the running executable, with a trailing path delimiter.
std::string ExecutableDirectory();

// The directory part of a path, with its trailing delimiter; "./" (".\" on Windows) for a
// bare file name.
std::string DirectoryOf(const std::string& path);

// The target database directory as configured in the INI file: section "PATH", key
// "DATABASE", exactly as written there; app_path + "Database" and the path delimiter when the
// file, the section or the key is missing. The file is only read.
std::string ReadDatabasePath(const std::string& ini_path, const std::string& app_path);

// The configuration file beside the executable.
inline std::string DefaultIniPath(const std::string& app_path) { return app_path + "ks.ini"; }

}  // namespace ks
