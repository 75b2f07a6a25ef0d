#include "app/win32/log_text.h"

namespace ks {

std::string LogAppendText(std::string_view line) {
  std::string text;
  text.reserve(line.size() + 2);
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '\r' || c == '\n') {
      text += "\r\n";
      if (c == '\r' && i + 1 < line.size() && line[i + 1] == '\n') ++i;
    } else {
      text += c;
    }
  }
  text += "\r\n";
  return text;
}

}  // namespace ks
