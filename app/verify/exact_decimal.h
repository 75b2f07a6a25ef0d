#pragma once
// An exact decimal with six fraction digits (the decimals of the new base's number fields)
// and room for any double's magnitude, for control totals: summing binary doubles would
// make an honest 0.01 appear or vanish. Sums of many ordinary values are gathered in
// DecimalSum, which adds whole millionths and only falls back to the wide form for values
// beyond them.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace ks {

class ExactDecimal {
 public:
  static constexpr int kDecimals = 6;

  ExactDecimal() = default;
  // units millionths (123456 is 0.123456).
  static ExactDecimal FromUnits(__int128 units);
  static ExactDecimal FromInteger(int64_t value) { return FromUnits(static_cast<__int128>(value) * 1000000); }
  // "-123.45", "+7", "0.5": an optional sign, digits, at most one point followed by at most
  // kDecimals digits; surrounding blanks are allowed. False for anything else.
  static bool Parse(std::string_view text, ExactDecimal& out);

  bool IsZero() const;
  bool Negative() const { return negative_ && !IsZero(); }

  ExactDecimal& operator+=(const ExactDecimal& other);
  ExactDecimal& operator-=(const ExactDecimal& other);
  ExactDecimal operator-() const;
  friend ExactDecimal operator+(ExactDecimal a, const ExactDecimal& b) { return a += b; }
  friend ExactDecimal operator-(ExactDecimal a, const ExactDecimal& b) { return a -= b; }
  friend bool operator==(const ExactDecimal& a, const ExactDecimal& b);

  // The exact value with at least min_decimals fraction digits and no trailing zero beyond
  // them: "1234.50", "-0.000001", "12" for 0 decimals. Always "." for the point.
  std::string Text(int min_decimals = 2) const;
  // For people: as Text, with a space between the thousands ("1 234 567.89").
  std::string Grouped(int min_decimals = 2) const;

 private:
  static constexpr uint32_t kBase = 1000000000;  // nine digits a limb
  static constexpr int kLimbs = 40;              // 360 digits: the largest double, millionths, sums of it

  // Magnitudes.
  static int Compare(const std::array<uint32_t, kLimbs>& a, const std::array<uint32_t, kLimbs>& b);
  void AddMagnitude(const std::array<uint32_t, kLimbs>& other);
  void SubtractMagnitude(const std::array<uint32_t, kLimbs>& smaller);  // this >= smaller
  void Combine(const ExactDecimal& other, bool subtract);

  bool negative_ = false;
  std::array<uint32_t, kLimbs> limbs_{};  // the magnitude in millionths, least significant limb first
};

// A running sum of values given as millionths, or as exact decimals when they are wider.
class DecimalSum {
 public:
  void AddUnits(int64_t units) { units_ += units; }
  void Add(const ExactDecimal& value) { wide_ += value; }
  ExactDecimal Value() const { return ExactDecimal::FromUnits(units_) + wide_; }

 private:
  __int128 units_ = 0;
  ExactDecimal wide_;
};

// A double as the run stores it in a number field of that width (at most the 19 of the
// new base's number fields, so that any stored value fits millionths) and decimals (at
// most kDecimals), in millionths. False when it does not fit and is stored as the overflow
// mark (asterisks).
bool StoredUnits(double value, int width, int decimals, int64_t& units);
// The value rounded to the decimals as the run would have written it, had it fitted; zero
// for an infinity or not-a-number.
ExactDecimal RoundedExactly(double value, int decimals);

// The number text of a dBASE number field (right-aligned, blanks for no value) in
// millionths; blanks read 0. False when it is no number of at most kDecimals decimals
// (asterisks included) or too large for millionths in 64 bits.
bool FieldUnits(const char* text, int len, int64_t& units);

}  // namespace ks
