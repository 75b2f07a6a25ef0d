// Damaged tables: every fault of the files ends in a ks::Exception that names the table and
// the file, never in a crash, a hang or a read past a buffer (run under the sanitizers).

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/codepage.h"
#include "common/exception.h"
#include "common/file.h"
#include "legacy/paradox_table.h"
#include "legacy/testing/shared_dir.h"
#include "common/testing/temp_dir.h"

namespace ks {
namespace {

using testing::SampleDir;

std::vector<uint8_t> Load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void Save(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Opens the table and reads every value of every record; returns the error message, or
// an empty text when everything could be read.
std::string ReadEverything(const std::string& db, const std::string& mb, bool read_blobs = true) {
  try {
    ParadoxTable table;
    table.Open(db, mb, "biolife");
    uint32_t count = 0;
    for (table.First(); !table.Eof(); table.Next(), ++count) {
      for (size_t f = 0; f < table.Fields().size(); ++f) {
        table.IsNull(static_cast<int>(f));
        if (read_blobs || !IsParadoxBlobType(table.Fields()[f].type)) table.AsText(static_cast<int>(f));
      }
    }
    EXPECT_EQ(count, table.RecordCount());
    return {};
  } catch (const Exception& e) {
    EXPECT_FALSE(e.Message().empty());
    return e.Message();
  }
}

class DamagedTable : public testing::SampleFilesTest {
 protected:
  void SetUp() override {
    testing::SampleFilesTest::SetUp();
    if (HasFatalFailure()) return;
    db_ = dir_.Path() + "biolife.db";
    mb_ = dir_.Path() + "biolife.mb";
    original_db_ = Load(SampleDir() + "biolife.db");
    original_mb_ = Load(SampleDir() + "biolife.mb");
    ASSERT_EQ(original_db_.size(), 10240u);
    Save(db_, original_db_);
    Save(mb_, original_mb_);
  }
  void TearDown() override { SetFileFaultHook(nullptr); }

  // Reads the table with the data file replaced by bytes; a failure must name it.
  void ExpectCleanResult(const std::vector<uint8_t>& bytes, const std::string& what, bool read_blobs = true) {
    SCOPED_TRACE(what);
    Save(db_, bytes);
    const std::string error = ReadEverything(db_, mb_, read_blobs);
    if (!error.empty()) {
      EXPECT_NE(error.find("biolife"), std::string::npos) << error;
      EXPECT_TRUE(error.find(db_) != std::string::npos || error.find(mb_) != std::string::npos) << error;
    }
  }

  testing::TempDir dir_;
  std::string db_, mb_;
  std::vector<uint8_t> original_db_, original_mb_;
};

TEST_F(DamagedTable, IntactCopyReadsWhole) { EXPECT_EQ(ReadEverything(db_, mb_), ""); }

TEST_F(DamagedTable, MessageNamesTableFileAndFault) {
  std::vector<uint8_t> bytes = original_db_;
  bytes[0x800] = 1;  // block 1 follows itself
  bytes[0x801] = 0;
  Save(db_, bytes);
  EXPECT_EQ(ReadEverything(db_, mb_),
            W("Ошибка чтения таблицы biolife (") + db_ + W("): цепочка блоков замыкается на блоке 1"));
}

TEST_F(DamagedTable, MissingFilesAreNamed) {
  const std::string error = ReadEverything(dir_.Path() + "nothing.db", "");
  EXPECT_NE(error.find(dir_.Path() + "nothing.db"), std::string::npos) << error;
  const std::string blob_error = ReadEverything(db_, dir_.Path() + "nothing.mb");
  EXPECT_NE(blob_error.find(dir_.Path() + "nothing.mb"), std::string::npos) << blob_error;
}

TEST_F(DamagedTable, TruncatedDataFile) {
  for (size_t size : {size_t{0}, size_t{1}, size_t{0x57}, size_t{0x58}, size_t{0x100}, size_t{0x7FF}, size_t{0x800},
                      size_t{0x900}, size_t{0x1000}, size_t{0x17FF}, size_t{0x2000}, size_t{0x27FF}}) {
    std::vector<uint8_t> bytes(original_db_.begin(), original_db_.begin() + static_cast<long>(size));
    ExpectCleanResult(bytes, "truncated to " + std::to_string(size));
    if (size < 0x2000) {
      EXPECT_NE(ReadEverything(db_, mb_), "") << size;  // data blocks lost
    }
  }
}

TEST_F(DamagedTable, EveryHeaderByte) {
  for (size_t offset = 0; offset < 0x800; ++offset) {
    for (uint8_t value : {uint8_t{0x00}, uint8_t{0xFF}, static_cast<uint8_t>(original_db_[offset] ^ 0x81)}) {
      std::vector<uint8_t> bytes = original_db_;
      bytes[offset] = value;
      ExpectCleanResult(bytes, "header byte " + std::to_string(offset) + " = " + std::to_string(value), false);
    }
  }
}

TEST_F(DamagedTable, BlockLinks) {
  std::vector<uint8_t> bytes = original_db_;
  bytes[0x800] = 1;  // block 1 follows itself
  bytes[0x801] = 0;
  Save(db_, bytes);
  EXPECT_NE(ReadEverything(db_, mb_).find(db_), std::string::npos);

  bytes = original_db_;
  bytes[0x800] = 0xE7;  // a block far beyond the file
  bytes[0x801] = 0x03;
  Save(db_, bytes);
  EXPECT_NE(ReadEverything(db_, mb_).find(db_), std::string::npos);

  bytes = original_db_;
  bytes[0x804] = 0xFF;  // more records than the block holds
  bytes[0x805] = 0x7F;
  Save(db_, bytes);
  EXPECT_NE(ReadEverything(db_, mb_).find(db_), std::string::npos);

  bytes = original_db_;
  bytes[0x804] = 0x01;  // not a whole number of records
  Save(db_, bytes);
  EXPECT_NE(ReadEverything(db_, mb_).find(db_), std::string::npos);
}

TEST_F(DamagedTable, EveryByteOfTheFirstBlock) {
  // Records hold values and blob pointers: whatever they become, reading stays clean.
  for (size_t offset = 0x800; offset < 0x1000; offset += 3) {
    std::vector<uint8_t> bytes = original_db_;
    bytes[offset] ^= 0xA5;
    ExpectCleanResult(bytes, "block byte " + std::to_string(offset));
  }
}

TEST_F(DamagedTable, BlobPointersOutOfRange) {
  // The Notes pointer of the first record: index, offset, length.
  ParadoxTable probe;
  probe.Open(db_, mb_, "biolife");
  const ParadoxField notes = probe.Fields()[6];
  ASSERT_EQ(notes.type, ParadoxFieldType::kMemo);
  probe.Close();
  const size_t pointer = 0x806 + static_cast<size_t>(notes.offset + notes.size - 10);

  auto with = [&](size_t at, std::vector<uint8_t> patch) {
    std::vector<uint8_t> bytes = original_db_;
    std::memcpy(&bytes[pointer + at], patch.data(), patch.size());
    Save(db_, bytes);
    const std::string error = ReadEverything(db_, mb_);
    EXPECT_NE(error.find(mb_), std::string::npos) << error;
    EXPECT_NE(error.find("Notes"), std::string::npos) << error;
  };
  with(1, {0x00, 0x00, 0x7F});             // a block far past the end of the blob file
  with(1, {0x00, 0x00, 0x00});             // the header block
  with(4, {0xFF, 0xFF, 0xFF, 0xFF});       // a length of 4 GB
  with(4, {0x00, 0x01, 0x00, 0x00});       // a length the slot does not have
  with(0, {0x50});                         // a slot number above 63
  with(0, {0x01});                         // an unused slot
  with(0, {0xFF});                         // a shared block read as a block of its own

  // The blob file cut short, or not there at all.
  Save(db_, original_db_);
  Save(mb_, std::vector<uint8_t>(original_mb_.begin(), original_mb_.begin() + 5000));
  EXPECT_NE(ReadEverything(db_, mb_).find(mb_), std::string::npos);
  EXPECT_NE(ReadEverything(db_, "").find("Notes"), std::string::npos);
}

TEST_F(DamagedTable, ShortMemoInTheLeaderAlone) {
  // A memo no longer than its leader has no blob: pointer offset 0, the text in the leader.
  ParadoxTable table;
  table.Open(db_, mb_, "biolife");
  const ParadoxField notes = table.Fields()[6];
  const std::string full = table.AsText(6);
  table.Close();
  const size_t pointer = 0x806 + static_cast<size_t>(notes.offset + notes.size - 10);
  std::vector<uint8_t> bytes = original_db_;
  const uint8_t leader_only[10] = {0, 0, 0, 0, 12, 0, 0, 0, 1, 0};
  std::memcpy(&bytes[pointer], leader_only, sizeof leader_only);
  Save(db_, bytes);
  table.Open(db_, "", "biolife");  // no blob file needed for it
  EXPECT_EQ(table.AsText(6), full.substr(0, 12));
}

TEST_F(DamagedTable, ShortReads) {
  // Every read of either file comes up short in turn.
  for (int victim = 0; victim < 40; ++victim) {
    int reads = 0;
    SetFileFaultHook([&](const std::string&, bool, uint64_t, size_t size) -> int64_t {
      return reads++ == victim ? static_cast<int64_t>(size / 2) : static_cast<int64_t>(size);
    });
    const std::string error = ReadEverything(db_, mb_);
    SetFileFaultHook(nullptr);
    if (victim < reads && !error.empty()) {
      EXPECT_TRUE(error.find(db_) != std::string::npos || error.find(mb_) != std::string::npos) << error;
    }
  }
  SetFileFaultHook([](const std::string&, bool, uint64_t, size_t) -> int64_t { return -1; });
  EXPECT_NE(ReadEverything(db_, mb_), "");
}

}  // namespace
}  // namespace ks
