#include "app/configuration.h"

#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>

namespace ks {
namespace {

class ConfigurationTest : public ::testing::Test {
 protected:
  std::string dir_ = ::testing::TempDir() + "ks_cfg_" + std::to_string(getpid()) + "/";
  void SetUp() override { ASSERT_EQ(system(("mkdir -p " + dir_).c_str()), 0); }
  void TearDown() override { (void)system(("rm -rf " + dir_).c_str()); }
  void WriteIni(const std::string& text) { std::ofstream(dir_ + "ks.ini") << text; }
};

TEST_F(ConfigurationTest, WithoutIniTheDatabaseIsBesideTheProgram) {
  EXPECT_EQ(ReadDatabasePath(DefaultIniPath(dir_), dir_), dir_ + "Database/");
  EXPECT_NE(access((dir_ + "ks.ini").c_str(), F_OK), 0) << "a missing ks.ini must not be created";
}

TEST_F(ConfigurationTest, ConfiguredDirectoryIsTakenAsTyped) {
  WriteIni("[Path]\ndatabase=/srv/data\n");
  EXPECT_EQ(ReadDatabasePath(DefaultIniPath(dir_), dir_), "/srv/data");
}

TEST_F(ConfigurationTest, OnlySectionPathKeyDatabaseCounts) {
  WriteIni("[DATABASE]\nPATH=/wrong/\n");
  EXPECT_EQ(ReadDatabasePath(DefaultIniPath(dir_), dir_), dir_ + "Database/");
}

TEST(ConfigurationPaths, DirectoryOfKeepsTrailingDelimiter) {
  EXPECT_EQ(DirectoryOf("/opt/ks/ksconvert"), "/opt/ks/");
  EXPECT_EQ(DirectoryOf("ksconvert"), "./");
  const std::string dir = ExecutableDirectory();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), '/');
}

}  // namespace
}  // namespace ks
