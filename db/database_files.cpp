#include "db/database_files.h"

#include "common/codepage.h"
#include "common/file.h"
#include "common/platform.h"

namespace ks {
namespace {

bool HasExtension(const std::string& name, const std::string& ext) {
  const size_t dot = name.rfind('.');
  return dot != std::string::npos && UpperCp1251(name.substr(dot + 1)) == UpperCp1251(ext);
}

// A file, or a link of any kind: the entry itself, never what a link leads to, so that a
// clean-up removes the link and leaves its target alone.
bool IsFileOrLink(const std::string& path) {
  const PathKind kind = KindOfEntry(path);
  return kind == PathKind::kFile || kind == PathKind::kLink;
}

// Byte 28 of a table file header: bit 0 says a structural index file belongs to it.
constexpr uint64_t kTableFlagsOffset = 28;
constexpr unsigned char kStructuralIndexFlag = 0x01;

}  // namespace

std::vector<std::string> FilesWithExtension(const std::string& directory, const std::string& ext) {
  std::vector<std::string> names;
  const std::string dir = WithTrailingDelimiter(directory);
  for (const std::string& name : DirectoryEntries(dir)) {
    if (HasExtension(name, ext) && IsFileOrLink(dir + name)) names.push_back(name);
  }
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
