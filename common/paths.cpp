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

std::string WithDefaultExtension(const std::string& path, const char* extension) {
  const size_t slash = LastDelimiter(path);
  const size_t name = slash == std::string::npos ? 0 : slash + 1;
  const size_t dot = path.rfind('.');
  // A name that only starts with a dot (".dbf") has no extension.
  if (dot != std::string::npos && dot > name) return path;
  return path + extension;
}

}  // namespace ks
