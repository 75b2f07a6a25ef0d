#include "legacy/legacy_alias.h"

#include "common/codepage.h"
#include "common/paths.h"
#include "common/platform.h"

namespace ks {
namespace {

bool IsRegularFile(const std::string& path) { return KindOfPath(path) == PathKind::kFile; }

}  // namespace

bool DirectoryExists(const std::string& dir) {
  return KindOfPath(dir) == PathKind::kDirectory;
}

std::string FindFileIgnoringCase(const std::string& dir, const std::string& name) {
  const std::string base = WithTrailingDelimiter(dir.empty() ? std::string(".") : dir);
  if (IsRegularFile(base + name)) return base + name;
  const std::string wanted = UpperCp1251(name);
  for (const std::string& candidate : DirectoryEntries(base)) {
    if (UpperCp1251(candidate) == wanted && IsRegularFile(base + candidate)) return base + candidate;
  }
  return {};
}

}  // namespace ks
