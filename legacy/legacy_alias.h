#pragma once
// Where the legacy tables live: the directory of the alias VeltroData, and the table files
// in it, whose names the legacy package wrote in any case.

#include <string>

namespace ks {

// The directory of the alias VeltroData: ks.ini, section "ALIASES", key "VeltroData"; by
// default the program's directory followed by "VeltroData" and the delimiter. A relative
// setting counts from the program's directory. The result always ends with a delimiter.
std::string ResolveLegacyAlias(const std::string& ini_path, const std::string& app_dir);

// The path of the file dir + name, the name matched without regard to case (Document.DB,
// DOCUMENT.db, document.db); empty when there is none. An exact match wins.
std::string FindFileIgnoringCase(const std::string& dir, const std::string& name);

bool DirectoryExists(const std::string& dir);

}  // namespace ks
