// The window read ahead on the table's own thread: a read that fails when its turn comes
// fails at the record where the owner's own read would have, with its cause, and a table
// closed, reopened or moved elsewhere in the middle of a walk reads right (run under
// ThreadSanitizer as well).

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "common/codepage.h"
#include "common/exception.h"
#include "common/file.h"
#include "common/testing/temp_dir.h"
#include "legacy/paradox_table.h"
#include "legacy/paradox_values.h"
#include "tools/paradox_writer.h"

namespace ks {
namespace {

// The system's words for the I/O error the hook makes (the test runs where pxlib builds).
const std::string kIoError = "Input/output error";
// Records of about 260 bytes: some four of the reader's 1 MiB windows of blocks.
constexpr int64_t kRecords = 16000;
constexpr size_t kWindowBytes = 1 << 20;

class ParadoxReadAhead : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new testing::TempDir;
    db_ = dir_->Path() + "lines.db";
    ParadoxTableWriter writer(db_, "lines", {{"Id", 'I'}, {"Text", 'A', 255}}, 0, "", kRecords);
    for (int32_t id = 0; id < kRecords; ++id) {
      writer.SetLong("Id", id);
      writer.SetText("Text", std::string(200, static_cast<char>('a' + id % 26)));
      writer.Append();
    }
    writer.Close();
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  void TearDown() override { SetFileFaultHook(nullptr); }

  // The Id of the first record of a block, read from the file's bytes.
  static int64_t FirstIdOfBlock(const ParadoxTable& table, int block) {
    std::ifstream in(db_, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(table.Header().BlockOffset(block)) + 6 + table.Fields()[0].offset);
    uint8_t bytes[4];
    in.read(reinterpret_cast<char*>(bytes), sizeof bytes);
    return DecodeParadoxInteger(bytes, sizeof bytes);
  }

  static testing::TempDir* dir_;
  static std::string db_;
};

testing::TempDir* ParadoxReadAhead::dir_ = nullptr;
std::string ParadoxReadAhead::db_;

TEST_F(ParadoxReadAhead, AReadFailingOnItsTurnFailsAtTheFirstRecordOfItsWindowWithItsCause) {
  ParadoxTable probe;
  probe.Open(db_, "", "Lines");
  ASSERT_EQ(probe.RecordCount(), kRecords);
  const int blocks_per_window = static_cast<int>(kWindowBytes / probe.Header().block_size);
  const int windows = (probe.Header().file_blocks + blocks_per_window - 1) / blocks_per_window;
  ASSERT_GE(windows, 3);

  // The walk of Open reads each window once; the second read of a window is the walk of the
  // records: the second window read by the walk itself, the later ones read ahead while the
  // window before them was decoded. Either way the failure must surface alike.
  for (int window = 1; window < windows; ++window) {
    SCOPED_TRACE("window " + std::to_string(window));
    const int block = 1 + window * blocks_per_window;
    const uint64_t offset = probe.Header().BlockOffset(block);
    int reads_at_offset = 0;
    SetFileFaultHook([&](const std::string&, bool is_write, uint64_t at, size_t size) -> int64_t {
      if (!is_write && at == offset && ++reads_at_offset == 2) return -1;
      return static_cast<int64_t>(size);
    });
    ForgetFileFailure();
    ParadoxTable table;
    table.Open(db_, "", "Lines");
    int64_t last_read = -1;
    std::string failure;
    try {
      for (table.First(); !table.Eof(); table.Next()) {
        ASSERT_EQ(table.AsInteger(0), last_read + 1);
        ++last_read;
      }
    } catch (const Exception& e) {
      failure = Cp1251ToUtf8(e.Message());
    }
    SetFileFaultHook(nullptr);
    // Every record before the window was read, and the step onto its first one failed.
    EXPECT_EQ(last_read + 1, FirstIdOfBlock(probe, block));
    EXPECT_EQ(failure, "Ошибка чтения таблицы Lines (" + db_ + "): ошибка чтения блока " + std::to_string(block) +
                           ": " + kIoError);
    const FileFailure* cause = LastFileFailure();
    ASSERT_NE(cause, nullptr);
    EXPECT_EQ(cause->operation, FileOperation::kRead);
    EXPECT_EQ(cause->path, db_);
  }
}

TEST_F(ParadoxReadAhead, ATableClosedReopenedOrRepositionedMidWalkReadsRight) {
  for (int stop : {1, 3000, 7000, 12000}) {
    SCOPED_TRACE("stop at " + std::to_string(stop));
    auto table = std::make_unique<ParadoxTable>();
    table->Open(db_, "", "Lines");
    table->First();
    for (int i = 0; i < stop; ++i) table->Next();
    ASSERT_EQ(table->AsInteger(0), stop);
    // Back to the start, out of the order read ahead, then along again.
    ASSERT_TRUE(table->Find(0, 5));
    int64_t id = 5;
    for (; !table->Eof(); table->Next(), ++id) ASSERT_EQ(table->AsInteger(0), id);
    EXPECT_EQ(id, kRecords);
    // Closed and opened again in the middle of a walk, then destroyed in the middle of one.
    table->First();
    for (int i = 0; i < stop; ++i) table->Next();
    table->Close();
    table->Open(db_, "", "Lines");
    id = 0;
    for (table->First(); !table->Eof() && id < stop; table->Next(), ++id) ASSERT_EQ(table->AsInteger(0), id);
    table.reset();
  }
}

}  // namespace
}  // namespace ks
