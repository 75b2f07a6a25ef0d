#include "xml/xml_text.h"

#include <cstdint>

namespace ks {

std::string DecodeEntities(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] != '&') {
      out += text[i++];
      continue;
    }
    const size_t semicolon = text.find(';', i);
    if (semicolon == std::string_view::npos) {
      out.append(text.substr(i));
      break;
    }
    // The three characters after "&" ("#x") are not examined.
    const size_t digits = i + 3;
    const std::string_view hex =
        digits < semicolon ? text.substr(digits, semicolon - digits) : std::string_view();
    out += static_cast<char>(HexToInt(hex) & 0xFF);
    i = semicolon + 1;
  }
  return out;
}

int HexToInt(std::string_view text) {
  uint32_t result = 0;
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    uint32_t digit;
    if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10u;
    } else if (c >= 'A') {
      digit = c - 'A' + 10u;
    } else {
      digit = static_cast<uint32_t>(static_cast<int>(c) - '0');
    }
    result = (result << 4) | digit;
  }
  return static_cast<int>(result);
}

void SplitString(std::string_view text, std::vector<std::string>& list, char delimiter) {
  list.clear();
  size_t start = 0;
  while (true) {
    const size_t end = text.find(delimiter, start);
    if (end == std::string_view::npos) {
      list.emplace_back(text.substr(start));
      return;
    }
    list.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
}

}  // namespace ks
