#include "common/ini_file.h"

#include <gtest/gtest.h>

#include <fstream>

#include "common/file.h"
#include "common/testing/scratch_dir_test.h"

namespace ks {
namespace {

using IniFileTest = testing::ScratchDirTest;

TEST_F(IniFileTest, LooksUpSectionAndKeyAsTheOriginalPlatformDoes) {
  struct Case {
    const char* text;
    const char* expected;
  };
  const Case cases[] = {
      // Names match without regard to case; blanks, CRs and comments do not count.
      {"[Other]\r\nDATABASE=wrong\r\n[path]\r\n; comment\r\n  database = /data/db/ \r\n", "/data/db/"},
      // The key in another section is not the key.
      {"[DATABASE]\nPATH=/x\n", "dflt"},
      // One pair of enclosing quotes goes; the first match wins.
      {"[PATH]\nDATABASE=\"/a b/\"\nDATABASE=/second\n", "/a b/"},
      {"[PATH]\nDATABASE='/c/'\n", "/c/"},
      // A present but empty value is a value.
      {"[PATH]\nDATABASE=\n", ""},
      // A section header without its bracket opens no section.
      {"[PATH\nDATABASE=/x\n", "dflt"},
  };
  const std::string path = dir_ + "ks.ini";
  for (const Case& c : cases) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << c.text;
    EXPECT_EQ(IniFile(path).ReadString("PATH", "DATABASE", "dflt"), c.expected) << c.text;
  }
}

TEST_F(IniFileTest, MissingFileGivesDefaultAndIsNotCreated) {
  const std::string path = dir_ + "ks.ini";
  EXPECT_EQ(IniFile(path).ReadString("PATH", "DATABASE", "dflt"), "dflt");
  EXPECT_FALSE(FileExists(path));
}

}  // namespace
}  // namespace ks
