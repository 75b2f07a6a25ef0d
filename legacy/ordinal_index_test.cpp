// Lookups by value, dense and sparse: the first record of a value wins, values outside the
// range or between the stored ones are not found.

#include "legacy/ordinal_index.h"

#include <gtest/gtest.h>

namespace ks {
namespace {

TEST(OrdinalIndex, FindsTheFirstOrdinalOfAValueDenseOrSparse) {
  for (const int32_t step : {1, 100000}) {  // numbered densely, then far apart
    std::vector<std::pair<int32_t, uint32_t>> pairs;
    for (uint32_t i = 0; i < 5000; ++i) pairs.emplace_back(-7 + int32_t(i % 4000) * step, i);
    const OrdinalIndex index(pairs);
    EXPECT_EQ(index.Find(-7), 0u) << step;
    EXPECT_EQ(index.Find(-7 + 3999 * step), 3999u) << step;
    EXPECT_EQ(index.Find(-7 + 10 * step), 10u) << step;  // also at ordinal 4010: the first wins
    EXPECT_FALSE(index.Find(-8)) << step;
    EXPECT_FALSE(index.Find(-7 + 4000 * step)) << step;
    EXPECT_FALSE(index.Find(int64_t(1) << 40)) << step;
    if (step > 1) {
      EXPECT_FALSE(index.Find(-6)) << "between stored values";
    }
  }
  EXPECT_FALSE(OrdinalIndex({}).Find(0));
}

}  // namespace
}  // namespace ks
