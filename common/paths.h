#pragma once
// Path texts written with this system's delimiter (common/platform.h).

#include <string>
#include <string_view>

namespace ks {

// The path with the system's delimiter added when it is not empty and ends without one.
std::string WithTrailingDelimiter(const std::string& path);
// Position of the last delimiter of the path; npos when it has none.
size_t LastDelimiter(std::string_view path);
// The path with the extension (".dbf") added when its file name has none.
std::string WithDefaultExtension(const std::string& path, const char* extension);

}  // namespace ks
