#include "common/ini_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <unistd.h>

namespace ks {
namespace {

class IniFileTest : public ::testing::Test {
 protected:
  std::string path_ = ::testing::TempDir() + "ks_ini_" + std::to_string(getpid()) + ".ini";
  void Write(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }
  void TearDown() override { std::remove(path_.c_str()); }
};

TEST_F(IniFileTest, FindsKeyWithoutRegardToCase) {
  Write("[Other]\r\nDATABASE=wrong\r\n[path]\r\n; comment\r\n  database = /data/db/ \r\n");
  EXPECT_EQ(ReadIniString(path_, "PATH", "DATABASE", "dflt"), "/data/db/");
}

TEST_F(IniFileTest, KeyInOtherSectionIsIgnored) {
  Write("[DATABASE]\nPATH=/x\n");
  EXPECT_EQ(ReadIniString(path_, "PATH", "DATABASE", "dflt"), "dflt");
}

TEST_F(IniFileTest, MissingFileGivesDefaultAndIsNotCreated) {
  EXPECT_EQ(ReadIniString(path_, "PATH", "DATABASE", "dflt"), "dflt");
  EXPECT_NE(access(path_.c_str(), F_OK), 0);
}

TEST_F(IniFileTest, QuotesAreStrippedAndFirstMatchWins) {
  Write("[PATH]\nDATABASE=\"/a b/\"\nDATABASE=/second\n");
  EXPECT_EQ(ReadIniString(path_, "PATH", "DATABASE", ""), "/a b/");
}

}  // namespace
}  // namespace ks
