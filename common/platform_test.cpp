// The platform interface as every system must keep it; platform_win32_test.cpp adds what
// only Windows has (drives, sharing, names it refuses).
#include "common/platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "common/codepage.h"
#include "common/file.h"
#include "common/paths.h"
#include "common/testing/scratch_dir_test.h"

namespace ks {
namespace {

class PlatformTest : public testing::ScratchDirTest {
 protected:
  PlatformTest() : ScratchDirTest("ks_platform_") {}
  void Touch(const std::string& path) {
    File f;
    ASSERT_TRUE(f.Open(path, File::Mode::kCreate)) << path;
  }
};

TEST_F(PlatformTest, DirectoriesAreCreatedListedAndTold) {
  ASSERT_TRUE(IsPathDelimiter(dir_.back()));
  // A Cyrillic name (Windows-1251 here) reaches the system as the same name.
  const std::string nested = dir_ + W("Данные") + kPathDelimiter + "db" + kPathDelimiter;
  std::string failed;
  ASSERT_TRUE(CreateDirectories(nested, failed)) << failed << ": " << SystemErrorText();
  ASSERT_TRUE(CreateDirectories(nested, failed));  // already there
  Touch(nested + "A.DBF");
  Touch(nested + W("Ёлка.cdx"));
  EXPECT_EQ(KindOfPath(nested), PathKind::kDirectory);
  EXPECT_EQ(KindOfPath(nested + "A.DBF"), PathKind::kFile);
  EXPECT_EQ(KindOfPath(nested + "none"), PathKind::kMissing);

  std::vector<std::string> names = DirectoryEntries(nested);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"A.DBF", W("Ёлка.cdx")}));
  EXPECT_EQ(DirectoryEntries(dir_), std::vector<std::string>{W("Данные")});

  EXPECT_TRUE(RemoveFile(nested + W("Ёлка.cdx")));
  EXPECT_FALSE(RemoveFile(nested + W("Ёлка.cdx")));
  EXPECT_TRUE(DirectoryIsWritable(nested));
  EXPECT_TRUE(FreeDiskBytes(nested).has_value());
}

TEST_F(PlatformTest, DirectoryCannotBeMadeBelowAFile) {
  Touch(dir_ + "plain");
  std::string failed;
  EXPECT_FALSE(CreateDirectories(dir_ + "plain" + kPathDelimiter + "sub", failed));
  EXPECT_FALSE(failed.empty());
  EXPECT_FALSE(SystemErrorText().empty());
}

TEST_F(PlatformTest, TableFilePathIsFullAndFoldsTheFileName) {
  const std::string path = TableFilePath(dir_ + W("ТАБЛ.DBF"));
  EXPECT_TRUE(IsAbsolutePath(path));
  EXPECT_EQ(path.substr(path.size() - 8), W("табл.dbf"));
  EXPECT_FALSE(IsAbsolutePath(std::string("relative") + kPathDelimiter + "x"));
  EXPECT_EQ(WithTrailingDelimiter("x"), std::string("x") + kPathDelimiter);
}

TEST_F(PlatformTest, LockedRangesKeepOtherOpenFilesOut) {
  const std::string path = dir_ + "locks";
  Touch(path);
  File first;
  File second;
  ASSERT_TRUE(first.Open(path, File::Mode::kReadWrite));
  ASSERT_TRUE(second.Open(path, File::Mode::kReadWrite));
  const uint64_t far = uint64_t(1) << 40;
  EXPECT_EQ(first.LockRange(far + 2, 1), File::LockResult::kLocked);
  EXPECT_EQ(first.LockRange(far + 2, 1), File::LockResult::kLocked);  // again: still granted
  EXPECT_EQ(second.LockRange(far + 2, 1), File::LockResult::kHeldElsewhere);
  EXPECT_EQ(second.LockRange(far + 3, 1), File::LockResult::kLocked);
  EXPECT_NE(FileLockHolder(path), 0);
  EXPECT_TRUE(first.UnlockRanges());
  EXPECT_TRUE(second.UnlockRanges());
  EXPECT_EQ(second.LockRange(far + 2, 1), File::LockResult::kLocked);
  second.Close();
  EXPECT_EQ(FileLockHolder(path), 0);
}

TEST_F(PlatformTest, ChildProcessesGetArgumentsAndEnvironment) {
  // This test program, asked for a test that is not there, ends with 0.
  EXPECT_EQ(RunProcess(ExecutablePath(), {"--gtest_filter=None.None"}, {"KS_UNUSED=1"}), 0);
  EXPECT_NE(RunProcess(dir_ + "missing-program", {}), 0);
}

}  // namespace
}  // namespace ks
