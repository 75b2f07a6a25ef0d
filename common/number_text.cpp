#include "common/number_text.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace ks {
size_t ReadDouble(std::string_view text, double& value) {
  // std::from_chars takes no "+"; a second sign after it is no number.
  size_t skip = 0;
  if (!text.empty() && text[0] == '+') {
    if (text.size() > 1 && (text[1] == '+' || text[1] == '-')) return 0;
    skip = 1;
  }
  const char* begin = text.data() + skip;
  const char* end = text.data() + text.size();
  double parsed = 0;
  const auto [ptr, ec] = std::from_chars(begin, end, parsed);
  if (ec == std::errc::invalid_argument || ptr == begin) return 0;
  if (ec == std::errc::result_out_of_range) {
    // The direction of the exponent tells an overflow from an underflow.
    const std::string_view used(begin, static_cast<size_t>(ptr - begin));
    const size_t mark = used.find_first_of("eE");
    const bool tiny = mark != std::string_view::npos && mark + 1 < used.size() && used[mark + 1] == '-';
    const bool negative = used.front() == '-';
    parsed = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    if (negative) parsed = -parsed;
  }
  value = parsed;
  return static_cast<size_t>(ptr - text.data());
}

bool ParseDouble(std::string_view text, double& value) {
  double parsed = 0;
  const size_t used = ReadDouble(text, parsed);
  if (used == 0 || used != text.size()) return false;
  // Out of range: ReadDouble gave infinity for a finite text, or zero for a text with a
  // non-zero digit.
  if (std::isinf(parsed) && text.find_first_of("iI") == std::string_view::npos) return false;
  if (parsed == 0) {
    const size_t mark = text.find_first_of("eE");
    if (text.substr(0, mark).find_first_of("123456789") != std::string_view::npos) return false;
  }
  value = parsed;
  return true;
}

std::string FormatGeneral(double value, int precision) {
  char text[64];
  const auto [end, ec] = std::to_chars(text, text + sizeof text, value, std::chars_format::general, precision);
  return ec == std::errc() ? std::string(text, end) : std::string();
}

std::string FormatFixed(double value, int decimals) {
  char text[400];
  const auto [end, ec] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  return ec == std::errc() ? std::string(text, end) : std::string();
}

}  // namespace ks
