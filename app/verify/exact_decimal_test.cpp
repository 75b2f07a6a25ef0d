// Exact decimal sums: what a stored field and a legacy double come to in millionths, and
// sums that binary doubles would get wrong.

#include "app/verify/exact_decimal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "db/engine/field_text.h"

namespace ks {
namespace {

TEST(ExactDecimalTest, LegacyDoublesRoundAsTheRunStoresThemAndSumExactly) {
  const struct {
    double value;
    bool fits;
    const char* text;
  } kCases[] = {
      {0.1, true, "0.10"},
      {-0.0000015, true, "-0.000002"},  // the double lies just above the half
      {0.0000005, true, "0.00"},        // and this one just below
      {2.675, true, "2.675"},
      {999999999999.9999, true, "999999999999.999878"},  // the double's own digits
      {-99999999999.999999, false, "-100000000000.00"},   // the double is -1e11: one digit too many
      {1e12, false, "1000000000000.00"},  // one digit too many: asterisks
      {-123456789012345.5, false, "-123456789012345.50"},
      {std::numeric_limits<double>::infinity(), false, "0.00"},
      {std::nan(""), false, "0.00"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.text);
    int64_t units = 0;
    ASSERT_EQ(StoredUnits(c.value, 19, 6, units), c.fits);
    EXPECT_EQ((c.fits ? ExactDecimal::FromUnits(units) : RoundedExactly(c.value, 6)).Text(), c.text);
  }
  // The quick way and the run's own formatting agree on values all over the range.
  uint64_t state = 88172645463325252u;
  for (int i = 0; i < 200000; ++i) {
    state ^= state << 13, state ^= state >> 7, state ^= state << 17;
    const double value = static_cast<double>(static_cast<int64_t>(state % 2000000000000u) - 1000000000000) /
                         std::pow(10.0, static_cast<double>(state % 9));
    int64_t units = 0, formatted = 0;
    const bool fits = StoredUnits(value, 19, 6, units);
    ASSERT_EQ(fits, FieldUnits(FloatToDbf(value, 19, 6).c_str(), 19, formatted)) << value;
    if (fits) {
      ASSERT_EQ(units, formatted) << value;
    }
  }
  DecimalSum sum;
  for (int i = 0; i < 1000; ++i) {
    int64_t units = 0;
    StoredUnits(0.1, 19, 6, units);
    sum.AddUnits(units);
  }
  ExactDecimal huge;
  ASSERT_TRUE(ExactDecimal::Parse("-1" + std::string(300, '0') + ".5", huge));
  sum.Add(huge);
  sum.Add(-huge);
  EXPECT_EQ(sum.Value().Grouped(), "100.00");
  EXPECT_EQ((ExactDecimal::FromInteger(-1234567) - ExactDecimal::FromUnits(5)).Grouped(), "-1 234 567.000005");
  EXPECT_EQ(ExactDecimal::FromUnits(-5) + ExactDecimal::FromUnits(5), ExactDecimal());
  EXPECT_EQ(ExactDecimal().Text(0), "0");
}

TEST(ExactDecimalTest, FieldTextsReadAsMillionthsOrNotAtAll) {
  const struct {
    const char* text;
    bool read;
    int64_t units;
  } kCases[] = {
      {"         12.500000", true, 12500000}, {"                  ", true, 0},   {"    -0.000001", true, -1},
      {"  7", true, 7000000},                 {"******************", false, 0}, {" 1.2.3", false, 0},
      {" 1.0000001", false, 0},               {" -", false, 0},                 {"12 3", false, 0},
      {"9999999999999.000000", false, 0},  // beyond millionths in 64 bits
      {"  -12.500000", true, -12500000},   {"  1-2.500000", false, 0},     {"   -.500000", true, -500000},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.text);
    int64_t units = -99;
    ASSERT_EQ(FieldUnits(c.text, static_cast<int>(std::strlen(c.text)), units), c.read);
    ExactDecimal parsed;
    if (c.read && c.units != 0) {
      EXPECT_EQ(units, c.units);
      EXPECT_TRUE(ExactDecimal::Parse(c.text, parsed) && parsed == ExactDecimal::FromUnits(c.units));
    }
  }
}

}  // namespace
}  // namespace ks
