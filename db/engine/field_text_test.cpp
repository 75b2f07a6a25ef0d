#include "db/engine/field_text.h"

#include <gtest/gtest.h>

#include <climits>

#include "common/codepage.h"

namespace ks {
namespace {

TEST(TextHelpers, PadTrimRepeatAndKeyFields) {
  EXPECT_EQ(PadRight("Moscow", 3), "Mos");
  EXPECT_EQ(PadRight("Ufa", 5), "Ufa  ");
  EXPECT_EQ(PadLeft("Moscow", 3), "Moscow");
  EXPECT_EQ(PadLeft("7", 3), "  7");
  EXPECT_EQ(TrimTrailingBlanks("  a b  "), "  a b");
  EXPECT_EQ(TrimTrailingBlanks("a\n"), "a\n");
  EXPECT_EQ(RepeatChar('x', 0), "");
  EXPECT_EQ(RepeatChar('x', -3), "");
  EXPECT_EQ(BufferToString("a\0b", 3), std::string("a\0b", 3));

  size_t position = 1;
  EXPECT_EQ(NextKeyField("NAME ;CODE", position), "NAME");
  EXPECT_EQ(NextKeyField("NAME ;CODE", position), "CODE");
  EXPECT_GT(position, std::string("NAME ;CODE").size());
}

TEST(DateText, ZeroBlankAndImpossibleDates) {
  DateTime march;
  ASSERT_TRUE(TryEncodeDate(2002, 3, 1, march));
  EXPECT_EQ(DateToDbf(march), "20020301");
  EXPECT_EQ(DbfToDate("20020301"), march);
  EXPECT_EQ(DateToDbf(DateTime{0}), "00000000");
  EXPECT_EQ(DbfToDate("00000000").value, 0);
  EXPECT_EQ(DbfToDate("        ").value, 0);
  EXPECT_EQ(DbfToDate("20021301").value, 0);  // month 13
  EXPECT_EQ(DbfToDate("20020230").value, 0);  // 30 February
  EXPECT_EQ(DbfToDate("2002").value, 0);      // short text: no read past its end
  EXPECT_EQ(DbfToDate("").value, 0);
}

TEST(NumberText, IntegersRightAlignedAndOverflowMarked) {
  EXPECT_EQ(IntToDbf(-5), "         -5");
  EXPECT_EQ(IntToDbf(7), "          7");
  EXPECT_EQ(IntToDbf(INT_MIN), "-2147483648");
  EXPECT_EQ(IntToDbf(12345, 4), "****");
  EXPECT_TRUE(IsOverflowMark(IntToDbf(12345, 4)));
  EXPECT_FALSE(IsOverflowMark("   "));
}

TEST(NumberText, FloatsInNineteenCharacters) {
  EXPECT_EQ(FloatToDbf(-1.5), "          -1.500000");
  EXPECT_EQ(FloatToDbf(-12.5), "         -12.500000");
  EXPECT_EQ(FloatToDbf(0.0000004), "           0.000000");
  EXPECT_EQ(FloatToDbf(12.3456789), "          12.345679");
  EXPECT_EQ(FloatToDbf(99999999999.0).size(), 19u);          // 11 digits fit
  EXPECT_EQ(FloatToDbf(-99999999999.0), "-99999999999.000000");
  // Too wide for the field: never digits that read back as another number.
  EXPECT_EQ(FloatToDbf(1e12), std::string(19, '*'));
  EXPECT_EQ(FloatToDbf(-1e11), std::string(19, '*'));
  EXPECT_EQ(FloatToDbf(1e300), std::string(19, '*'));
  EXPECT_EQ(FloatToDbf(std::numeric_limits<double>::quiet_NaN()), std::string(19, '*'));
  EXPECT_EQ(FloatToDbf(2.5, 6, 2), "  2.50");
  EXPECT_EQ(FloatToDbf(2.5, 4, 0), "   2");  // rounds to even like the formatter
  // Exact halves round to even, near-halves by their exact binary value, as the general
  // formatter does, however the number is formatted.
  EXPECT_EQ(FloatToDbf(0.125, 6, 2), "  0.12");
  EXPECT_EQ(FloatToDbf(0.375, 6, 2), "  0.38");
  EXPECT_EQ(FloatToDbf(2.675, 6, 2), "  2.67");  // stored just below 2.675
  EXPECT_EQ(FloatToDbf(1.0000005), "           1.000001");  // stored just above the half
  EXPECT_EQ(FloatToDbf(1.0000015), "           1.000001");  // stored just below the half
  EXPECT_EQ(FloatToDbf(-123456.0000004), "     -123456.000000");
  EXPECT_EQ(FloatToDbf(12345678.9, 25, 9), "       12345678.900000000");
}

TEST(NumberText, ReadingFloats) {
  EXPECT_DOUBLE_EQ(DbfToFloat("  12.50"), 12.5);
  EXPECT_DOUBLE_EQ(DbfToFloat("1,234.5"), 1234.5);
  EXPECT_DOUBLE_EQ(DbfToFloat("abc"), 0);
  EXPECT_DOUBLE_EQ(DbfToFloat(""), 0);
  EXPECT_DOUBLE_EQ(DbfToFloat("   -12.500000"), -12.5);
  EXPECT_DOUBLE_EQ(DbfToFloat("-.5"), -0.5);
  EXPECT_DOUBLE_EQ(DbfToFloat("1.2.3"), 1.23);   // a second point is skipped
  EXPECT_DOUBLE_EQ(DbfToFloat("5-3"), 53);       // a sign after a digit is skipped
  EXPECT_DOUBLE_EQ(DbfToFloat("-+7"), -7);       // only the first sign counts
  for (double v : {0.0, 1.0, -1.5, 123456.789012, -99999999999.0, 3.141593}) {
    EXPECT_DOUBLE_EQ(DbfToFloat(FloatToDbf(v)), v);
  }
  EXPECT_EQ(CharToBool('y'), true);
  EXPECT_EQ(CharToBool('N'), false);
  EXPECT_EQ(BoolToChar(true), 'T');
}

TEST(LocateExpression, CharacterAndNumericKeys) {
  auto types = [](const std::string& name) { return name == "CODE" ? 'N' : 'C'; };
  EXPECT_EQ(BuildLocateExpr(types, 3, "NAME;CODE", Variant::Array{"Smith", 5}),
            "UPPER(NAME)='SMITH'.AND.CODE=5");
  EXPECT_EQ(BuildLocateExpr(types, 3, "CODE;NAME", Variant::Array{5, "Sm"}),
            "CODE=5.AND.LEFT(UPPER(NAME),2)='SM'");
  // An apostrophe in the value: the text goes between double quotes, so that it parses.
  EXPECT_EQ(BuildLocateExpr(types, 0, "NAME", "O'Hara"), "NAME=\"O'Hara\"");
  EXPECT_EQ(BuildLocateExpr(types, 0, "NAME", "say \"hi\""), "NAME='say \"hi\"'");
  EXPECT_EQ(BuildLocateExpr(types, 0, "NAME", "O'Hara \"Jr\""), "");
  EXPECT_EQ(BuildLocateExpr(types, 1, "NAME", W("москва")), W("UPPER(NAME)='МОСКВА'"));
  // A value list shorter than the names, or a single value for many names: no expression.
  EXPECT_EQ(BuildLocateExpr(types, 0, "NAME;CODE", Variant::Array{"x"}), "");
  EXPECT_EQ(BuildLocateExpr(types, 0, "NAME;CODE", "x"), "");
  EXPECT_EQ(BuildLocateExpr(types, 0, "", "x"), "");
}

}  // namespace
}  // namespace ks
