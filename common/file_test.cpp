#include "common/file.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>

#include "common/testing/scratch_dir_test.h"

namespace ks {
namespace {

class FileTest : public testing::ScratchDirTest {
 protected:
  FileTest() : ScratchDirTest("ks_file_") {}
  std::string path_ = dir_ + "data";
  void TearDown() override {
    SetFileFaultHook(nullptr);
  }

  // Writes bytes through a new handle, then flushes the handle, the file by name and its
  // folder: the result of each flush.
  std::array<bool, 3> WriteAndFlush(File::Mode mode) {
    File f;
    EXPECT_TRUE(f.Open(path_, mode));
    EXPECT_TRUE(f.WriteAt(0, "abc", 3));
    return {f.Sync(), SyncFile(path_), SyncDirectory(dir_)};
  }
};

TEST_F(FileTest, WritesAndReadsAtOffsets) {
  File f;
  ASSERT_TRUE(f.Open(path_, File::Mode::kCreate));
  ASSERT_TRUE(f.WriteAt(4, "abcd", 4));
  EXPECT_TRUE(f.StartWriteBack(0, 8));
  EXPECT_EQ(f.Size(), 8);
  char buf[8] = {};
  EXPECT_EQ(f.ReadAt(6, buf, 8), 2);  // short at the end
  EXPECT_EQ(std::string(buf, 2), "cd");
  EXPECT_FALSE(f.ReadExactAt(6, buf, 3));
}

TEST_F(FileTest, FaultHookFailsWritesAndShortensReads) {
  File f;
  ASSERT_TRUE(f.Open(path_, File::Mode::kCreate));
  ASSERT_TRUE(f.WriteAt(0, "0123456789", 10));
  SetFileFaultHook([](const std::string&, bool is_write, uint64_t, size_t size) -> int64_t {
    return is_write ? 3 : static_cast<int64_t>(size / 2);
  });
  EXPECT_FALSE(f.WriteAt(0, "abcdef", 6));
  char buf[10];
  EXPECT_EQ(f.ReadAt(0, buf, 10), 5);
  SetFileFaultHook(nullptr);
  EXPECT_TRUE(f.ReadExactAt(0, buf, 10));
}

TEST_F(FileTest, OpenFailsOnMissingFileAndDirectory) {
  File f;
  EXPECT_FALSE(f.Open(path_ + ".missing", File::Mode::kReadOnly));
  EXPECT_FALSE(f.Open(dir_, File::Mode::kReadOnly));
  EXPECT_FALSE(f.IsOpen());
}

TEST_F(FileTest, FlushesToStableStorageAndTheFaultHookCanFailThem) {
  using Flushes = std::array<bool, 3>;
  EXPECT_EQ(WriteAndFlush(File::Mode::kCreate), (Flushes{true, true, true}));
  EXPECT_FALSE(SyncFile(path_ + ".missing"));
  EXPECT_FALSE(SyncDirectory(path_ + ".missing" + kPathDelimiter));

  // Only the flushes fail: writes of bytes pass.
  SetFileFaultHook([](const std::string&, bool is_write, uint64_t offset, size_t size) -> int64_t {
    return is_write && offset == kFlushOffset ? -1 : static_cast<int64_t>(size);
  });
  EXPECT_EQ(WriteAndFlush(File::Mode::kReadWrite), (Flushes{false, false, false}));
}

}  // namespace
}  // namespace ks
