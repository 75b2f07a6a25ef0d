#include "common/ini_file.h"

#include <fstream>
#include <strings.h>

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
  return a.size() == b.size() && strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

}  // namespace

std::string ReadIniString(const std::string& path, const std::string& section, const std::string& key,
                          const std::string& default_value) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return default_value;
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
