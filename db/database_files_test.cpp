#include "db/database_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "common/testing/scratch_dir_test.h"

#include "common/codepage.h"
#include "common/exception.h"

namespace ks {
namespace {

class DatabaseFilesTest : public testing::ScratchDirTest {
 protected:
  DatabaseFilesTest() : ScratchDirTest("ks_dbfiles_") {}
  void Touch(const std::string& name, const std::string& content = "") {
    std::ofstream(dir_ + name, std::ios::binary) << content;
  }
};

TEST_F(DatabaseFilesTest, EmptinessLooksForTablesIndexesAndMemos) {
  EXPECT_TRUE(DirectoryHoldsNoTables(dir_));
  EXPECT_TRUE(DirectoryHoldsNoTables(dir_ + "missing/"));
  Touch("x.txt");
  EXPECT_TRUE(DirectoryHoldsNoTables(dir_));
  Touch("x.fpt");
  EXPECT_FALSE(DirectoryHoldsNoTables(dir_));
  EXPECT_FALSE(DirectoryHoldsNoTables(dir_.substr(0, dir_.size() - 1)));  // without the delimiter
}

TEST_F(DatabaseFilesTest, UpperCaseExtensionsCountAndDirectoriesDoNot) {
  ASSERT_EQ(system(("mkdir " + dir_ + "sub.cdx").c_str()), 0);
  EXPECT_TRUE(DirectoryHoldsNoTables(dir_));
  Touch("LINES.CDX");
  Touch("doc.cdx");
  auto names = FilesWithExtension(dir_, "cdx");
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"LINES.CDX", "doc.cdx"}));
}

TEST_F(DatabaseFilesTest, ClearsOnlyTheIndexFlag) {
  std::string header(33, '\0');
  header[0] = '\x03';
  header[8] = 33;  // header length
  header[10] = 2;  // record width
  header[28] = '\x01';
  header[29] = '\xC9';
  Touch("t.dbf", header);
  ClearStructuralIndexFlag(dir_ + "t.dbf");
  std::ifstream in(dir_ + "t.dbf", std::ios::binary);
  std::string back((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(back[28], '\0');
  EXPECT_EQ(back[29], '\xC9');
  EXPECT_EQ(back.size(), 33u);
  Touch("junk.dbf", "not a table at all, just text....");
  EXPECT_THROW(ClearStructuralIndexFlag(dir_ + "junk.dbf"), Exception);
  try {
    ClearStructuralIndexFlag(dir_ + "missing.dbf");
    ADD_FAILURE();
  } catch (const Exception& e) {
    EXPECT_NE(e.Message().find(dir_ + "missing.dbf: No such file or directory (" + W("Ошибка") + " -64)"),
              std::string::npos)
        << e.Message();
  }
}

TEST_F(DatabaseFilesTest, LeftoverTemporaryFilesOfTheEngineGoAndNothingElse) {
  for (const char* name : {"goods.cdx-0a1b2c3d-0.tmp", "DOC.CDX-FFFFFFFF-12.TMP", "goods.cdx", "notes.tmp",
                           "goods.cdx-zz-0.tmp", "goods.cdx-0a1b2c3d-.tmp"}) {
    Touch(name);
  }
  RemoveLeftoverTemporaryFiles(dir_);
  std::vector<std::string> left = {"goods.cdx", "notes.tmp", "goods.cdx-zz-0.tmp", "goods.cdx-0a1b2c3d-.tmp"};
  for (const std::string& name : left) EXPECT_TRUE(std::ifstream(dir_ + name).good()) << name;
  EXPECT_FALSE(std::ifstream(dir_ + "goods.cdx-0a1b2c3d-0.tmp").good());
  EXPECT_FALSE(std::ifstream(dir_ + "DOC.CDX-FFFFFFFF-12.TMP").good());
}

}  // namespace
}  // namespace ks
