#pragma once
// Read-only look-up in an INI file, as the original platform does it: section and key names
// match without regard to case, the first match wins, the value is trimmed of blanks and of
// one pair of enclosing quotes. A missing file, section or key gives the default. The file is
// never written or created.

#include <string>

namespace ks {

// The file is read once, when the object is made; a file that cannot be read reads as empty.
class IniFile {
 public:
  explicit IniFile(const std::string& path);
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& default_value) const;

 private:
  std::string content_;
};

}  // namespace ks
