#include "db/engine/field_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "common/codepage.h"
#include "common/exception.h"

namespace ks {

std::string TrimTrailingBlanks(std::string_view s) {
  size_t end = s.size();
  while (end > 0 && s[end - 1] == ' ') --end;
  return std::string(s.substr(0, end));
}

std::string RepeatChar(char c, int n) { return n <= 0 ? std::string() : std::string(n, c); }

std::string PadLeft(std::string_view s, int width) {
  if (static_cast<int>(s.size()) >= width) return std::string(s);
  return RepeatChar(' ', width - static_cast<int>(s.size())) + std::string(s);
}

std::string PadRight(std::string_view s, int width) {
  if (width <= 0) return std::string();
  if (static_cast<int>(s.size()) >= width) return std::string(s.substr(0, width));
  return std::string(s) + RepeatChar(' ', width - static_cast<int>(s.size()));
}

std::string BufferToString(const char* data, size_t n) {
  return n == 0 ? std::string() : std::string(data, n);
}

std::string NextKeyField(std::string_view list, size_t& position) {
  if (position < 1) position = 1;
  if (position > list.size()) {
    position = list.size() + 1;
    return std::string();
  }
  const size_t start = position - 1;
  size_t end = list.find(';', start);
  if (end == std::string_view::npos) end = list.size();
  position = end + 2;  // past the ';'
  return TrimTrailingBlanks(list.substr(start, end - start));
}

bool CharToBool(char c) { return c == 'T' || c == 't' || c == 'Y' || c == 'y'; }

char BoolToChar(bool value) { return value ? 'T' : 'F'; }

std::string DateToDbf(DateTime date) {
  if (date.value == 0) return "00000000";
  int year = 0, month = 0, day = 0;
  DecodeDate(date, year, month, day);
  // A date outside the four-digit years has no text form; it is stored as no date rather
  // than as a text that reads back as another day.
  if (year < 1 || year > 9999) return "00000000";
  char text[16];
  std::snprintf(text, sizeof text, "%04d%02d%02d", year, month, day);
  return text;
}

namespace {

// The decimal integer of s, or 0 when s is not one (blanks around it are allowed).
int ReadInt(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  int value = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (ec != std::errc() || end != s.data() + s.size()) return 0;
  return value;
}

std::string_view Slice(std::string_view s, size_t from, size_t count) {
  if (from >= s.size()) return {};
  return s.substr(from, count);
}

}  // namespace

DateTime DbfToDate(std::string_view s) {
  const int year = ReadInt(Slice(s, 0, 4));
  const int month = ReadInt(Slice(s, 4, 2));
  const int day = ReadInt(Slice(s, 6, 2));
  if (year == 0 && month == 0 && day == 0) return DateTime{0};
  DateTime date;
  if (!TryEncodeDate(year, month, day, date)) return DateTime{0};
  return date;
}

namespace {

// The fixed form of value with decimals fraction digits, as std::to_chars writes it, for
// the usual magnitudes; null when the general formatter is needed. The scaled value is
// at most 2^40, so the scaling errs by less than 2^-13, and only a value that close to
// a half could round the other way: those go to the general formatter.
char* FormatFixedFast(double value, int decimals, char* out) {
  static constexpr double kScale[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
  static constexpr uint64_t kIntScale[] = {1,      10,      100,      1000,      10000,
                                           100000, 1000000, 10000000, 100000000, 1000000000};
  if (decimals > 9) return nullptr;
  const double scaled = std::fabs(value) * kScale[decimals];
  if (!(scaled < 1e12)) return nullptr;
  const double whole = std::floor(scaled);
  const double fraction = scaled - whole;
  if (std::fabs(fraction - 0.5) < 1e-3) return nullptr;
  const uint64_t n = static_cast<uint64_t>(whole) + (fraction > 0.5 ? 1 : 0);
  if (std::signbit(value)) *out++ = '-';
  out = std::to_chars(out, out + 24, n / kIntScale[decimals]).ptr;
  if (decimals > 0) {
    *out++ = '.';
    uint64_t rest = n % kIntScale[decimals];
    for (int i = decimals - 1; i >= 0; --i) {
      out[i] = static_cast<char>('0' + rest % 10);
      rest /= 10;
    }
    out += decimals;
  }
  return out;
}

}  // namespace

void IntToDbf(int32_t value, int width, char* out) {
  if (width <= 0) return;
  char digits[16];
  const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value);
  const int length = static_cast<int>(end - digits);
  if (ec != std::errc() || length > width) {
    std::memset(out, '*', static_cast<size_t>(width));
    return;
  }
  std::memset(out, ' ', static_cast<size_t>(width - length));
  std::memcpy(out + (width - length), digits, static_cast<size_t>(length));
}

std::string IntToDbf(int32_t value, int width) {
  std::string text(static_cast<size_t>(std::max(width, 0)), ' ');
  IntToDbf(value, width, text.data());
  return text;
}

void FloatToDbf(double value, int width, int decimals, char* out) {
  if (width <= 0) return;
  const auto overflow = [&] { std::memset(out, '*', static_cast<size_t>(width)); };
  if (!std::isfinite(value)) return overflow();
  if (decimals < 0) decimals = 0;
  char formatted[512];
  char* end = FormatFixedFast(value, decimals, formatted);
  if (end == nullptr) {
    const auto result = std::to_chars(formatted, formatted + sizeof formatted, value, std::chars_format::fixed, decimals);
    if (result.ec != std::errc()) return overflow();
    end = result.ptr;
  }

  // The fixed form is an optional "-", the integer digits and, with decimals, "." and
  // exactly that many fraction digits.
  const char* digits = formatted;
  const bool negative = *digits == '-';
  if (negative) ++digits;
  const char* point = std::find(digits, static_cast<const char*>(end), '.');
  std::string_view integer(digits, static_cast<size_t>(point - digits));
  if (integer.empty()) integer = "0";
  const std::string_view fraction =
      point == end ? std::string_view() : std::string_view(point + 1, static_cast<size_t>(end - point - 1));

  const int integer_width = decimals > 0 ? width - decimals - 1 : width;
  const int integer_length = static_cast<int>(integer.size()) + (negative ? 1 : 0);
  if (integer_length > integer_width) return overflow();
  std::memset(out, ' ', static_cast<size_t>(integer_width - integer_length));
  char* at = out + (integer_width - integer_length);
  if (negative) *at++ = '-';
  std::memcpy(at, integer.data(), integer.size());
  if (decimals > 0) {
    char* tail = out + integer_width;
    *tail++ = '.';
    std::memset(tail, '0', static_cast<size_t>(decimals));
    std::memcpy(tail, fraction.data(), std::min(fraction.size(), static_cast<size_t>(decimals)));
  }
}

std::string FloatToDbf(double value, int width, int decimals) {
  std::string text(static_cast<size_t>(std::max(width, 0)), ' ');
  FloatToDbf(value, width, decimals, text.data());
  return text;
}

double DbfToFloat(std::string_view s) {
  bool negative = false, seen_sign = false, seen_digit = false, in_fraction = false;
  std::string integer, fraction;
  for (const char c : s) {
    if (c >= '0' && c <= '9') {
      seen_digit = true;
      (in_fraction ? fraction : integer) += c;
    } else if (c == '.') {
      in_fraction = true;
    } else if ((c == '+' || c == '-') && !seen_digit && !in_fraction && !seen_sign) {
      seen_sign = true;
      negative = c == '-';
    }
  }
  if (!seen_digit) return 0;
  std::string text = integer.empty() ? "0" : integer;
  if (!fraction.empty()) text += "." + fraction;
  double value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc()) return 0;
  return negative ? -value : value;
}

