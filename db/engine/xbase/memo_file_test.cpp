// Memo fields: texts of every size, replacement without touching other records' blocks,
// and damaged memo files.

#include <fstream>
#include <iterator>
#include <string>

#include "db/engine/xbase/testing/test_util.h"

namespace ks::xbase::testing {
namespace {

const Field4Info kDocFields[] = {
    {"UID", 'N', 11, 0, 0}, {"FCOMPLEX", 'M', 1, 0, 0}, {"FBODY", 'M', 10, 0, 0}, {nullptr, 0, 0, 0, 0}};

class MemoTest : public EngineTest {
 protected:
  std::string Memo(Data4* data, const char* field) {
    Field4* f = d4field(data, field);
    return std::string(f4memoStr(f), f4memoLen(f));
  }
  void AppendMemo(Data4* data, const std::string& text) {
    Append(data, [&](Data4* d) { ASSERT_EQ(f4memoAssignN(d4field(d, "FCOMPLEX"), text.data(), text.size()), 0); });
  }
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Pattern(size_t n) {
  std::string s(n, ' ');
  for (size_t i = 0; i < n; ++i) s[i] = char(i % 251);  // zero bytes and high bytes included
  return s;
}

TEST_F(MemoTest, StoresTextsFromEmptyToLarge) {
  Data4* data = d4create(engine_, Path("doc.dbf").c_str(), kDocFields, nullptr);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(f4len(d4field(data, "FCOMPLEX")), 10);  // memo pointers are always ten characters
  const size_t sizes[] = {0, 1, 55, 56, 57, 64, 300, 4096, 100000};
  for (size_t n : sizes) AppendMemo(data, Pattern(n));
  ASSERT_EQ(d4close(data), 0);

  data = d4open(engine_, Path("doc.dbf").c_str());
  ASSERT_NE(data, nullptr);
  ASSERT_EQ(d4top(data), 0);
  EXPECT_EQ(Get(data, "FCOMPLEX"), std::string(10, ' '));  // an empty memo has no block
  for (size_t n : sizes) {
    EXPECT_EQ(Memo(data, "FCOMPLEX"), Pattern(n)) << n;
    EXPECT_EQ(Memo(data, "FBODY"), "");
    d4skip(data, 1);
  }
}

TEST_F(MemoTest, ReplacedMemoMovesAndLeavesOtherRecordsAlone) {
  Data4* data = d4create(engine_, Path("doc.dbf").c_str(), kDocFields, nullptr);
  ASSERT_NE(data, nullptr);
  AppendMemo(data, "short");
  // A second record pointing at the same blocks, as a copied record buffer would.
  const std::string pointer = Get(data, "FCOMPLEX");
  Append(data, [&](Data4* d) { Put(d, "FCOMPLEX", pointer); });

  ASSERT_EQ(d4goLow(data, 1, 1), 0);
  const std::string longer(500, 'x');
  ASSERT_EQ(f4memoAssignN(d4field(data, "FCOMPLEX"), longer.data(), longer.size()), 0);
  EXPECT_EQ(Memo(data, "FCOMPLEX"), longer);  // pending text reads back before the write
  ASSERT_EQ(d4unlock(data), 0);
  ASSERT_EQ(d4goLow(data, 1, 1), 0);
  EXPECT_NE(Get(data, "FCOMPLEX"), pointer);
  EXPECT_EQ(Memo(data, "FCOMPLEX"), longer);
  ASSERT_EQ(d4goLow(data, 2, 1), 0);
  EXPECT_EQ(Memo(data, "FCOMPLEX"), "short");

  ASSERT_EQ(f4memoAssignN(d4field(data, "FCOMPLEX"), "", 0), 0);
  ASSERT_EQ(d4flush(data), 0);
  EXPECT_EQ(Get(data, "FCOMPLEX"), std::string(10, ' '));
  EXPECT_NE(f4memoAssignN(d4field(data, "UID"), "x", 1), 0);
}

TEST_F(MemoTest, DamagedMemoFilesGiveErrorsNotCrashes) {
  Data4* data = d4create(engine_, Path("doc.dbf").c_str(), kDocFields, nullptr);
  ASSERT_NE(data, nullptr);
  AppendMemo(data, std::string(200, 'a'));
  Append(data, [](Data4* d) { Put(d, "FCOMPLEX", "    999999"); });  // points past the end
  ASSERT_EQ(d4close(data), 0);

  // The memo of the record reads as empty and the engine reports damaged data.
  const auto expect_damaged_memo = [this](long recno) {
    Data4* reopened = d4open(engine_, Path("doc.dbf").c_str());
    ASSERT_NE(reopened, nullptr);
    ASSERT_EQ(d4goLow(reopened, recno, 1), 0);
    EXPECT_EQ(Memo(reopened, "FCOMPLEX"), "");
    EXPECT_EQ(code4errorCode(engine_, 0), e4data);
    d4close(reopened);
  };
  expect_damaged_memo(2);

  // The memo's length field claims more than the file holds.
  {
    std::fstream f(Path("doc.fpt"), std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(8 * 64 + 4);
    const char huge[4] = {0x7F, 0, 0, 0};
    f.write(huge, 4);
  }
  expect_damaged_memo(1);

  // A block whose type is none of picture, text or object.
  {
    std::fstream f(Path("doc.fpt"), std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(8 * 64);
    const char type[8] = {0, 0, 0x12, 0x34, 0, 0, 0, 10};
    f.write(type, 8);
  }
  data = d4open(engine_, Path("doc.dbf").c_str());
  ASSERT_NE(data, nullptr);
  ASSERT_EQ(d4goLow(data, 1, 1), 0);
  EXPECT_EQ(Memo(data, "FCOMPLEX"), "");
  EXPECT_EQ(code4errorCode(engine_, 0), e4data);
  d4close(data);

  // A next-free pointer far past the end is set right in memory; opening and closing the
  // table without writing a memo leaves the file as it was.
  {
    std::fstream f(Path("doc.fpt"), std::ios::in | std::ios::out | std::ios::binary);
    const char next_free[4] = {0x7F, 0, 0, 0};
    f.write(next_free, 4);
  }
  const std::string before = ReadFile(Path("doc.fpt"));
  data = d4open(engine_, Path("doc.dbf").c_str());
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(d4close(data), 0);
  EXPECT_EQ(ReadFile(Path("doc.fpt")), before);

  std::filesystem::resize_file(Path("doc.fpt"), 100);
  EXPECT_EQ(d4open(engine_, Path("doc.dbf").c_str()), nullptr);
  EXPECT_EQ(code4errorCode(engine_, 0), e4data);
  std::filesystem::remove(Path("doc.fpt"));
  EXPECT_EQ(d4open(engine_, Path("doc.dbf").c_str()), nullptr);
  EXPECT_EQ(code4errorCode(engine_, 0), e4fileFind);
}

}  // namespace
}  // namespace ks::xbase::testing
