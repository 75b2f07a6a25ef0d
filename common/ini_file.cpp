#include "common/ini_file.h"

#include <sstream>

#include "common/codepage.h"
#include "common/file.h"

namespace ks {
namespace {

std::string Trim(const std::string& s) {
  const char* blanks = " \t\r\n";
  const size_t begin = s.find_first_not_of(blanks);
  if (begin == std::string::npos) return "";
  const size_t end = s.find_last_not_of(blanks);
  return s.substr(begin, end - begin + 1);
}

bool SameName(const std::string& a, const std::string& b) {
  return UpperCp1251(a) == UpperCp1251(b);
}

// The whole file; false when it cannot be read. Read through File, so that a path in
// Windows-1251 reaches the system as it is meant.
bool ReadWholeFile(const std::string& path, std::string& text) {
  File file;
  if (!file.Open(path, File::Mode::kReadOnly)) return false;
  const int64_t size = file.Size();
  if (size < 0) return false;
  text.resize(static_cast<size_t>(size));
  return file.ReadExactAt(0, text.data(), text.size());
}

}  // namespace

IniFile::IniFile(const std::string& path) {
  if (!ReadWholeFile(path, content_)) content_.clear();
}

std::string IniFile::ReadString(const std::string& section, const std::string& key,
                                const std::string& default_value) const {
  std::istringstream in(content_);
  std::string line;
  bool in_section = false;
  while (std::getline(in, line)) {
    const std::string text = Trim(line);
    if (text.empty() || text[0] == ';') continue;
    if (text[0] == '[') {
      const size_t close = text.find(']');
      in_section = close != std::string::npos && SameName(Trim(text.substr(1, close - 1)), section);
      continue;
    }
    if (!in_section) continue;
    const size_t eq = text.find('=');
    if (eq == std::string::npos || !SameName(Trim(text.substr(0, eq)), key)) continue;
    std::string value = Trim(text.substr(eq + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
      value = value.substr(1, value.size() - 2);
    }
    return value;
  }
  return default_value;
}

}  // namespace ks
