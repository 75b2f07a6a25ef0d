#pragma once
// Which code page the texts of a Paradox table are in, and how that was decided. The
// header of version 4 and later names it; a table of version 3.x does not, and neither
// does a header whose field holds no code page: then the bytes of its alpha fields decide,
// and the sort-order byte when they do not tell. Tables in 866 (begun under DOS) are read
// translated to Windows-1251, as the legacy engine hands them to a Windows program.

#include <cstdint>
#include <string>
#include <string_view>

#include "legacy/paradox_header.h"

namespace ks {

// The sort-order byte of the DOS Cyrillic language driver ("cyrr"), which sorts code
// page 866.
constexpr int kParadoxCyrillicSortOrder = 0xC0;

// Bytes of alpha fields that are Cyrillic letters in only one of the two code pages:
// 0x80-0xAF in 866 (А-Я, а-п; rare symbols in 1251), 0xC0-0xDF and 0xF2-0xFF in 1251
// (А-Я, т-я; box drawing and rare letters in 866). 0xE0-0xF1 are letters in both.
struct CyrillicLetterCounts {
  int64_t dos = 0;      // letters only 866 has there
  int64_t windows = 0;  // letters only 1251 has there
  void Count(std::string_view bytes);
  int64_t Total() const { return dos + windows; }
};

enum class ParadoxCodePageBasis {
  kHeader,      // the header's code-page field
  kTexts,       // the majority of enough Cyrillic letters in the alpha fields
  kSortOrder,   // no telling letters; the sort-order byte names the DOS Cyrillic driver
  kNoEvidence,  // no telling letters, no telling sort order: Windows-1251
};

struct ParadoxCodePage {
  int code_page = 1251;    // the code page the texts are in
  int header_field = 0;    // the header's code-page field; 0 when it has none
  bool header_damaged = false;  // the field holds a value that names no code page
  int sort_order = 0;      // the sort-order byte
  ParadoxCodePageBasis basis = ParadoxCodePageBasis::kHeader;
  CyrillicLetterCounts letters;  // when the texts were looked at

  // 866: read translated to 1251.
  bool Translated() const { return code_page == 866; }
  // Neither 1251 nor 866: read unchanged.
  bool Foreign() const { return code_page != 1251 && code_page != 866; }
};

// True when the header does not tell the code page (version 3.x, or a damaged field), so
// that the texts must be looked at.
bool CodePageNeedsTexts(const ParadoxHeader& header);

// The decision; letters are used only when CodePageNeedsTexts.
ParadoxCodePage ChooseParadoxCodePage(const ParadoxHeader& header, const CyrillicLetterCounts& letters);

// "header", "texts", "sort_order", "no_evidence".
const char* CodePageBasisName(ParadoxCodePageBasis basis);
// One English sentence on what was chosen and why (UTF-8), e.g. "code page 866 (named by
// the header), read translated to 1251".
std::string DescribeCodePage(const ParadoxCodePage& choice);

}  // namespace ks
