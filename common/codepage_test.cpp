#include "common/codepage.h"

#include <gtest/gtest.h>

namespace ks {
namespace {

TEST(CodePage, Utf8AndCp1251RoundTrip) {
  const std::string utf8 = "Преобразование данных: Ёё №5";
  const std::string ansi = Utf8ToCp1251(utf8);
  EXPECT_EQ(ansi.size(), 28u);
  EXPECT_EQ(static_cast<unsigned char>(ansi[0]), 0xCF);  // П
  EXPECT_EQ(Cp1251ToUtf8(ansi), utf8);
}

TEST(CodePage, BrokenUtf8BecomesQuestionMarks) {
  EXPECT_EQ(Utf8ToCp1251("a\xD0"), "a?");
  EXPECT_EQ(Utf8ToCp1251("\x80z"), "?z");
  EXPECT_EQ(Utf8ToCp1251("\xE2\x82"), "??");
}

TEST(CodePage, AnsiOemRoundTripKeepsEveryCyrillicLetter) {
  std::string letters;
  for (int b = 0xC0; b <= 0xFF; ++b) letters += static_cast<char>(b);
  letters += "\xA8\xB8";  // Ё ё
  const std::string oem = AnsiToOem(letters);
  EXPECT_EQ(static_cast<unsigned char>(oem[0]), 0x80);   // А
  EXPECT_EQ(static_cast<unsigned char>(oem[32]), 0xA0);  // а
  EXPECT_EQ(static_cast<unsigned char>(oem[48]), 0xE0);  // р
  EXPECT_EQ(static_cast<unsigned char>(oem[64]), 0xF0);  // Ё
  EXPECT_EQ(OemToAnsi(oem), letters);
  EXPECT_EQ(AnsiToOem("plain ASCII\r\n"), "plain ASCII\r\n");
}

TEST(CodePage, AnsiCharactersWithoutOemCounterpartBecomeQuestionMarks) {
  EXPECT_EQ(AnsiToOem("\x85"), "?");  // ellipsis
  EXPECT_EQ(static_cast<unsigned char>(AnsiToOem("\xB9")[0]), 0xFC);  // №
}

TEST(CodePage, UpperAndLowerKnowCyrillic) {
  EXPECT_EQ(UpperCp1251(W("абвгд ёжик xyz")), W("АБВГД ЁЖИК XYZ"));
  EXPECT_EQ(LowerCp1251(W("ЯБЛОКО Ё")), W("яблоко ё"));
  EXPECT_EQ(UpperCp1251(std::string("\xB9")), "\xB9");  // № stays
}

}  // namespace
}  // namespace ks
