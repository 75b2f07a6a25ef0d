#include "app/run/identifier_set.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace ks {
namespace {

// Even identifiers in increasing order join the sorted array; the odd ones, from the top
// down, gather apart and are merged into it three times, a remainder staying apart. Every
// identifier must then be told as a repeat, wherever it is kept.
TEST(IdentifierSet, TellsRepeatsWhereverTheyAreKept) {
  constexpr int32_t kTop = 400000;
  IdentifierSet set;
  for (int32_t id = 0; id < kTop; id += 2) ASSERT_TRUE(set.Insert(id)) << id;
  for (int32_t id = kTop - 1; id > 0; id -= 2) ASSERT_TRUE(set.Insert(id)) << id;
  for (int32_t id = 0; id < kTop; ++id) ASSERT_FALSE(set.Insert(id)) << id;
  for (int32_t id : {-10, kTop, INT32_MIN, INT32_MAX}) {
    EXPECT_TRUE(set.Insert(id)) << id;
    EXPECT_FALSE(set.Insert(id)) << id;
  }
}

}  // namespace
}  // namespace ks
