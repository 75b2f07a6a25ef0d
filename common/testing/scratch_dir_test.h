#pragma once
// A test with a fresh directory of its own: dir_, with its closing delimiter, removed with
// everything in it when the test ends. Names are Windows-1251, Cyrillic ones included.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "common/codepage.h"
#include "common/platform.h"

namespace ks::testing {

class ScratchDirTest : public ::testing::Test {
 protected:
  explicit ScratchDirTest(const std::string& prefix) : dir_(CreateTemporaryDirectory(prefix)) {}
  ~ScratchDirTest() override {
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::u8path(Cp1251ToUtf8(dir_)), ignored);
  }

  std::string dir_;
};

}  // namespace ks::testing
