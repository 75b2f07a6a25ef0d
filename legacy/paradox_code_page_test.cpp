// How the code page of a legacy table's texts is decided.

#include "legacy/paradox_code_page.h"

#include <gtest/gtest.h>

#include "common/codepage.h"

namespace ks {
namespace {

ParadoxHeader HeaderWith(int version, int code_page, int sort_order = 0) {
  ParadoxHeader header;
  header.version = version;
  header.code_page = code_page;
  header.sort_order_id = sort_order;
  return header;
}

CyrillicLetterCounts LettersOf(const std::string& cp1251_text, bool as_866) {
  CyrillicLetterCounts letters;
  letters.Count(as_866 ? AnsiToOem(cp1251_text) : cp1251_text);
  return letters;
}

TEST(ParadoxCodePage, TheHeaderFieldDecidesWhenItNamesACodePage) {
  const CyrillicLetterCounts windows_letters = LettersOf(W("Счёт-фактура"), false);
  const ParadoxCodePage dos = ChooseParadoxCodePage(HeaderWith(9, 866), windows_letters);
  EXPECT_EQ(dos.basis, ParadoxCodePageBasis::kHeader);
  EXPECT_TRUE(dos.Translated());
  EXPECT_EQ(DescribeCodePage(dos), "code page 866 (named by the header), read translated to 1251");

  const ParadoxCodePage windows = ChooseParadoxCodePage(HeaderWith(12, 1251, kParadoxCyrillicSortOrder), {});
  EXPECT_FALSE(windows.Translated() || windows.Foreign());

  const ParadoxCodePage western = ChooseParadoxCodePage(HeaderWith(12, 1252), {});
  EXPECT_TRUE(western.Foreign());
  EXPECT_EQ(DescribeCodePage(western), "code page 1252 (named by the header), read unchanged");
}

TEST(ParadoxCodePage, WithoutAFieldTheLettersDecideThenTheSortOrder) {
  const std::string text = W("Общество с ограниченной ответственностью «Ромашка», ИНН 7701234567");
  CyrillicLetterCounts dos_letters = LettersOf(text, true);
  EXPECT_GT(dos_letters.dos, 25);
  EXPECT_EQ(dos_letters.windows, 0);  // 866's т-я lie in the letters both pages share
  CyrillicLetterCounts windows_letters = LettersOf(text, false);
  EXPECT_GT(windows_letters.windows, 10);
  EXPECT_LE(windows_letters.dos, 2);  // « and »

  ParadoxCodePage choice = ChooseParadoxCodePage(HeaderWith(4, 0), dos_letters);
  EXPECT_EQ(choice.code_page, 866);
  EXPECT_EQ(choice.basis, ParadoxCodePageBasis::kTexts);
  // A DOS sort order does not outweigh the letters.
  choice = ChooseParadoxCodePage(HeaderWith(4, 0, kParadoxCyrillicSortOrder), windows_letters);
  EXPECT_EQ(choice.code_page, 1251);
  EXPECT_EQ(choice.basis, ParadoxCodePageBasis::kTexts);
  EXPECT_NE(DescribeCodePage(choice).find("the header has no code-page field"), std::string::npos);

  // Latin texts (with a quotation mark or two that lie in 866's letters): the sort order,
  // or else 1251.
  const CyrillicLetterCounts latin = LettersOf(W("«Smith & Sons Ltd.» — №1"), false);
  EXPECT_EQ(latin.dos, 2);  // « and —
  choice = ChooseParadoxCodePage(HeaderWith(3, 0, kParadoxCyrillicSortOrder), latin);
  EXPECT_EQ(choice.code_page, 866);
  EXPECT_EQ(choice.basis, ParadoxCodePageBasis::kSortOrder);
  EXPECT_NE(DescribeCodePage(choice).find("sort order of the DOS Cyrillic driver"), std::string::npos);
  choice = ChooseParadoxCodePage(HeaderWith(3, 0, 0x54), latin);
  EXPECT_EQ(choice.code_page, 1251);
  EXPECT_EQ(choice.basis, ParadoxCodePageBasis::kNoEvidence);
  EXPECT_STREQ(CodePageBasisName(choice.basis), "no_evidence");
}

TEST(ParadoxCodePage, ADamagedFieldIsReadAsUnknownAndTheLettersDecide) {
  for (const int damaged : {0xFFFF, 1, 12345, 0x6203}) {
    const ParadoxCodePage choice = ChooseParadoxCodePage(HeaderWith(9, damaged), LettersOf(W("Товары и услуги"), true));
    EXPECT_TRUE(choice.header_damaged) << damaged;
    EXPECT_EQ(choice.code_page, 866) << damaged;
    EXPECT_EQ(choice.header_field, damaged);
    EXPECT_NE(DescribeCodePage(choice).find("holds " + std::to_string(damaged) + ", which names no code page"),
              std::string::npos);
  }
}

}  // namespace
}  // namespace ks
