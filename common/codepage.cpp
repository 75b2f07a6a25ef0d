#include "common/codepage.h"

#include <array>
#include <initializer_list>

namespace ks {
namespace {

// The upper halves (bytes 0x80..0xFF) of the two code pages as Unicode code points. Each
// page holds the letters А..я (U+0410..U+044F) in runs of its own; the tables list the
// runs and, in byte order, every other character.
using HighHalf = std::array<char16_t, 128>;

struct LetterRun {
  int at;          // first byte, counted from 0x80
  char16_t first;  // its letter
  int count;
};

constexpr HighHalf HighHalfOf(std::initializer_list<LetterRun> runs, std::initializer_list<char16_t> others) {
  HighHalf half{};
  const char16_t* other = others.begin();
  for (int i = 0; i < 128; ++i) {
    bool in_run = false;
    for (const LetterRun& run : runs) {
      if (i >= run.at && i < run.at + run.count) {
        half[i] = static_cast<char16_t>(run.first + (i - run.at));
        in_run = true;
      }
    }
    if (!in_run) half[i] = *other++;  // too few others fails the constant evaluation
  }
  return half;
}

constexpr HighHalf kCp1251High = HighHalfOf({{0x40, 0x0410, 64}}, {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
});
constexpr HighHalf kCp866High = HighHalfOf({{0x00, 0x0410, 48}, {0x60, 0x0440, 16}}, {
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x0401, 0x0451, 0x0404, 0x0454, 0x0407, 0x0457, 0x040E, 0x045E,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x2116, 0x00A4, 0x25A0, 0x00A0,
});
static_assert(kCp1251High[0x3F] == 0x0457 && kCp1251High[0x40] == 0x0410 && kCp1251High[0x7F] == 0x044F);
static_assert(kCp866High[0x2F] == 0x043F && kCp866High[0x30] == 0x2591 && kCp866High[0x70] == 0x0401 &&
              kCp866High[0x7F] == 0x00A0);

using ByteTable = std::array<unsigned char, 256>;

// Maps every byte of one code page to the other through Unicode. A byte whose character
// the other page lacks becomes '?', except where a close stand-in exists.
ByteTable BuildTable(const char16_t* from_high, const char16_t* to_high) {
  ByteTable table{};
  for (int b = 0; b < 256; ++b) {
    if (b < 0x80) {
      table[b] = static_cast<unsigned char>(b);
      continue;
    }
    const char16_t code = from_high[b - 0x80];
    table[b] = '?';
    for (int t = 0; t < 128; ++t) {
      if (to_high[t] == code) {
        table[b] = static_cast<unsigned char>(0x80 + t);
        break;
      }
    }
  }
  return table;
}

const ByteTable& AnsiToOemTable() {
  static const ByteTable table = BuildTable(kCp1251High.data(), kCp866High.data());
  return table;
}

const ByteTable& OemToAnsiTable() {
  static const ByteTable table = BuildTable(kCp866High.data(), kCp1251High.data());
  return table;
}

char Cp1251FromCodePoint(char32_t cp) {
  if (cp < 0x80) return static_cast<char>(cp);
  for (int t = 0; t < 128; ++t) {
    if (kCp1251High[t] == cp) return static_cast<char>(0x80 + t);
  }
  return '?';
}

}  // namespace

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::string Utf8ToCp1251(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    const unsigned char lead = static_cast<unsigned char>(utf8[i]);
    int extra = 0;
    char32_t cp = lead;
    if (lead >= 0xF0 && lead < 0xF8) {
      extra = 3;
      cp = lead & 0x07;
    } else if (lead >= 0xE0) {
      extra = 2;
      cp = lead & 0x0F;
    } else if (lead >= 0xC0) {
      extra = 1;
      cp = lead & 0x1F;
    } else if (lead >= 0x80) {
      out += '?';  // a stray continuation byte
      ++i;
      continue;
    }
    bool ok = true;
    for (int k = 1; k <= extra; ++k) {
      if (i + k >= utf8.size()) {
        ok = false;
        break;
      }
      const unsigned char next = static_cast<unsigned char>(utf8[i + k]);
      if ((next & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (next & 0x3F);
    }
    if (!ok) {
      out += '?';
      ++i;
      continue;
    }
    out += Cp1251FromCodePoint(cp);
    i += extra + 1;
  }
  return out;
}

std::string Cp1251ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (char c : text) {
    const unsigned char b = static_cast<unsigned char>(c);
    AppendUtf8(out, b < 0x80 ? char32_t(b) : char32_t(kCp1251High[b - 0x80]));
  }
  return out;
}

void AnsiToOemInPlace(char* data, size_t size) {
  const ByteTable& table = AnsiToOemTable();
  for (size_t i = 0; i < size; ++i) data[i] = static_cast<char>(table[static_cast<unsigned char>(data[i])]);
}

void OemToAnsiInPlace(char* data, size_t size) {
  const ByteTable& table = OemToAnsiTable();
  for (size_t i = 0; i < size; ++i) data[i] = static_cast<char>(table[static_cast<unsigned char>(data[i])]);
}

size_t OemToAnsiInPlaceCountingLosses(char* data, size_t size) {
  const ByteTable& table = OemToAnsiTable();
  size_t lost = 0;
  for (size_t i = 0; i < size; ++i) {
    const unsigned char translated = table[static_cast<unsigned char>(data[i])];
    lost += translated == '?' && data[i] != '?';
    data[i] = static_cast<char>(translated);
  }
  return lost;
}

std::string AnsiToOem(std::string_view text) {
  std::string out(text);
  AnsiToOemInPlace(out.data(), out.size());
  return out;
}

std::string OemToAnsi(std::string_view text) {
  std::string out(text);
  OemToAnsiInPlace(out.data(), out.size());
  return out;
}

char UpperCp1251(char c) {
  const unsigned char b = static_cast<unsigned char>(c);
  if (b >= 'a' && b <= 'z') return static_cast<char>(b - 32);
  if (b >= 0xE0) return static_cast<char>(b - 32);  // а-я
  if (b == 0xB8) return static_cast<char>(0xA8);    // ё
  return c;
}

char LowerCp1251(char c) {
  const unsigned char b = static_cast<unsigned char>(c);
  if (b >= 'A' && b <= 'Z') return static_cast<char>(b + 32);
  if (b >= 0xC0 && b <= 0xDF) return static_cast<char>(b + 32);  // А-Я
  if (b == 0xA8) return static_cast<char>(0xB8);                  // Ё
  return c;
}

std::string UpperCp1251(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = UpperCp1251(c);
  return out;
}

std::string LowerCp1251(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = LowerCp1251(c);
  return out;
}

}  // namespace ks
