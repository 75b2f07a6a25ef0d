#pragma once
// Where the tests find the shared folder with the real sample tables: KS_SHARED_DIR when
// set, else beside the source tree (ctest sets KS_SOURCE_DIR), else two levels up from the
// test's working directory.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace ks::testing {

inline std::string SharedDir() {
  if (const char* shared = std::getenv("KS_SHARED_DIR")) return shared;
  if (const char* source = std::getenv("KS_SOURCE_DIR")) return std::string(source) + "/../shared";
  return "../../shared";
}

// The folder of the real Paradox samples, with its closing "/".
inline std::string SampleDir() { return SharedDir() + "/testdata/paradox/"; }

// Tests of the real samples: without the folder each fails at its start with one message
// that names it, instead of reading files that are not there.
class SampleFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::is_directory(SampleDir() + "expected")) {
      GTEST_FAIL() << "The real Paradox samples are missing: no folder " << SampleDir()
                   << " (the shared folder beside the source tree, or KS_SHARED_DIR).";
    }
  }
};

}  // namespace ks::testing
