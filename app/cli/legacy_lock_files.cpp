#include "app/cli/legacy_lock_files.h"

#include <algorithm>

#include "common/codepage.h"
#include "common/platform.h"

namespace ks {

std::vector<std::string> FindLegacyLockFiles(const std::string& dir) {
  static const char* const kLockFiles[] = {"PDOXUSRS.LCK", "PARADOX.LCK"};
  std::vector<std::string> found;
  for (const std::string& entry : DirectoryEntries(dir)) {
    for (const char* name : kLockFiles) {
      if (UpperCp1251(entry) == name) found.push_back(entry);
    }
  }
  std::sort(found.begin(), found.end());
  return found;
}

}  // namespace ks
