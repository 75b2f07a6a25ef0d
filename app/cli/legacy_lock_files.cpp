#include "app/cli/legacy_lock_files.h"

#include <dirent.h>
#include <strings.h>

#include <algorithm>

namespace ks {

std::vector<std::string> FindLegacyLockFiles(const std::string& dir) {
  static const char* const kLockFiles[] = {"PDOXUSRS.LCK", "PARADOX.LCK"};
  std::vector<std::string> found;
  DIR* handle = ::opendir(dir.empty() ? "." : dir.c_str());
  if (handle == nullptr) return found;
  while (const dirent* entry = ::readdir(handle)) {
    for (const char* name : kLockFiles) {
      if (::strcasecmp(entry->d_name, name) == 0) found.emplace_back(entry->d_name);
    }
  }
  ::closedir(handle);
  std::sort(found.begin(), found.end());
  return found;
}

}  // namespace ks
