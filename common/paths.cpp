#include "common/paths.h"

#include "common/platform.h"

namespace ks {

std::string WithTrailingDelimiter(const std::string& path) {
  if (path.empty() || IsPathDelimiter(path.back())) return path;
  return path + kPathDelimiter;
}

size_t LastDelimiter(std::string_view path) {
  for (size_t i = path.size(); i > 0; --i) {
    if (IsPathDelimiter(path[i - 1])) return i - 1;
  }
  return std::string_view::npos;
}

}  // namespace ks
