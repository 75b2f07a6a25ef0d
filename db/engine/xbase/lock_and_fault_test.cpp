// Record locks between processes, write and read faults through the file hook, and
// damaged data files.

#include <cstdlib>
#include <fstream>

#include "common/file.h"
#include "common/platform.h"
#include "db/engine/xbase/testing/test_util.h"

namespace ks::xbase::testing {
namespace {

const Field4Info kFields[] = {{"UID", 'N', 11, 0, 0}, {"NOTE", 'M', 10, 0, 0}, {nullptr, 0, 0, 0, 0}};
const Tag4Info kTags[] = {{"IPRIMARY", "Str(UID, 10)", nullptr, 0, 0}, {nullptr, nullptr, nullptr, 0, 0}};

class LockAndFaultTest : public EngineTest {
 protected:
  void TearDown() override {
    SetFileFaultHook(nullptr);
    EngineTest::TearDown();
  }
  Data4* MakeTable(int records) {
    Data4* data = d4create(engine_, Path("t.dbf").c_str(), kFields, kTags);
    EXPECT_NE(data, nullptr);
    for (int i = 1; i <= records; ++i) Append(data, [&](Data4* d) { PutNumber(d, "UID", i); });
    EXPECT_EQ(d4flush(data), 0);
    return data;
  }
  // Result of locking recno from a separate process with its own engine: this test
  // program once more, running only LockChild.LocksOneRecord.
  int LockInChild(int recno) {
    return RunProcess(ExecutablePath(), {"--gtest_filter=LockChild.LocksOneRecord"},
                      {"KS_LOCK_CHILD_TABLE=" + Path("t.dbf"), "KS_LOCK_CHILD_RECORD=" + std::to_string(recno)});
  }
};

// The child's side of LockInChild: locks the record and ends the process with the result
// (r4locked is 50), still holding its lock. Skipped when not started as a child.
TEST(LockChild, LocksOneRecord) {
  const char* table = std::getenv("KS_LOCK_CHILD_TABLE");
  const char* record = std::getenv("KS_LOCK_CHILD_RECORD");
  if (table == nullptr || record == nullptr) GTEST_SKIP() << "started by LockAndFaultTest only";
  Code4* engine = code4initP();
  Data4* data = d4open(engine, table);
  std::exit(data ? d4lockInternal(data, std::atoi(record), 1, 1) : 99);
}

TEST_F(LockAndFaultTest, RecordLocksAreSeenByOtherProcesses) {
  Data4* data = MakeTable(3);
  ASSERT_EQ(d4lockInternal(data, 2, 1, 1), 0);
  Data4* clone = d4openClone(data);
  EXPECT_EQ(d4lockInternal(clone, 2, 1, 1), 0);  // locks belong to the file, shared by its cursors
  EXPECT_EQ(LockInChild(2), r4locked);
  EXPECT_EQ(LockInChild(1), 0);

  // Another engine of this process has a file of its own and is refused as well.
  Code4* other = code4initP();
  Data4* other_data = d4open(other, Path("t.dbf").c_str());
  ASSERT_NE(other_data, nullptr);
  EXPECT_EQ(d4lockInternal(other_data, 2, 1, 1), r4locked);
  code4initUndo(other);

  ASSERT_EQ(d4unlock(data), 0);
  EXPECT_EQ(LockInChild(2), 0);
}

TEST_F(LockAndFaultTest, FailedWritesAreReported) {
  Data4* data = MakeTable(2);
  std::string failing = "t.dbf";
  SetFileFaultHook([&](const std::string& path, bool is_write, uint64_t, size_t size) -> int64_t {
    const bool match = path.size() >= failing.size() && path.compare(path.size() - failing.size(), failing.size(), failing) == 0;
    return is_write && match ? -1 : int64_t(size);
  });
  ASSERT_EQ(d4goLow(data, 1, 1), 0);
  PutNumber(data, "UID", 42);
  d4changed(data, 1);
  EXPECT_EQ(d4unlock(data), e4write);
  EXPECT_EQ(code4errorCode(engine_, 0), e4write);

  Append(data, [](Data4* d) { PutNumber(d, "UID", 3); });  // held in memory for now
  EXPECT_EQ(d4flush(data), e4write);
  failing = "t.cdx";
  ASSERT_EQ(d4goLow(data, 2, 1), 0);  // the records are written now
  PutNumber(data, "UID", 77);
  d4changed(data, 1);
  EXPECT_EQ(d4flush(data), e4write);  // the index is not
  failing = "t.fpt";
  ASSERT_EQ(d4goLow(data, 1, 1), 0);
  f4memoAssignN(d4field(data, "NOTE"), "text", 4);
  EXPECT_EQ(d4flush(data), e4write);
  failing = "nothing";
  EXPECT_EQ(d4close(data), 0);

  data = d4open(engine_, Path("t.dbf").c_str());
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(d4recCountDo(data), 3);
  ASSERT_NE(i4open(data, nullptr), nullptr);

  SetFileFaultHook([](const std::string&, bool is_write, uint64_t, size_t size) -> int64_t {
    return is_write ? int64_t(size) : int64_t(size / 2);
  });
  // Record 3 after record 1: no read-ahead piece, whose half would still hold the record.
  EXPECT_NE(d4goLow(data, 3, 1), 0);
  EXPECT_EQ(code4errorCode(engine_, 0), e4read);
  SetFileFaultHook(nullptr);
  d4close(data);
}

TEST_F(LockAndFaultTest, DamagedDataFilesAreRefused) {
  Data4* data = MakeTable(10);
  ASSERT_EQ(d4close(data), 0);
  std::ifstream in(Path("t.dbf"), std::ios::binary);
  const std::string good((std::istreambuf_iterator<char>(in)), {});
  in.close();
  auto open_with = [&](std::string bytes) {
    std::ofstream(Path("t.dbf"), std::ios::binary | std::ios::trunc) << bytes;
    Data4* d = d4open(engine_, Path("t.dbf").c_str());
    const int code = code4errorCode(engine_, 0);
    if (d) d4close(d);
    return d ? 0 : code;
  };
  EXPECT_EQ(open_with(good.substr(0, good.size() - 30)), e4data);  // truncated records
  EXPECT_EQ(open_with(good.substr(0, 20)), e4data);
  std::string bad = good;
  bad[8] = '\xFF';  // header length past the end
  bad[9] = '\x7F';
  EXPECT_EQ(open_with(bad), e4data);
  bad = good;
  bad[10] = 3;  // record width that does not match the fields
  EXPECT_EQ(open_with(bad), e4data);
  bad = good;
  bad[0] = 0x42;
  EXPECT_EQ(open_with(bad), e4data);
  EXPECT_EQ(open_with(good), 0);
}

}  // namespace
}  // namespace ks::xbase::testing
