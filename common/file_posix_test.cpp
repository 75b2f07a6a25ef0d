// File on POSIX: what links do to it.
#include "common/file.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "common/testing/scratch_dir_test.h"

namespace ks {
namespace {

using FileLinkTest = testing::ScratchDirTest;

TEST_F(FileLinkTest, CreateReplacesLinksInsteadOfWritingThroughThem) {
  const std::string path = dir_ + "data";
  const std::string outside = path + ".outside";
  for (const bool symbolic : {true, false}) {
    SCOPED_TRACE(symbolic ? "symbolic link" : "hard link");
    { File victim; ASSERT_TRUE(victim.Open(outside, File::Mode::kCreate)); ASSERT_TRUE(victim.WriteAt(0, "keep", 4)); }
    ASSERT_EQ(symbolic ? ::symlink(outside.c_str(), path.c_str()) : ::link(outside.c_str(), path.c_str()), 0);
    File f;
    ASSERT_TRUE(f.Open(path, File::Mode::kCreate));
    ASSERT_TRUE(f.WriteAt(0, "new table", 9));
    struct stat st {};
    ASSERT_EQ(::lstat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_nlink, 1u);
    File victim;
    ASSERT_TRUE(victim.Open(outside, File::Mode::kReadOnly));
    EXPECT_EQ(victim.Size(), 4);
    f.Close();
    RemoveFile(path);
    RemoveFile(outside);
  }
  // A directory under the name is not removed; the create fails.
  ASSERT_EQ(::mkdir(path.c_str(), 0700), 0);
  File f;
  EXPECT_FALSE(f.Open(path, File::Mode::kCreate));
  ::rmdir(path.c_str());
}

}  // namespace
}  // namespace ks
