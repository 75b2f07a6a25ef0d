#include "common/background_task.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "common/exception.h"
#include "common/file.h"
#include "common/testing/scratch_dir_test.h"

namespace ks {
namespace {

TEST(BackgroundTaskTest, WaitRethrowsTheFailureOnceAndTheDestructorJoins) {
  BackgroundTask failing([] { throw Exception("flush failed"); });
  try {
    failing.Wait();
    FAIL() << "the work's exception was lost";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "flush failed");
  }
  EXPECT_NO_THROW(failing.Wait());

  // Left without Wait, as on an owner's early exit: the work still ends before the owner goes.
  std::atomic<bool> done{false};
  {
    BackgroundTask slow([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      done = true;
    });
  }
  EXPECT_TRUE(done);
  // A failure nobody waits for is dropped, not thrown from the destructor.
  { BackgroundTask ignored([] { throw Exception("unheard"); }); }
}

class BackgroundFlushTest : public testing::ScratchDirTest {
 protected:
  void TearDown() override { SetFileOperationHook(nullptr); }
};

// The run flushes its files on a task while the read-back check reads on the owner's
// thread: the test hooks are asked from both, and a failure is told on the thread it
// happened on, so the flush's message names the flushed file, not what the reader did.
TEST_F(BackgroundFlushTest, AFlushFailingOnATaskKeepsItsCauseApartFromTheReader) {
  const std::string flushed = dir_ + "flushed.dbf";
  const std::string read = dir_ + "read.dbf";
  for (const std::string& path : {flushed, read}) {
    File f;
    ASSERT_TRUE(f.Open(path, File::Mode::kCreate));
    ASSERT_TRUE(f.WriteAt(0, "0123456789", 10));
  }
  std::atomic<int> operations{0};
  SetFileOperationHook([&](FileOperation operation, const std::string& path) {
    ++operations;
    return !(operation == FileOperation::kFlush && path == flushed);
  });
  ForgetFileFailure();
  BackgroundTask flush([&] {
    for (int i = 0; i < 50; ++i) ASSERT_TRUE(SyncFile(read));
    if (!SyncFile(flushed)) throw Exception(DescribeFileFailure(*LastFileFailure()));
  });
  File reader;
  ASSERT_TRUE(reader.Open(read, File::Mode::kReadOnly));
  char bytes[10];
  for (int i = 0; i < 200; ++i) ASSERT_TRUE(reader.ReadExactAt(0, bytes, sizeof bytes));
  try {
    flush.Wait();
    FAIL() << "the failed flush went unreported";
  } catch (const Exception& e) {
    EXPECT_NE(e.Message().find(flushed), std::string::npos) << e.Message();
  }
  EXPECT_EQ(LastFileFailure(), nullptr);
  EXPECT_GT(operations.load(), 250);
}

}  // namespace
}  // namespace ks
