#include "common/date_time.h"

#include <gtest/gtest.h>

#include <cmath>

namespace ks {
namespace {

TEST(DateTime, EncodesDaysSince1899) {
  DateTime d;
  ASSERT_TRUE(TryEncodeDate(1899, 12, 30, d));
  EXPECT_EQ(d.value, 0);
  ASSERT_TRUE(TryEncodeDate(2003, 5, 1, d));
  EXPECT_EQ(d.value, 37742);
  ASSERT_TRUE(TryEncodeDate(1, 1, 1, d));
  EXPECT_EQ(DateToOrdinal(d), 1);
}

TEST(DateTime, RejectsImpossibleDates) {
  DateTime d;
  EXPECT_FALSE(TryEncodeDate(2003, 13, 1, d));
  EXPECT_FALSE(TryEncodeDate(2003, 2, 29, d));
  EXPECT_TRUE(TryEncodeDate(2004, 2, 29, d));
  EXPECT_FALSE(TryEncodeDate(0, 1, 1, d));
}

TEST(DateTime, DecodeInvertsEncode) {
  for (int year : {1, 1899, 1900, 2000, 2024, 9999}) {
    for (int month : {1, 2, 12}) {
      DateTime d;
      ASSERT_TRUE(TryEncodeDate(year, month, month == 2 ? 28 : 31, d));
      int y, m, day;
      DecodeDate(d, y, m, day);
      EXPECT_EQ(y, year);
      EXPECT_EQ(m, month);
      EXPECT_EQ(day, month == 2 ? 28 : 31);
    }
  }
}

TEST(DateTime, ExtremeOrdinalsDoNotOverflow) {
  EXPECT_EQ(OrdinalToDate(-2147483647 - 1).value, -2147483648.0 - 693594.0);
  EXPECT_EQ(OrdinalToDate(2147483647).value, 2147483647.0 - 693594.0);
}

TEST(DateTime, OrdinalOf1970) {
  DateTime d;
  ASSERT_TRUE(TryEncodeDate(1970, 1, 1, d));
  EXPECT_EQ(DateToOrdinal(d), 719163);
  EXPECT_EQ(OrdinalToDate(719163), d);
}

TEST(DateTime, ValuesNoCalendarReachesHaveNoDay) {
  int y = -1, m = -1, day = -1;
  DecodeDate(DateTime{std::nan("")}, y, m, day);
  EXPECT_EQ(y + m + day, 0);
  EXPECT_EQ(DateToOrdinal(DateTime{1e300}), 0);
}

}  // namespace
}  // namespace ks
