#include "app/configuration.h"

#include <gtest/gtest.h>

#include <fstream>

#include "common/file.h"
#include "common/testing/scratch_dir_test.h"

namespace ks {
namespace {

class ConfigurationTest : public testing::ScratchDirTest {
 protected:
  ConfigurationTest() : ScratchDirTest("ks_cfg_") {}
  Configuration Read() { return ReadConfiguration(DefaultIniPath(dir_), dir_); }
  void WriteIni(const std::string& text) { std::ofstream(dir_ + "ks.ini", std::ios::trunc) << text; }
};

TEST_F(ConfigurationTest, WithoutIniBothDirectoriesAreBesideTheProgram) {
  const Configuration configuration = Read();
  EXPECT_EQ(configuration.DatabasePath, dir_ + "Database/");
  EXPECT_EQ(configuration.LegacyDirectory, dir_ + "VeltroData/");
  EXPECT_FALSE(FileExists(dir_ + "ks.ini")) << "a missing ks.ini must not be created";
}

TEST_F(ConfigurationTest, SettingsAreFoundWithoutRegardToCase) {
  struct Case {
    const char* ini;
    std::string database, legacy;
  };
  const Case cases[] = {
      // The database directory is taken exactly as typed; the alias directory gets its delimiter.
      {"[Path]\ndatabase=/srv/data\n[Aliases]\nveltrodata = /srv/legacy\n", "/srv/data", "/srv/legacy/"},
      // A relative alias directory counts from the program's directory.
      {"[ALIASES]\nVeltroData=old/tables/\n", dir_ + "Database/", dir_ + "old/tables/"},
      // Only section PATH, key DATABASE and section ALIASES, key VeltroData count.
      {"[DATABASE]\nPATH=/wrong/\n[ALIASES]\nOther=/x\n", dir_ + "Database/", dir_ + "VeltroData/"},
      // An empty alias setting leaves the default.
      {"[ALIASES]\nVeltroData=\n", dir_ + "Database/", dir_ + "VeltroData/"},
  };
  for (const Case& c : cases) {
    WriteIni(c.ini);
    const Configuration configuration = Read();
    EXPECT_EQ(configuration.DatabasePath, c.database) << c.ini;
    EXPECT_EQ(configuration.LegacyDirectory, c.legacy) << c.ini;
  }
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
