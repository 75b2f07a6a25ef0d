#include "legacy/legacy_alias.h"

#include <dirent.h>
#include <sys/stat.h>

#include "common/codepage.h"
#include "common/ini_file.h"

namespace ks {
namespace {

std::string WithDelimiter(std::string dir) {
  if (!dir.empty() && dir.back() != '/') dir += '/';
  return dir;
}

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

std::string ResolveLegacyAlias(const std::string& ini_path, const std::string& app_dir) {
  const std::string base = WithDelimiter(app_dir);
  std::string dir = ReadIniString(ini_path, "ALIASES", "VeltroData", base + "VeltroData/");
  if (dir.empty()) dir = base + "VeltroData/";
  if (dir.front() != '/') dir = base + dir;
  return WithDelimiter(dir);
}

bool DirectoryExists(const std::string& dir) {
  struct stat st {};
  return !dir.empty() && ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string FindFileIgnoringCase(const std::string& dir, const std::string& name) {
  const std::string base = WithDelimiter(dir.empty() ? std::string("./") : dir);
  if (IsRegularFile(base + name)) return base + name;
  DIR* listing = ::opendir(base.c_str());
  if (listing == nullptr) return {};
  const std::string wanted = UpperCp1251(name);
  std::string found;
  while (const dirent* entry = ::readdir(listing)) {
    const std::string candidate = entry->d_name;
    if (UpperCp1251(candidate) == wanted && IsRegularFile(base + candidate)) {
      found = base + candidate;
      break;
    }
  }
  ::closedir(listing);
  return found;
}

}  // namespace ks
