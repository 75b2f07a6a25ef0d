#pragma once
// A test with a fresh directory of its own: dir_, with its closing delimiter, removed with
// everything in it when the test ends.

#include <gtest/gtest.h>

#include <string>

#include "common/testing/temp_dir.h"

namespace ks::testing {

class ScratchDirTest : public ::testing::Test {
 protected:
  explicit ScratchDirTest(const std::string& prefix = "ks_test_") : temp_(prefix), dir_(temp_.Path()) {}

  TempDir temp_;
  std::string dir_;
};

}  // namespace ks::testing
