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
// looks for an index file that is gone. Raises, naming the file and the reason, when the file
// cannot be read or written or is no table file.
void ClearStructuralIndexFlag(const std::string& dbf_path);

// Removes the temporary files an earlier run that died left in the directory (the sorted
// runs of keys an index spills); nothing else. Raises, naming the file and the reason, when
// one cannot be removed.
void RemoveLeftoverTemporaryFiles(const std::string& directory);

}  // namespace ks
