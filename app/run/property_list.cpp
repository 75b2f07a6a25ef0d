#include "app/run/property_list.h"

#include <cstring>
#include <limits>

namespace ks {
namespace {

std::string HexOfDouble(double value) {
  uint64_t bits;
  static_assert(sizeof bits == sizeof value);
  std::memcpy(&bits, &value, sizeof bits);
  static const char kDigits[] = "0123456789ABCDEF";
  std::string hex(16, '0');
  for (int i = 15; i >= 0; --i) {
    hex[i] = kDigits[bits & 0xF];
    bits >>= 4;
  }
  return hex;
}

}  // namespace

std::string EncodeString(std::string_view text) {
  std::string out = "C";
  out.reserve(text.size() + 1);
  for (char c : text) {
    if (c == '\r') out += '\x01';
    else if (c == '\n') out += '\x02';
    else out += c;
  }
  return out;
}

std::string EncodeFloat(double value) { return "F" + HexOfDouble(value); }

std::string EncodeDateTime(DateTime value) { return "D" + HexOfDouble(value.value); }

std::string EncodeBoolean(bool value) { return value ? "BT" : "BF"; }

int32_t ExtractNumber(std::string_view text, bool* overflow) {
  if (overflow != nullptr) *overflow = false;
  size_t i = 0;
  while (i < text.size() && !(text[i] >= '0' && text[i] <= '9')) ++i;
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > std::numeric_limits<int32_t>::max()) {
      if (overflow != nullptr) *overflow = true;
      return 0;
    }
  }
  return static_cast<int32_t>(value);
}

PropertyList& PropertyList::Add(std::string_view key, std::string_view encoded_value) {
  if (!text_.empty()) text_ += "\r\n";
  text_.append(key);
  text_.append(encoded_value);
  return *this;
}

}  // namespace ks
