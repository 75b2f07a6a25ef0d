#pragma once
// The table files in the directory of the alias VeltroData, whose names the legacy package
// wrote in any case.

#include <string>

namespace ks {

// The path of the file dir + name, the name matched without regard to case (Document.DB,
// DOCUMENT.db, document.db); empty when there is none. An exact match wins.
std::string FindFileIgnoringCase(const std::string& dir, const std::string& name);

bool DirectoryExists(const std::string& dir);

}  // namespace ks
