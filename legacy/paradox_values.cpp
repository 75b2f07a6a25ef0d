#include "legacy/paradox_values.h"

#include <cstring>

namespace ks {

bool IsKnownParadoxType(uint8_t code) {
  switch (code) {
    case 0x01: case 0x02: case 0x03: case 0x04: case 0x05: case 0x06: case 0x09:
    case 0x0C: case 0x0D: case 0x0E: case 0x0F: case 0x10:
    case 0x14: case 0x15: case 0x16: case 0x17: case 0x18:
      return true;
    default:
      return false;
  }
}

char ParadoxTypeLetter(uint8_t code) {
  switch (code) {
    case 0x01: return 'A';
    case 0x02: return 'D';
    case 0x03: return 'S';
    case 0x04: return 'I';
    case 0x05: return '$';
    case 0x06: return 'N';
    case 0x09: return 'L';
    case 0x0C: return 'M';
    case 0x0D: return 'B';
    case 0x0E: return 'F';
    case 0x0F: return 'O';
    case 0x10: return 'G';
    case 0x14: return 'T';
    case 0x15: return '@';
    case 0x16: return '+';
    case 0x17: return '#';
    case 0x18: return 'Y';
    default: return '?';
  }
}

bool IsParadoxNull(ParadoxFieldType type, const uint8_t* data, size_t size) {
  switch (type) {
    case ParadoxFieldType::kAlpha:
    case ParadoxFieldType::kBytes:
    case ParadoxFieldType::kLogical:
      return size == 0 || data[0] == 0;
    case ParadoxFieldType::kBcd:
      // Bit 7 is the sign and bit 6 marks a value: a negative value has only bit 6 set.
      return (data[0] & 0xC0) == 0;
    default:
      if (IsParadoxBlobType(type)) {
        // An empty blob has a zero length in its pointer; the leader may hold left-overs.
        if (size < static_cast<size_t>(kParadoxBlobPointerSize)) return true;
        const uint8_t* length = data + size - kParadoxBlobPointerSize + 4;
        return (length[0] | length[1] | length[2] | length[3]) == 0;
      }
      for (size_t i = 0; i < size; ++i) {
        if (data[i] != 0) return false;
      }
      return true;
  }
}

bool DecodeParadoxLogical(const uint8_t* data) { return data[0] == 0x81; }

std::string_view DecodeParadoxAlpha(const uint8_t* data, size_t size) {
  const void* nul = std::memchr(data, 0, size);
  const size_t length = nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - data) : size;
  return std::string_view(reinterpret_cast<const char*>(data), length);
}

std::string DecodeParadoxBcd(const uint8_t* data) {
  if ((data[0] & 0xC0) == 0) return {};
  const bool negative = (data[0] & 0x80) == 0;
  int decimals = data[0] & 0x3F;
  if (decimals > 32) decimals = 32;
  char digits[32];
  for (int i = 0; i < 32; ++i) {
    uint8_t nibble = (i % 2 == 0) ? (data[1 + i / 2] >> 4) : (data[1 + i / 2] & 0x0F);
    if (negative) nibble ^= 0x0F;
    digits[i] = static_cast<char>('0' + (nibble > 9 ? 9 : nibble));
  }
  const int integer_digits = 32 - decimals;
  int first = 0;
  while (first < integer_digits - 1 && digits[first] == '0') ++first;
  std::string text;
  if (negative) text += '-';
  if (integer_digits == 0) {
    text += '0';
  } else {
    text.append(digits + first, digits + integer_digits);
  }
  if (decimals > 0) {
    text += '.';
    text.append(digits + integer_digits, digits + 32);
  }
  return text;
}

}  // namespace ks
