#include "common/russian_plural.h"

namespace ks {

RussianPluralForm RussianPluralFormOf(int64_t n) {
  // The sign does not change the form; the magnitude's last two digits decide it.
  const uint64_t magnitude = n < 0 ? 0 - static_cast<uint64_t>(n) : static_cast<uint64_t>(n);
  const uint64_t last_two = magnitude % 100;
  const uint64_t last = magnitude % 10;
  if (last_two >= 11 && last_two <= 14) return RussianPluralForm::kMany;
  if (last == 1) return RussianPluralForm::kOne;
  if (last >= 2 && last <= 4) return RussianPluralForm::kFew;
  return RussianPluralForm::kMany;
}

const char* RussianPlural(int64_t n, const char* one, const char* few, const char* many) {
  switch (RussianPluralFormOf(n)) {
    case RussianPluralForm::kOne: return one;
    case RussianPluralForm::kFew: return few;
    case RussianPluralForm::kMany: return many;
  }
  return many;
}

std::string CountOf(int64_t n, const char* one, const char* few, const char* many) {
  return std::to_string(n) + " " + RussianPlural(n, one, few, many);
}

}  // namespace ks
