// Key, filter and locate expressions evaluated on record images.

#include "db/engine/xbase/expression.h"

#include <gtest/gtest.h>

#include <cstring>

#include "common/codepage.h"
#include "common/testing/decimal_comma_locale.h"

namespace ks::xbase {
namespace {

class ExpressionTest : public ::testing::Test {
 protected:
  ExpressionTest() {
    Add("UID", 'N', 11, 0);
    Add("FNAME", 'C', 10, 0);
    Add("fDate", 'D', 8, 0);
    Add("FSELF", 'L', 1, 0);
    Add("PRICE", 'N', 19, 6);
    record_.assign(1 + 11 + 10 + 8 + 1 + 19, ' ');
  }
  void Add(const char* name, char type, int len, int dec) {
    FieldDef f;
    f.name = name;
    for (char& c : f.name) c = char(std::toupper(static_cast<unsigned char>(c)));
    f.type = type;
    f.len = len;
    f.dec = dec;
    f.offset = fields_.empty() ? 1 : fields_.back().offset + fields_.back().len;
    fields_.push_back(f);
  }
  void Set(const char* name, const std::string& text, bool right = false) {
    for (const FieldDef& f : fields_) {
      if (f.name == name) {
        std::memset(&record_[f.offset], ' ', f.len);
        std::memcpy(&record_[f.offset + (right ? f.len - text.size() : 0)], text.data(), text.size());
      }
    }
  }
  Value Eval(const std::string& text) {
    std::string error;
    auto expr = Expression::Parse(text, fields_, &error);
    EXPECT_NE(expr, nullptr) << text << ": " << error;
    if (!expr) return Value{};
    return expr->Evaluate(record_.data());
  }
  bool Parses(const std::string& text) {
    std::string error;
    return Expression::Parse(text, fields_, &error) != nullptr;
  }

