#include "legacy/legacy_alias.h"

#include <gtest/gtest.h>

#include <fstream>

#include "legacy/testing/temp_dir.h"

namespace ks {
namespace {

TEST(LegacyAlias, FromTheIniFileOrBesideTheProgram) {
  testing::TempDir dir;
  const std::string ini = dir.Path() + "ks.ini";
  EXPECT_EQ(ResolveLegacyAlias(ini, "/opt/ks"), "/opt/ks/VeltroData/");  // no ini at all
  std::ofstream(ini) << "[PATH]\nDATABASE=/data/\n[Aliases]\nveltrodata = /srv/legacy\n";
  EXPECT_EQ(ResolveLegacyAlias(ini, "/opt/ks/"), "/srv/legacy/");
  std::ofstream(ini, std::ios::trunc) << "[ALIASES]\nVeltroData=old/tables/\n";
  EXPECT_EQ(ResolveLegacyAlias(ini, "/opt/ks/"), "/opt/ks/old/tables/");
  std::ofstream(ini, std::ios::trunc) << "[ALIASES]\nOther=/x\n";
  EXPECT_EQ(ResolveLegacyAlias(ini, "/opt/ks/"), "/opt/ks/VeltroData/");
}

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
