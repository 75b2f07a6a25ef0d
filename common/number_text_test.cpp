#include "common/number_text.h"

#include <gtest/gtest.h>

#include <cmath>

#include "common/testing/decimal_comma_locale.h"

namespace ks {
namespace {

// Every case under the locale with a decimal comma, where strtod and printf would read
// "12.5" as 12 and write "12,5".
class NumberTextTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(locale_.Active()) << "no locale with a decimal comma"; }
  testing::DecimalCommaLocale locale_;
};

TEST_F(NumberTextTest, ReadsThePrefixThatIsANumberAsStrtodDoesInTheCLocale) {
  double v = -7;
  EXPECT_EQ(ReadDouble("12.5", v), 4u);
  EXPECT_EQ(v, 12.5);
  EXPECT_EQ(ReadDouble("+3.25xyz", v), 5u);
  EXPECT_EQ(v, 3.25);
  EXPECT_EQ(ReadDouble("-.5", v), 3u);
  EXPECT_EQ(v, -0.5);
  EXPECT_EQ(ReadDouble("1e3", v), 3u);
  EXPECT_EQ(v, 1000.0);
  EXPECT_EQ(ReadDouble("12,5", v), 2u);  // the comma is no point
  EXPECT_EQ(v, 12.0);
  v = -7;
  EXPECT_EQ(ReadDouble("+-1", v), 0u);
  EXPECT_EQ(ReadDouble("", v), 0u);
  EXPECT_EQ(ReadDouble("abc", v), 0u);
  EXPECT_EQ(v, -7);
  EXPECT_EQ(ReadDouble("-1e999", v), 6u);
  EXPECT_TRUE(std::isinf(v) && v < 0);
  EXPECT_EQ(ReadDouble("1e-999", v), 6u);
  EXPECT_EQ(v, 0.0);
}

TEST_F(NumberTextTest, ParsesOnlyAWholeTextInRange) {
  double v = -7;
  EXPECT_TRUE(ParseDouble("12.5", v));
  EXPECT_EQ(v, 12.5);
  EXPECT_TRUE(ParseDouble("0e-999", v));
  EXPECT_EQ(v, 0.0);
  for (const char* bad : {"12,5", "12.5 ", "1e999", "1e-999", "+", "-", ".", "1..2"}) {
    v = -7;
    EXPECT_FALSE(ParseDouble(bad, v)) << bad;
    EXPECT_EQ(v, -7) << bad;
  }
}

TEST_F(NumberTextTest, FormatsWithAPoint) {
  EXPECT_EQ(FormatGeneral(12.5, 15), "12.5");
  EXPECT_EQ(FormatGeneral(0.1 + 0.2, 15), "0.3");
  EXPECT_EQ(FormatGeneral(1e20, 15), "1e+20");
  EXPECT_EQ(FormatFixed(-12.5, 6), "-12.500000");
  EXPECT_EQ(FormatFixed(2.0 / 3.0, 2), "0.67");
}

}  // namespace
}  // namespace ks
