// Tables through the flat interface: creation, header bytes, appends, navigation in
// record order, field access, in-place changes and the error codes of opening.

#include <fstream>
#include <iterator>
#include <vector>

#include "db/engine/xbase/testing/test_util.h"

namespace ks::xbase::testing {
namespace {

const Field4Info kCountryFields[] = {
    {"UID", 'N', 11, 0, 0}, {"FNAME", 'C', 20, 0, 0}, {"PRICE", 'N', 19, 6, 0},
    {"FDATE", 'D', 8, 0, 0}, {"FSELF", 'L', 1, 0, 0}, {nullptr, 0, 0, 0, 0}};

std::vector<unsigned char> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

class DbfTableTest : public EngineTest {};

TEST_F(DbfTableTest, CreatesAFoxProHeaderAndKeepsTheFileConsistent) {
  Data4* data = d4create(engine_, Path("country.dbf").c_str(), kCountryFields, nullptr);
  ASSERT_NE(data, nullptr);
  for (int i = 1; i <= 3; ++i) {
    Append(data, [&](Data4* d) {
      PutNumber(d, "UID", i);
      Put(d, "FNAME", "Name " + std::to_string(i));
    });
  }
  ASSERT_EQ(d4close(data), 0);

  const auto bytes = ReadAll(Path("country.dbf"));
  ASSERT_GE(bytes.size(), 32u);
  EXPECT_EQ(bytes[0], 0x03);
  EXPECT_EQ(bytes[4], 3);                                  // record count
  const unsigned header = bytes[8] | (bytes[9] << 8);
  const unsigned width = bytes[10] | (bytes[11] << 8);
  EXPECT_EQ(header, 32u + 5 * 32 + 1);
  EXPECT_EQ(width, 1u + 11 + 20 + 19 + 8 + 1);
  EXPECT_EQ(bytes[28], 0);
  EXPECT_EQ(bytes[29], 0xC9);
  EXPECT_EQ(bytes[32 + 32 + 12], 12);                      // displacement of FNAME
  EXPECT_EQ(bytes[header - 1], 0x0D);
  ASSERT_EQ(bytes.size(), header + 3 * width + 1);
  EXPECT_EQ(bytes.back(), 0x1A);
  EXPECT_EQ(bytes[header], ' ');
}

TEST_F(DbfTableTest, NavigatesInRecordOrderAndReadsFields) {
  Data4* data = d4create(engine_, Path("t.dbf").c_str(), kCountryFields, nullptr);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(d4top(data), r4eof);
  EXPECT_GT(d4eof(data), 0);
  EXPECT_GT(d4bof(data), 0);
  for (int i = 1; i <= 5; ++i) {
    Append(data, [&](Data4* d) {
      PutNumber(d, "UID", i * 10);
      Put(d, "FDATE", "20260131");
      Put(d, "FSELF", i % 2 ? "T" : "F");
    });
  }
  ASSERT_EQ(d4close(data), 0);

  data = d4open(engine_, Path("t.dbf").c_str());
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(d4numFields(data), 5);
  EXPECT_EQ(d4recCountDo(data), 5);
  EXPECT_EQ(d4recWidthLow(data), 60u);
  Field4* price = d4fieldJ(data, 3);
  ASSERT_NE(price, nullptr);
  EXPECT_STREQ(f4name(price), "PRICE");
  EXPECT_EQ(f4type(price), 'N');
  EXPECT_EQ(f4len(price), 19);
  EXPECT_EQ(f4decimals(price), 6);
  EXPECT_EQ(d4field(data, "fname"), d4fieldJ(data, 2));
  EXPECT_EQ(d4field(data, "NOSUCH"), nullptr);

  ASSERT_EQ(d4top(data), 0);
  EXPECT_EQ(d4recNoLow(data), 1);
  EXPECT_EQ(GetTrimmed(data, "UID"), "10");
  EXPECT_EQ(d4skip(data, 2), 0);
  EXPECT_EQ(d4recNoLow(data), 3);
  EXPECT_EQ(d4skip(data, 10), r4eof);
  EXPECT_GT(d4eof(data), 0);
  EXPECT_EQ(d4skip(data, -1), 0);
  EXPECT_EQ(d4recNoLow(data), 5);
  EXPECT_EQ(d4bottom(data), 0);
  EXPECT_EQ(d4recNoLow(data), 5);
  ASSERT_EQ(d4goLow(data, 1, 1), 0);
  EXPECT_EQ(d4skip(data, -1), r4bof);
  EXPECT_GT(d4bof(data), 0);
  EXPECT_EQ(d4recNoLow(data), 1);
  EXPECT_EQ(d4goLow(data, 99, 1), r4eof);
  EXPECT_EQ(Get(data, "FDATE"), "        ");
}

TEST_F(DbfTableTest, ChangesAreWrittenOnUnlockAndDiscardedWhenCleared) {
  Data4* data = d4create(engine_, Path("t.dbf").c_str(), kCountryFields, nullptr);
  ASSERT_NE(data, nullptr);
  Append(data, [](Data4* d) { Put(d, "FNAME", "first"); });
  Append(data, [](Data4* d) { Put(d, "FNAME", "second"); });

  ASSERT_EQ(d4goLow(data, 1, 1), 0);
  Put(data, "FNAME", "changed");
  EXPECT_EQ(d4changed(data, -5), 0);
  d4changed(data, 1);
  EXPECT_GT(d4changed(data, -5), 0);
  ASSERT_EQ(d4unlock(data), 0);
  EXPECT_EQ(d4changed(data, -5), 0);

  ASSERT_EQ(d4goLow(data, 2, 1), 0);
  Put(data, "FNAME", "dropped");
  d4changed(data, 1);
  d4changed(data, 0);
  EXPECT_EQ(GetTrimmed(data, "FNAME"), "second");  // the buffer shows the stored record again
  ASSERT_EQ(d4delete(data), 0);
  EXPECT_EQ(d4deleted(data), 1);
  ASSERT_EQ(d4flush(data), 0);
  ASSERT_EQ(d4close(data), 0);

  data = d4open(engine_, Path("t.dbf").c_str());
  ASSERT_NE(data, nullptr);
  ASSERT_EQ(d4top(data), 0);
  EXPECT_EQ(GetTrimmed(data, "FNAME"), "changed");
  EXPECT_EQ(d4deleted(data), 0);
  d4skip(data, 1);
  EXPECT_EQ(GetTrimmed(data, "FNAME"), "second");
  EXPECT_EQ(d4deleted(data), 1);
}

TEST_F(DbfTableTest, CancelledAppendLeavesNothingBehind) {
  Data4* data = d4create(engine_, Path("t.dbf").c_str(), kCountryFields, nullptr);
  ASSERT_NE(data, nullptr);
  Append(data, [](Data4* d) { Put(d, "FNAME", "kept"); });
  ASSERT_EQ(d4appendStart(data, 0), 0);
  d4blank(data);
  Put(data, "FNAME", "never");
  d4changed(data, 0);
  d4unlock(data);
  ASSERT_EQ(d4goLow(data, 1, 1), 0);
  EXPECT_EQ(d4recCountDo(data), 1);
  EXPECT_EQ(GetTrimmed(data, "FNAME"), "kept");

  // A flush between the calls of an append leaves it open.
  ASSERT_EQ(d4appendStart(data, 0), 0);
  d4blank(data);
  Put(data, "FNAME", "second");
  EXPECT_EQ(d4flush(data), 0);
  ASSERT_EQ(d4append(data), 0);
  EXPECT_EQ(d4recCountDo(data), 2);
  ASSERT_EQ(d4goLow(data, 1, 1), 0);
  EXPECT_EQ(GetTrimmed(data, "FNAME"), "kept");
}

TEST_F(DbfTableTest, ClonesShareTheFileAndSeeEachOthersPosts) {
  Data4* first = d4create(engine_, Path("t.dbf").c_str(), kCountryFields, nullptr);
  ASSERT_NE(first, nullptr);
  Data4* found = code4data(engine_, Path("./t.dbf").c_str());
  EXPECT_EQ(found, first);
  Data4* second = d4openClone(first);
  ASSERT_NE(second, nullptr);
  Append(first, [](Data4* d) { Put(d, "FNAME", "from first"); });
  EXPECT_EQ(d4recCountDo(second), 1);
  ASSERT_EQ(d4top(second), 0);
  EXPECT_EQ(GetTrimmed(second, "FNAME"), "from first");
  Put(second, "FNAME", "from second");
  d4changed(second, 1);
  d4unlock(second);
  ASSERT_EQ(d4goLow(first, 1, 1), 0);
  EXPECT_EQ(GetTrimmed(first, "FNAME"), "from second");
  EXPECT_EQ(d4close(first), 0);
  EXPECT_EQ(code4data(engine_, Path("t.dbf").c_str()), second);
  EXPECT_EQ(d4close(second), 0);
  EXPECT_EQ(code4data(engine_, Path("t.dbf").c_str()), nullptr);
}

TEST_F(DbfTableTest, RefreshSeesRecordsOfAnotherEngine) {
  Data4* mine = d4create(engine_, Path("t.dbf").c_str(), kCountryFields, nullptr);
  ASSERT_NE(mine, nullptr);
  Append(mine, [](Data4* d) { Put(d, "FNAME", "one"); });
  ASSERT_EQ(d4flush(mine), 0);

  Code4* other = code4initP();  // stands for another process: a file of its own
  Data4* theirs = d4open(other, Path("t.dbf").c_str());
  ASSERT_NE(theirs, nullptr);
  EXPECT_EQ(d4recCountDo(theirs), 1);
  Append(mine, [](Data4* d) { Put(d, "FNAME", "two"); });
  ASSERT_EQ(d4goLow(mine, 1, 1), 0);
  Put(mine, "FNAME", "uno");
  d4changed(mine, 1);
  ASSERT_EQ(d4flush(mine), 0);

  ASSERT_EQ(d4goLow(theirs, 1, 1), 0);
  ASSERT_EQ(d4refresh(theirs), 0);
  EXPECT_EQ(d4recCountDo(theirs), 2);
  EXPECT_EQ(GetTrimmed(theirs, "FNAME"), "uno");
  ASSERT_EQ(d4goLow(theirs, 2, 1), 0);
  EXPECT_EQ(GetTrimmed(theirs, "FNAME"), "two");
  code4initUndo(other);
}

TEST_F(DbfTableTest, RecordsReadAheadInOrderAreReadAgainAfterAJumpARefreshOrALock) {
  Data4* mine = d4create(engine_, Path("t.dbf").c_str(), kCountryFields, nullptr);
  ASSERT_NE(mine, nullptr);
  constexpr int kRecords = 3000;  // several pieces read ahead
  for (int i = 1; i <= kRecords; ++i) Append(mine, [&](Data4* d) { PutNumber(d, "UID", i); });
  ASSERT_EQ(d4flush(mine), 0);

  Code4* other = code4initP();
  Data4* theirs = d4open(other, Path("t.dbf").c_str());
  ASSERT_NE(theirs, nullptr);
  int expected = 1;
  for (int rc = d4top(theirs); rc == 0 && !d4eof(theirs); rc = d4skip(theirs, 1), ++expected) {
    ASSERT_EQ(GetTrimmed(theirs, "UID"), std::to_string(expected));
  }
  EXPECT_EQ(expected, kRecords + 1);

  // Another engine changes a record after this one has read up to two records before it,
  // so that the changed record is held in memory already.
  auto change_ahead = [&](int recno) {
    ASSERT_EQ(d4goLow(theirs, recno - 3, 0), 0);
    ASSERT_EQ(d4skip(theirs, 1), 0);
    ASSERT_EQ(d4goLow(mine, recno, 1), 0);
    PutNumber(mine, "UID", 9000 + recno);
    d4changed(mine, 1);
    ASSERT_EQ(d4flush(mine), 0);
  };
  change_ahead(10);
  ASSERT_EQ(d4goLow(theirs, 10, 0), 0);  // a jump reads the file
  EXPECT_EQ(GetTrimmed(theirs, "UID"), "9010");
  change_ahead(30);
  ASSERT_EQ(d4skip(theirs, 1), 0);
  EXPECT_EQ(GetTrimmed(theirs, "UID"), "29");
  ASSERT_EQ(d4lockInternal(theirs, 30, 1, 1), 0);
  ASSERT_EQ(d4goLow(theirs, 30, 1), 0);  // so does the record just locked
  EXPECT_EQ(GetTrimmed(theirs, "UID"), "9030");
  code4initUndo(other);
}

TEST_F(DbfTableTest, OpeningReportsMissingAndBrokenFiles) {
  EXPECT_EQ(d4open(engine_, Path("missing.dbf").c_str()), nullptr);
  EXPECT_EQ(code4errorCode(engine_, -5), e4fileFind);
  EXPECT_EQ(code4errorCode(engine_, 0), e4fileFind);
  EXPECT_EQ(code4errorCode(engine_, -5), 0);

  std::ofstream(Path("junk.dbf"), std::ios::binary) << "not a table at all, just text......";
  EXPECT_EQ(d4open(engine_, Path("junk.dbf").c_str()), nullptr);
  EXPECT_EQ(code4errorCode(engine_, 0), e4data);

  code4safety(engine_, 1);
  Data4* data = d4create(engine_, Path("t.dbf").c_str(), kCountryFields, nullptr);
  ASSERT_NE(data, nullptr);
  d4close(data);
  EXPECT_EQ(d4create(engine_, Path("t.dbf").c_str(), kCountryFields, nullptr), nullptr);
  EXPECT_EQ(code4errorCode(engine_, 0), e4create);
  EXPECT_EQ(d4create(engine_, Path("no/such/dir/t.dbf").c_str(), kCountryFields, nullptr), nullptr);
  EXPECT_EQ(code4errorCode(engine_, 0), e4create);

  const Field4Info bad[] = {{"X", 'Q', 5, 0, 0}, {nullptr, 0, 0, 0, 0}};
  EXPECT_EQ(d4create(engine_, Path("bad.dbf").c_str(), bad, nullptr), nullptr);
  EXPECT_EQ(code4errorCode(engine_, 0), e4parm);
  EXPECT_EQ(u4switch() & 0x80, 0x80);
}

}  // namespace
}  // namespace ks::xbase::testing