bool IsOverflowMark(std::string_view s) {
  if (s.empty()) return false;
  for (const char c : s) {
    if (c != '*') return false;
  }
  return true;
}

std::string VariantToText(const Variant& value) {
  if (value.IsNull()) return std::string();
  if (value.Is<std::string>()) return value.As<std::string>();
  if (value.Is<int32_t>()) return std::to_string(value.As<int32_t>());
  if (value.Is<bool>()) return value.As<bool>() ? "True" : "False";
  if (value.Is<double>()) {
    char text[64];
    auto [end, ec] = std::to_chars(text, text + sizeof text, value.As<double>());
    return ec == std::errc() ? std::string(text, end) : std::string();
  }
  if (value.Is<DateTime>()) {
    int y = 0, m = 0, d = 0;
    DecodeDate(value.As<DateTime>(), y, m, d);
    char text[32];
    std::snprintf(text, sizeof text, "%02d.%02d.%04d", d, m, y);
    return text;
  }
  throw Exception("Could not convert variant to text");
}

std::string BuildLocateExpr(const std::function<int(const std::string&)>& field_type,
                            int options, std::string_view key_fields,
                            const Variant& key_values) {
  std::vector<std::string> names;
  size_t position = 1;
  while (position <= key_fields.size()) names.push_back(NextKeyField(key_fields, position));
  if (names.empty()) return std::string();

  std::string expression;
  for (size_t i = 0; i < names.size(); ++i) {
    std::string name = names[i];
    if (name.empty()) return std::string();
    const Variant* key = &key_values;
    if (names.size() > 1) {
      if (!key_values.Is<Variant::Array>()) return std::string();
      const Variant::Array& values = key_values.As<Variant::Array>();
      if (i >= values.size()) return std::string();
      key = &values[i];
    }
    // A list where one value belongs has no text: no expression.
    if (key->Is<Variant::Array>()) return std::string();
    std::string value = VariantToText(*key);
    const int type = field_type(name);
    if (type == 0) return std::string();  // no such field
    if (type == 'C') {
      const size_t length = value.size();
      if (options & 1) {
        name = "UPPER(" + name + ")";
        value = UpperCp1251(value);
      }
      // A text holding an apostrophe is delimited by double quotes, which the expression
      // parser also takes; a text holding both cannot be written as a constant.
      const bool has_apostrophe = value.find('\'') != std::string::npos;
      if (has_apostrophe && value.find('"') != std::string::npos) return std::string();
      const char quote = has_apostrophe ? '"' : '\'';
      value = quote + value + quote;
      if ((options & 2) && i + 1 == names.size()) {
        name = "LEFT(" + name + "," + std::to_string(length) + ")";
      }
    }
    if (!expression.empty()) expression += ".AND.";
    expression += name + "=" + value;
  }
  return expression;
}

}  // namespace ks