  std::vector<FieldDef> fields_;
  std::string record_;
};

TEST_F(ExpressionTest, SchemaKeyExpressions) {
  Set("UID", "42", true);
  Set("FNAME", W("ёлка ab"));
  Set("FDATE", "20240305");
  Set("FSELF", "T");
  Set("PRICE", "12.500000", true);
  EXPECT_EQ(Eval("Str(UID, 10)").text, "        42");
  EXPECT_EQ(Eval("Upper(FNAME)+Str(UID, 10)").text, W("ЁЛКА AB   ") + "        42");
  EXPECT_EQ(Eval("upper(left(fname, 3))").text, W("ЁЛК"));
  EXPECT_EQ(Eval("Str(UID, 10)+DTOS(fDate)").text, "        4220240305");
  EXPECT_EQ(Eval("IIF(FSELF, \"T\", \"F\")+Upper(FNAME)").text.substr(0, 1), "T");
  EXPECT_EQ(Eval("1").number, 1);
  EXPECT_EQ(Eval("fDate").number, 2460375);
  EXPECT_EQ(Eval("Str(-3.5, 6, 1)").text, "  -3.5");
  EXPECT_EQ(Eval("Str(1234567, 5)").text, "*****");
  EXPECT_EQ(Eval("Str(2.5, 3)").text, "  3");
  EXPECT_EQ(Eval("Str(-2.5, 3)").text, " -3");
  EXPECT_EQ(Eval("Str(PRICE, 8, 2)").text, "   12.50");
}

TEST_F(ExpressionTest, FiltersAndLocateConditions) {
  Set("UID", "7", true);
  Set("FNAME", "Smith");
  Set("PRICE", "12.500000", true);
  EXPECT_TRUE(Eval(".NOT. DELETED()").logical);
  record_[0] = '*';
  EXPECT_FALSE(Eval(".NOT. DELETED()").logical);
  EXPECT_TRUE(Eval("UPPER(FNAME)='SMITH'").logical);
  EXPECT_TRUE(Eval("LEFT(FNAME,2)='Sm'").logical);
  EXPECT_TRUE(Eval("FNAME='Sm'").logical);       // inexact: the right side's length
  EXPECT_FALSE(Eval("FNAME='Smithy'").logical);
  EXPECT_TRUE(Eval("UID=7.AND.PRICE>12").logical);
  EXPECT_TRUE(Eval("UID<>8 .AND. (PRICE<=12.5 .OR. UID>=100)").logical);
  EXPECT_FALSE(Eval("UID>7").logical);
  EXPECT_TRUE(Eval("'b' > 'a'").logical);
}

TEST_F(ExpressionTest, NumbersReadAndFormatWithAPointUnderADecimalCommaLocale) {
  testing::DecimalCommaLocale locale;
  ASSERT_TRUE(locale.Active());
  Set("PRICE", "12.500000", true);
  EXPECT_EQ(Eval("PRICE").number, 12.5);
  EXPECT_EQ(Eval("Str(PRICE, 8, 2)").text, "   12.50");
  EXPECT_EQ(Eval("Str(-3.25, 6, 1)").text, "  -3.3");
  EXPECT_TRUE(Eval("PRICE=12.5").logical);
  EXPECT_EQ(Eval("Upper(FNAME)").text, std::string(10, ' '));
}

TEST_F(ExpressionTest, BadTextFailsToParse) {
  EXPECT_FALSE(Parses("NOSUCH(UID)"));
  EXPECT_FALSE(Parses("Str(UID, 10"));
  EXPECT_FALSE(Parses("UNKNOWNFIELD"));
  EXPECT_FALSE(Parses("'open"));
  EXPECT_FALSE(Parses("UID = 'text'"));
  EXPECT_FALSE(Parses(".NOT. UID"));
  EXPECT_FALSE(Parses(""));
  EXPECT_FALSE(Parses("Str(UID, FNAME)"));
  EXPECT_FALSE(Parses(std::string(5000, '(')));
  EXPECT_FALSE(Parses("UID = 1 )"));
  std::string chain = "1";
  for (int i = 0; i < 5000; ++i) chain += "+1";
  EXPECT_FALSE(Parses(chain));  // far beyond any real expression
}

TEST(DateAndNumberText, RoundTrips) {
  EXPECT_EQ(DateToJulian("20000101"), 2451545);
  EXPECT_EQ(JulianToDate(2451545), "20000101");
  EXPECT_EQ(JulianToDate(0), "        ");
  EXPECT_EQ(DateToJulian("        "), 0);
  EXPECT_EQ(DateToJulian("20241301"), 0);
  EXPECT_EQ(FormatNumber(-0.0001, 5, 2), " 0.00");
  EXPECT_EQ(ParseNumber("  12.50", 7), 12.5);
  EXPECT_EQ(ParseNumber("   ", 3), 0);
}

// Keys built in place read exactly as the evaluated text cut or padded to the key width,
// for the key shapes of the schema and for the shapes that take the general way.
TEST_F(ExpressionTest, KeyTextBuiltInPlaceMatchesEvaluation) {
  const char* expressions[] = {
      "Str(UID, 10)", "Upper(FNAME)+Str(UID, 10)", "Str(UID, 10)+Upper(Left(FNAME, 4))+DTOS(fDate)+Str(UID, 10)",
      "Str(UID, 3)", "Str(PRICE, 12, 2)", "Str(PRICE)", "FNAME", "Left(FNAME, 20)", "Trim(FNAME)+Str(UID, 5)",
      "IIF(FSELF, FNAME, Upper(FNAME))", "DTOS(fDate)", "UID", "FSELF", "Right(FNAME, 3)+Lower(FNAME)"};
  const char* uids[] = {"42", "", "-7", "12345", "99999999999", "1.5", "-0", "abc",
                        "0", "007", "-012", "-1234567890", "+5", "42 ", "- 5"};
  const char* names[] = {"", "ёлка ab", "ZZZZZZZZZZ", "a"};
  const char* dates[] = {"20240229", "", "20230231", "00000000"};
  for (const char* text : expressions) {
    std::string error;
    auto expr = Expression::Parse(text, fields_, &error);
    ASSERT_NE(expr, nullptr) << text << ": " << error;
    for (const char* uid : uids) {
      for (size_t i = 0; i < 4; ++i) {
        Set("UID", uid, true);
        Set("FNAME", W(names[i]));
        Set("fDate", dates[i]);
        Set("FSELF", i % 2 ? "T" : "F");
        Set("PRICE", uid, true);
        const Value v = expr->Evaluate(record_.data());
        for (size_t width : {size_t(1), size_t(8), size_t(10), size_t(40), size_t(120)}) {
          std::string expected = v.type == 'C' ? v.text : std::string();
          expected.resize(width, ' ');
          std::string key(width, '#');
          expr->EvaluateText(record_.data(), reinterpret_cast<uint8_t*>(key.data()), width);
          EXPECT_EQ(key, expected) << text << " uid=" << uid << " width=" << width;
        }
      }
    }
  }
}

}  // namespace
}  // namespace ks::xbase
