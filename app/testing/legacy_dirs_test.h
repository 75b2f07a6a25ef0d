#pragma once
// The base of the tests that convert a small legacy database: the schema loaded once, and a
// fresh folder with legacy/ (created, for the fixture's tables) and db/ (the target, which
// the run creates).

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/testing/conversion_fixture.h"
#include "legacy/testing/temp_dir.h"

namespace ks::testing {

class LegacyDirsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { LoadMetadataOnce(); }
  void SetUp() override { UseFolder(dir_.Path()); }

  // Moves legacy_ and database_ under another folder (with its closing "/"), for a test
  // that converts several databases.
  void UseFolder(const std::string& folder) {
    legacy_ = folder + "legacy/";
    database_ = folder + "db/";
    std::filesystem::create_directories(legacy_);
  }

  TempDir dir_;
  std::string legacy_;
  std::string database_;
};

}  // namespace ks::testing
