#include "common/russian_plural.h"

#include <gtest/gtest.h>

#include <limits>

namespace ks {
namespace {

TEST(RussianPlural, FormsFollowTheLastTwoDigits) {
  const auto form = [](int64_t n) { return std::string(RussianPlural(n, "текст", "текста", "текстов")); };
  for (const int64_t n : {1, 21, 101, 1001, 2034021}) EXPECT_EQ(form(n), "текст") << n;
  for (const int64_t n : {2, 3, 4, 22, 34, 102, 2034}) EXPECT_EQ(form(n), "текста") << n;
  for (const int64_t n : {0, 5, 9, 10, 11, 12, 13, 14, 15, 19, 20, 25, 100, 111, 112, 114, 211, 1000}) {
    EXPECT_EQ(form(n), "текстов") << n;
  }
  EXPECT_EQ(form(-1), "текст");
  EXPECT_EQ(form(std::numeric_limits<int64_t>::min()), "текстов");  // ...808
  EXPECT_EQ(CountOf(2034, "текст", "текста", "текстов"), "2034 текста");
}

}  // namespace
}  // namespace ks
