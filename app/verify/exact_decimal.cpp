#include "app/verify/exact_decimal.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cmath>

#include "db/engine/field_text.h"

namespace ks {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

constexpr int64_t kPowers[] = {1, 10, 100, 1000, 10000, 100000, 1000000};

}  // namespace

ExactDecimal ExactDecimal::FromUnits(__int128 units) {
  ExactDecimal d;
  d.negative_ = units < 0;
  unsigned __int128 magnitude = d.negative_ ? -static_cast<unsigned __int128>(units) : units;
  for (int i = 0; magnitude != 0; ++i) {
    d.limbs_[i] = static_cast<uint32_t>(magnitude % kBase);
    magnitude /= kBase;
  }
  return d;
}

bool ExactDecimal::Parse(std::string_view text, ExactDecimal& out) {
  size_t i = 0, end = text.size();
  while (i < end && text[i] == ' ') ++i;
  while (end > i && text[end - 1] == ' ') --end;
  bool negative = false;
  if (i < end && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  std::string digits;  // integer and fraction digits, the fraction padded to kDecimals
  int fraction = -1;   // fraction digits seen; -1 before the point
  for (; i < end; ++i) {
    if (IsDigit(text[i])) {
      if (fraction >= 0 && ++fraction > kDecimals) return false;
      digits += text[i];
    } else if (text[i] == '.' && fraction < 0) {
      fraction = 0;
    } else {
      return false;
    }
  }
  if (digits.empty() || digits.size() > kLimbs * 9 - kDecimals) return false;
  digits.append(static_cast<size_t>(kDecimals - std::max(fraction, 0)), '0');
  ExactDecimal d;
  d.negative_ = negative;
  // Nine digits a limb, from the right.
  for (int limb = 0, stop = static_cast<int>(digits.size()); stop > 0; ++limb, stop -= 9) {
    const int start = std::max(stop - 9, 0);
    uint32_t value = 0;
    for (int k = start; k < stop; ++k) value = value * 10 + static_cast<uint32_t>(digits[k] - '0');
    d.limbs_[limb] = value;
  }
  out = d;
  return true;
}

bool ExactDecimal::IsZero() const {
  for (const uint32_t limb : limbs_) {
    if (limb != 0) return false;
  }
  return true;
}

int ExactDecimal::Compare(const std::array<uint32_t, kLimbs>& a, const std::array<uint32_t, kLimbs>& b) {
  for (int i = kLimbs - 1; i >= 0; --i) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  return 0;
}

void ExactDecimal::AddMagnitude(const std::array<uint32_t, kLimbs>& other) {
  uint32_t carry = 0;
  for (int i = 0; i < kLimbs; ++i) {
    const uint64_t sum = uint64_t(limbs_[i]) + other[i] + carry;
    limbs_[i] = static_cast<uint32_t>(sum % kBase);
    carry = static_cast<uint32_t>(sum / kBase);
  }
  // The limbs hold far more than any sum of doubles a table can give; a carry out of the
  // last one would mean a wrong total, never a silent one.
  if (carry != 0) std::abort();
}

void ExactDecimal::SubtractMagnitude(const std::array<uint32_t, kLimbs>& smaller) {
  int64_t borrow = 0;
  for (int i = 0; i < kLimbs; ++i) {
    int64_t difference = int64_t(limbs_[i]) - smaller[i] - borrow;
    borrow = difference < 0;
    if (borrow) difference += kBase;
    limbs_[i] = static_cast<uint32_t>(difference);
  }
}

void ExactDecimal::Combine(const ExactDecimal& other, bool subtract) {
  const bool other_negative = other.negative_ != subtract;
  if (negative_ == other_negative) return AddMagnitude(other.limbs_);
  if (Compare(limbs_, other.limbs_) >= 0) return SubtractMagnitude(other.limbs_);
  std::array<uint32_t, kLimbs> mine = limbs_;
  limbs_ = other.limbs_;
  SubtractMagnitude(mine);
  negative_ = other_negative;
}

ExactDecimal& ExactDecimal::operator+=(const ExactDecimal& other) {
  Combine(other, false);
  return *this;
}

ExactDecimal& ExactDecimal::operator-=(const ExactDecimal& other) {
  Combine(other, true);
  return *this;
}

ExactDecimal ExactDecimal::operator-() const {
  ExactDecimal d = *this;
  d.negative_ = !negative_;
  return d;
}

bool operator==(const ExactDecimal& a, const ExactDecimal& b) {
  return a.limbs_ == b.limbs_ && (a.negative_ == b.negative_ || a.IsZero());
}

std::string ExactDecimal::Text(int min_decimals) const {
  std::string digits;
  int top = kLimbs - 1;
  while (top > 0 && limbs_[top] == 0) --top;
  digits = std::to_string(limbs_[top]);
  for (int i = top - 1; i >= 0; --i) {
    const std::string limb = std::to_string(limbs_[i]);
    digits += std::string(9 - limb.size(), '0') + limb;
  }
  if (digits.size() <= kDecimals) digits.insert(0, kDecimals + 1 - digits.size(), '0');
  std::string integer = digits.substr(0, digits.size() - kDecimals);
  std::string fraction = digits.substr(digits.size() - kDecimals);
  while (static_cast<int>(fraction.size()) > min_decimals && fraction.back() == '0') fraction.pop_back();
  return (Negative() ? "-" : "") + integer + (fraction.empty() ? "" : "." + fraction);
}

std::string ExactDecimal::Grouped(int min_decimals) const {
  const std::string text = Text(min_decimals);
  const size_t first = text[0] == '-' ? 1 : 0;
  const size_t point = std::min(text.find('.'), text.size());
  std::string out = text.substr(0, first);
  for (size_t i = first; i < point; ++i) {
    if (i > first && (point - i) % 3 == 0) out += ' ';
    out += text[i];
  }
  return out + text.substr(point);
}

bool StoredUnits(double value, int width, int decimals, int64_t& units) {
  // Most values: scaled to millionths below 2^40, the product errs by less than 2^-13, so
  // rounding it gives the correctly rounded value unless it lies that close to a half; and
  // below a million it fits any field of six decimals wide enough for a million.
  if (decimals == ExactDecimal::kDecimals && width >= kFloatFieldWidth) {
    const double scaled = std::fabs(value) * 1e6;
    if (scaled < 1e12) {
      const double whole = std::floor(scaled);
      const double fraction = scaled - whole;
      if (std::fabs(fraction - 0.5) >= 1e-3) {
        const int64_t magnitude = static_cast<int64_t>(whole) + (fraction > 0.5 ? 1 : 0);
        units = value < 0 ? -magnitude : magnitude;
        return true;
      }
    }
  }
  char text[kFloatFieldWidth];
  width = std::min(width, kFloatFieldWidth);
  FloatToDbf(value, width, decimals, text);
  return FieldUnits(text, width, units);
}

ExactDecimal RoundedExactly(double value, int decimals) {
  ExactDecimal exact;
  if (!std::isfinite(value)) return exact;
  char wide[512];
  const auto result = std::to_chars(wide, wide + sizeof wide, value, std::chars_format::fixed, decimals);
  if (result.ec == std::errc()) ExactDecimal::Parse(std::string_view(wide, result.ptr - wide), exact);
  return exact;
}

bool FieldUnits(const char* text, int len, int64_t& units) {
  // The layout the run writes: blanks, an optional minus, digits, "." and six digits.
  if (len > 7 && len <= 19 && text[len - 7] == '.') {
    int64_t value = 0;
    int i = 0;
    while (i < len - 7 && text[i] == ' ') ++i;
    const bool negative = i < len - 7 && text[i] == '-';
    if (negative) ++i;
    bool digits = i < len - 7;
    for (; i < len - 7; ++i) {
      digits = digits && IsDigit(text[i]);
      value = value * 10 + (text[i] - '0');
    }
    for (i = len - 6; i < len; ++i) {
      digits = digits && IsDigit(text[i]);
      value = value * 10 + (text[i] - '0');
    }
    if (digits) {
      units = negative ? -value : value;
      return true;
    }
  }
  int i = 0;
  while (i < len && text[i] == ' ') ++i;
  if (i == len) {
    units = 0;
    return true;
  }
  const bool negative = text[i] == '-';
  if (negative) ++i;
  int64_t value = 0;
  int digits = 0, fraction = -1;
  for (; i < len; ++i) {
    const char c = text[i];
    if (IsDigit(c)) {
      if (fraction >= 0 && ++fraction > ExactDecimal::kDecimals) return false;
      if (++digits > 18) return false;
      value = value * 10 + (c - '0');
    } else if (c == '.' && fraction < 0) {
      fraction = 0;
    } else {
      return false;
    }
  }
  const int scale = ExactDecimal::kDecimals - std::max(fraction, 0);
  if (digits == 0 || digits + scale > 18) return false;
  value *= kPowers[scale];
  units = negative ? -value : value;
  return true;
}

}  // namespace ks
