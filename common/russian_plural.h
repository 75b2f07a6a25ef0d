#pragma once
// The Russian plural forms of a word after a number: 1 текст, 2 текста, 5 текстов; 21 текст,
// 22 текста, but 11 to 14 текстов. The one home of this rule for every message that counts.

#include <cstdint>
#include <string>

namespace ks {

enum class RussianPluralForm {
  kOne,   // 1, 21, 101, ... (not 11)
  kFew,   // 2-4, 22-24, ... (not 12-14)
  kMany,  // 0, 5-20, 25-30, ..., 11-14 of every hundred
};

RussianPluralForm RussianPluralFormOf(int64_t n);

// The form for n among the three given (UTF-8): RussianPlural(5, "текст", "текста", "текстов").
const char* RussianPlural(int64_t n, const char* one, const char* few, const char* many);

// The number and the word: CountOf(2, "текст", "текста", "текстов") is "2 текста".
std::string CountOf(int64_t n, const char* one, const char* few, const char* many);

}  // namespace ks
