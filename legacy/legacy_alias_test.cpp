#include "legacy/legacy_alias.h"

#include <gtest/gtest.h>

#include <fstream>

#include "common/testing/temp_dir.h"

namespace ks {
namespace {

TEST(LegacyAlias, FilesFoundWithoutRegardToCase) {
  testing::TempDir dir;
  std::ofstream(dir.Path() + "DOCUMENT.db") << "x";
  std::ofstream(dir.Path() + "document.MB") << "x";
  std::ofstream(dir.Path() + "Main.DB") << "x";
  EXPECT_EQ(FindFileIgnoringCase(dir.Path(), "Document.DB"), dir.Path() + "DOCUMENT.db");
  EXPECT_EQ(FindFileIgnoringCase(dir.Path(), "Document.MB"), dir.Path() + "document.MB");
  EXPECT_EQ(FindFileIgnoringCase(dir.Path(), "Main.DB"), dir.Path() + "Main.DB");
  EXPECT_EQ(FindFileIgnoringCase(dir.Path(), "Main.MB"), "");
  EXPECT_EQ(FindFileIgnoringCase(dir.Path() + "missing/", "Main.DB"), "");
  EXPECT_TRUE(DirectoryExists(dir.Path()));
  EXPECT_FALSE(DirectoryExists(dir.Path() + "Main.DB"));
}

}  // namespace
}  // namespace ks
