#include "db/database_files.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include "common/file.h"

namespace ks {
namespace {

bool HasExtension(const std::string& name, const std::string& ext) {
  const size_t dot = name.rfind('.');
  return dot != std::string::npos && strcasecmp(name.c_str() + dot + 1, ext.c_str()) == 0;
}

// A file, or a link of any kind: the entry itself, never what a link leads to, so that a
// clean-up removes the link and leaves its target alone.
bool IsFileOrLink(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode));
}

// Byte 28 of a table file header: bit 0 says a structural index file belongs to it.
constexpr uint64_t kTableFlagsOffset = 28;
constexpr unsigned char kStructuralIndexFlag = 0x01;

}  // namespace

std::string WithTrailingDelimiter(const std::string& path) {
  if (path.empty() || path.back() == '/') return path;
  return path + "/";
}

std::vector<std::string> FilesWithExtension(const std::string& directory, const std::string& ext) {
  std::vector<std::string> names;
  const std::string dir = WithTrailingDelimiter(directory);
  DIR* handle = ::opendir(dir.empty() ? "." : dir.c_str());
  if (handle == nullptr) return names;
  while (const dirent* entry = ::readdir(handle)) {
    const std::string name = entry->d_name;
    if (HasExtension(name, ext) && IsFileOrLink(dir + name)) names.push_back(name);
  }
  ::closedir(handle);
  return names;
}

bool DirectoryHoldsNoTables(const std::string& directory) {
  for (const char* ext : {"dbf", "cdx", "fpt"}) {
    if (!FilesWithExtension(directory, ext).empty()) return false;
  }
  return true;
}

bool ClearStructuralIndexFlag(const std::string& dbf_path) {
  File file;
  if (!file.Open(dbf_path, File::Mode::kReadWrite)) return false;
  unsigned char header[32];
  if (!file.ReadExactAt(0, header, sizeof header)) return false;
  const unsigned char version = header[0];
  if (version != 0x03 && version != 0xF5 && version != 0x83 && version != 0x8B && version != 0x30) return false;
  unsigned char flags = header[kTableFlagsOffset];
  if ((flags & kStructuralIndexFlag) == 0) return true;
  flags &= static_cast<unsigned char>(~kStructuralIndexFlag);
  return file.WriteAt(kTableFlagsOffset, &flags, 1);
}

}  // namespace ks
