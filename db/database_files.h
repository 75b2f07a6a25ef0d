#pragma once
// File services around the target database directory: the emptiness test before a run and
// the pieces of the index clean-up after it.

#include <string>
#include <vector>

#include "common/paths.h"

namespace ks {

// True when the directory holds no file with the extension "dbf", "cdx" or "fpt" (compared
// without regard to case, as the original platform's file search does). A missing
// directory counts as empty.
bool DirectoryHoldsNoTables(const std::string& directory);

// Names (not paths) of the plain files of the directory whose extension equals ext without
// regard to case, in the order the file system returns them. Directories are left out.
std::vector<std::string> FilesWithExtension(const std::string& directory, const std::string& ext);

// Clears the "structural index present" flag of a table file's header, so that no program
// looks for an index file that is gone. False when the file cannot be opened or written or
// is no table file; true also when the flag was not set.
bool ClearStructuralIndexFlag(const std::string& dbf_path);

}  // namespace ks
