#include "legacy/paradox_code_page.h"

#include <algorithm>
#include <iterator>

namespace ks {
namespace {

// Code pages a Paradox header has been seen or documented to carry (DOS and Windows);
// any other value in the field is damage, not a code page.
constexpr int kKnownCodePages[] = {437,  737,  850,  852,  855,  857,  860,  861,  862,  863,  864,  865,
                                   866,  867,  869,  874,  932,  936,  949,  950,  1250, 1251, 1252, 1253,
                                   1254, 1255, 1256, 1257, 1258};

bool IsKnownCodePage(int value) {
  return std::find(std::begin(kKnownCodePages), std::end(kKnownCodePages), value) != std::end(kKnownCodePages);
}

}  // namespace

void CyrillicLetterCounts::Count(std::string_view bytes) {
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b >= 0x80 && b <= 0xAF) {
      ++dos;
    } else if ((b >= 0xC0 && b <= 0xDF) || b >= 0xF2) {
      ++windows;
    }
  }
}

bool CodePageNeedsTexts(const ParadoxHeader& header) {
  return header.code_page == 0 || !IsKnownCodePage(header.code_page);
}

ParadoxCodePage ChooseParadoxCodePage(const ParadoxHeader& header, const CyrillicLetterCounts& letters) {
  ParadoxCodePage choice;
  choice.header_field = header.code_page;
  choice.sort_order = header.sort_order_id;
  if (!CodePageNeedsTexts(header)) {
    choice.code_page = header.code_page;
    choice.basis = ParadoxCodePageBasis::kHeader;
    return choice;
  }
  choice.header_damaged = header.code_page != 0;
  choice.letters = letters;
  // The letters decide by their majority, given a few words' worth of them: a stray « or
  // … of 1251 in a Latin table lies in 866's range too. Otherwise the sort order of the
  // DOS Cyrillic driver says 866, and anything else leaves the default.
  constexpr int64_t kTellingLetters = 8;
  if (letters.dos != letters.windows && std::max(letters.dos, letters.windows) >= kTellingLetters) {
    choice.code_page = letters.dos > letters.windows ? 866 : 1251;
    choice.basis = ParadoxCodePageBasis::kTexts;
  } else if (header.sort_order_id == kParadoxCyrillicSortOrder) {
    choice.code_page = 866;
    choice.basis = ParadoxCodePageBasis::kSortOrder;
  } else {
    choice.code_page = 1251;
    choice.basis = ParadoxCodePageBasis::kNoEvidence;
  }
  return choice;
}

const char* CodePageBasisName(ParadoxCodePageBasis basis) {
  switch (basis) {
    case ParadoxCodePageBasis::kHeader: return "header";
    case ParadoxCodePageBasis::kTexts: return "texts";
    case ParadoxCodePageBasis::kSortOrder: return "sort_order";
    case ParadoxCodePageBasis::kNoEvidence: return "no_evidence";
  }
  return "";
}

std::string DescribeCodePage(const ParadoxCodePage& choice) {
  std::string text = "code page " + std::to_string(choice.code_page);
  if (choice.basis == ParadoxCodePageBasis::kHeader) {
    text += " (named by the header)";
  } else {
    text += choice.header_damaged ? " (the header's code-page field holds " + std::to_string(choice.header_field) +
                                        ", which names no code page; "
                                  : " (the header has no code-page field; ";
    const std::string counts = std::to_string(choice.letters.dos) + " letters of 866 and " +
                               std::to_string(choice.letters.windows) + " of 1251 in the alpha fields";
    switch (choice.basis) {
      case ParadoxCodePageBasis::kTexts: text += counts; break;
      case ParadoxCodePageBasis::kSortOrder: text += counts + "; the sort order of the DOS Cyrillic driver"; break;
      default: text += counts + "; Windows-1251 by default"; break;
    }
    text += ")";
  }
  if (choice.Translated()) text += ", read translated to 1251";
  if (choice.Foreign()) text += ", read unchanged";
  return text;
}

}  // namespace ks
