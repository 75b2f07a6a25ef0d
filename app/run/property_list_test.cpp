#include "app/run/property_list.h"

#include <gtest/gtest.h>

#include "common/codepage.h"

namespace ks {
namespace {

TEST(PropertyList, EncodersWriteTheDocumentedForms) {
  EXPECT_EQ(EncodeFloat(1.0), "F3FF0000000000000");
  EXPECT_EQ(EncodeFloat(-1.0), "FBFF0000000000000");
  EXPECT_EQ(EncodeFloat(0.0), "F0000000000000000");
  DateTime may1;
  ASSERT_TRUE(TryEncodeDate(2003, 5, 1, may1));
  EXPECT_EQ(EncodeDateTime(may1), "D40E26DC000000000");
  EXPECT_EQ(EncodeDateTime(DateTime{0}), "D0000000000000000");
  EXPECT_EQ(EncodeBoolean(true), "BT");
  EXPECT_EQ(EncodeBoolean(false), "BF");
  EXPECT_EQ(EncodeString(""), "C");
  EXPECT_EQ(EncodeString("a\r\nb=c"), "Ca\x01\x02" "b=c");
}

TEST(PropertyList, ExtractNumberTakesTheFirstRunOfDigits) {
  EXPECT_EQ(ExtractNumber(W("А-125/3")), 125);
  EXPECT_EQ(ExtractNumber("007"), 7);
  EXPECT_EQ(ExtractNumber(W("б/н")), 0);
  EXPECT_EQ(ExtractNumber(""), 0);
  EXPECT_EQ(ExtractNumber("15/2"), 15);
  EXPECT_EQ(ExtractNumber("-42"), 42);
  EXPECT_EQ(ExtractNumber("2147483647"), 2147483647);
  EXPECT_EQ(ExtractNumber("2147483648"), 0);
  EXPECT_EQ(ExtractNumber("99999999999999999999999"), 0);
  bool overflow = true;
  EXPECT_EQ(ExtractNumber("N 2147483647", &overflow), 2147483647);
  EXPECT_FALSE(overflow);
  EXPECT_EQ(ExtractNumber("N 2147483648/1", &overflow), 0);
  EXPECT_TRUE(overflow);
}

TEST(PropertyList, LinesAreJoinedByCrLfWithoutTrailingSeparator) {
  PropertyList list;
  list.Add("BASIS=", EncodeString("two\r\nlines")).Add("CAPTION=", EncodeString(""));
  EXPECT_EQ(list.Text(), "BASIS=Ctwo\x01\x02lines\r\nCAPTION=C");
  EXPECT_EQ(PropertyList().Text(), "");
}

}  // namespace
}  // namespace ks
