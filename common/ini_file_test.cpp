#include "common/ini_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/platform.h"
#include "common/testing/scratch_dir_test.h"

namespace ks {
namespace {

class IniFileTest : public testing::ScratchDirTest {
 protected:
  IniFileTest() : ScratchDirTest("ks_ini_") {}
  std::string path_ = dir_ + "ks.ini";
  void Write(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }
};

TEST_F(IniFileTest, FindsKeyWithoutRegardToCase) {
  Write("[Other]\r\nDATABASE=wrong\r\n[path]\r\n; comment\r\n  database = /data/db/ \r\n");
  EXPECT_EQ(IniFile(path_).ReadString("PATH", "DATABASE", "dflt"), "/data/db/");
}

TEST_F(IniFileTest, KeyInOtherSectionIsIgnored) {
  Write("[DATABASE]\nPATH=/x\n");
  EXPECT_EQ(IniFile(path_).ReadString("PATH", "DATABASE", "dflt"), "dflt");
}

TEST_F(IniFileTest, MissingFileGivesDefaultAndIsNotCreated) {
  EXPECT_EQ(IniFile(path_).ReadString("PATH", "DATABASE", "dflt"), "dflt");
  EXPECT_NE(access(path_.c_str(), F_OK), 0);
}

TEST_F(IniFileTest, QuotesAreStrippedAndFirstMatchWins) {
  Write("[PATH]\nDATABASE=\"/a b/\"\nDATABASE=/second\n");
  EXPECT_EQ(IniFile(path_).ReadString("PATH", "DATABASE", ""), "/a b/");
}

}  // namespace
}  // namespace ks
