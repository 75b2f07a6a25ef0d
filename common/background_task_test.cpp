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
  EXPECT_THROW(failing.Wait(), Exception);
  EXPECT_NO_THROW(failing.Wait());
  // Left without Wait, as on an owner's early exit: the work ends before the owner goes, and
  // its failure is dropped rather than thrown from the destructor.
  std::atomic<bool> done{false};
  {
    BackgroundTask slow([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      done = true;
      throw Exception("unheard");
    });
  }
  EXPECT_TRUE(done);
}

using BackgroundFlushTest = testing::ScratchDirTest;

// The run flushes on a task while the read-back check reads on the owner's thread: the test
// hooks are asked from both, and a failure is told on the thread it happened on.
TEST_F(BackgroundFlushTest, AFlushFailingOnATaskKeepsItsCauseApartFromTheReader) {
  const std::string flushed = dir_ + "flushed.dbf", read = dir_ + "read.dbf";
  for (const std::string& path : {flushed, read}) {
    File f;
    ASSERT_TRUE(f.Open(path, File::Mode::kCreate) && f.WriteAt(0, "0123456789", 10));
  }
  SetFileOperationHook([&](FileOperation operation, const std::string& path) {
    return !(operation == FileOperation::kFlush && path == flushed);
  });
  ForgetFileFailure();
  BackgroundTask flush([&] {
    for (int i = 0; i < 50; ++i) ASSERT_TRUE(SyncFile(read));
    if (!SyncFile(flushed)) throw Exception(DescribeFileFailure(*LastFileFailure()));
  });
  File reader;
  char bytes[10];
  ASSERT_TRUE(reader.Open(read, File::Mode::kReadOnly));
  for (int i = 0; i < 200; ++i) ASSERT_TRUE(reader.ReadExactAt(0, bytes, sizeof bytes));
  std::string message;
  try {
    flush.Wait();
  } catch (const Exception& e) {
    message = e.Message();
  }
  SetFileOperationHook(nullptr);
  EXPECT_NE(message.find(flushed), std::string::npos) << message;
  EXPECT_EQ(LastFileFailure(), nullptr);
}

}  // namespace
}  // namespace ks
