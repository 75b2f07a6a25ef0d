#pragma once
// The base of the tests that convert a small legacy database: the schema loaded once, and a
// fresh folder with legacy/ (created, for the fixture's tables) and db/ (the target, which
// the run creates). A suite whose cases all start from one database names it once.

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <utility>

#include "app/testing/conversion_fixture.h"
#include "common/testing/temp_dir.h"

namespace ks::testing {

class LegacyDirsTest : public ::testing::Test {
 protected:
  LegacyDirsTest() = default;
  // Every case starts with the tables of `database` in legacy_.
  explicit LegacyDirsTest(LegacyFixture database) : database_fixture_(std::move(database)) {}

  static void SetUpTestSuite() { LoadMetadataOnce(); }
  void SetUp() override {
    UseFolder(dir_.Path());
    if (database_fixture_) database_fixture_->Write(legacy_);
  }

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

 private:
  std::optional<LegacyFixture> database_fixture_;
};

}  // namespace ks::testing
