// Index tags: order, seeks, descending and unique tags, FOR filters, maintenance on change
// and delete, the file written and read back, and damaged index files.

#include <algorithm>
#include <fstream>
#include <map>
#include <random>
#include <vector>

#include "common/codepage.h"
#include "db/engine/xbase/testing/test_util.h"

namespace ks::xbase::testing {
namespace {

const Field4Info kFields[] = {
    {"UID", 'N', 11, 0, 0}, {"FNAME", 'C', 20, 0, 0}, {"FDATE", 'D', 8, 0, 0}, {nullptr, 0, 0, 0, 0}};

const Tag4Info kTags[] = {
    {"IPRIMARY", "Str(UID, 10)", nullptr, 0, 0},
    {"INAME", "Upper(FNAME)+Str(UID, 10)", "", 0, 0},
    {"DNAME", "Upper(FNAME)", nullptr, 0, r4descending},
    {"ILIVE", "Str(UID, 10)", ".NOT. DELETED()", 0, 0},
    {"UNAME", "Upper(FNAME)", nullptr, r4unique, 0},
    {"DUMMY", "1", nullptr, 0, 0},
    {"IDATE", "FDATE", nullptr, 0, 0},
    {nullptr, nullptr, nullptr, 0, 0}};

class IndexTest : public EngineTest {
 protected:
  Data4* Make(const std::vector<std::pair<int, std::string>>& rows) {
    Data4* data = d4create(engine_, Path("t.dbf").c_str(), kFields, kTags);
    EXPECT_NE(data, nullptr);
    for (const auto& [uid, name] : rows) {
      Append(data, [&](Data4* d) {
        PutNumber(d, "UID", uid);
        Put(d, "FNAME", name);
        Put(d, "FDATE", "2024030" + std::to_string(uid % 10));
      });
    }
    return data;
  }
  std::vector<long> Walk(Data4* data, const char* tag) {
    d4tagSelectP(data, d4tag(data, tag));
    std::vector<long> out;
    for (int rc = d4top(data); rc == 0 && !d4eof(data); rc = d4skip(data, 1)) out.push_back(d4recNoLow(data));
    return out;
  }
  std::vector<long> WalkBack(Data4* data, const char* tag) {
    d4tagSelectP(data, d4tag(data, tag));
    std::vector<long> out;
    for (int rc = d4bottom(data); rc == 0 && !d4eof(data); rc = d4skip(data, -1)) out.push_back(d4recNoLow(data));
    std::reverse(out.begin(), out.end());
    return out;
  }
};

TEST_F(IndexTest, WalksEachTagInItsOrder) {
  Data4* data = Make({{3, "beta"}, {1, "alpha"}, {2, "alpine"}, {5, W("яблоко")}, {4, W("Ёж")}, {6, "alpha"}});
  EXPECT_EQ(Walk(data, "IPRIMARY"), (std::vector<long>{2, 3, 1, 5, 4, 6}));
  EXPECT_EQ(WalkBack(data, "IPRIMARY"), Walk(data, "IPRIMARY"));
  // Plain byte order in Windows-1251: Ё (0xA8) before Я (0xDF).
  EXPECT_EQ(Walk(data, "INAME"), (std::vector<long>{2, 6, 3, 1, 5, 4}));
  EXPECT_EQ(Walk(data, "DNAME"), (std::vector<long>{4, 5, 1, 3, 6, 2}));
  EXPECT_EQ(WalkBack(data, "DNAME"), Walk(data, "DNAME"));
  EXPECT_EQ(Walk(data, "UNAME"), (std::vector<long>{2, 3, 1, 5, 4}));
  EXPECT_EQ(Walk(data, "DUMMY"), (std::vector<long>{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(Walk(data, "IDATE"), (std::vector<long>{2, 3, 1, 5, 4, 6}));

  Index4* index = i4open(data, nullptr);
  ASSERT_NE(index, nullptr);
  Tag4Info* info = i4tagInfo(index);
  ASSERT_NE(info, nullptr);
  EXPECT_STREQ(info[2].name, "DNAME");
  EXPECT_EQ(info[2].descending, r4descending);
  EXPECT_EQ(info[4].unique, r4unique);
  EXPECT_STREQ(info[3].filter, ".NOT. DELETED()");
  EXPECT_EQ(info[7].name, nullptr);
  u4freeDefault(info);
  EXPECT_STREQ(t4exprCB(d4tagDefault(data)), "Str(UID, 10)");
  EXPECT_STREQ(t4alias(d4tagNext(data, d4tagDefault(data))), "INAME");
}

TEST_F(IndexTest, SeeksFullAndPartialKeys) {
  Data4* data = Make({{3, "beta"}, {1, "alpha"}, {2, "alpine"}, {4, "alpha"}});
  // Each seek in turn: the tag (empty: record order), the key, whether it seeks on from the
  // current record, the result and the record it leaves current (0: past the end; -1: any).
  const struct {
    const char* tag;
    const char* key;
    bool next;
    int result;
    long recno;
  } kSeeks[] = {
      {"INAME", "ALP", false, r4success, 2},
      {"INAME", "ALP", true, r4success, 4},
      {"INAME", "ALP", true, r4success, 3},
      {"INAME", "ALP", true, r4after, 1},
      {"INAME", "BETA", true, r4eof, 0},
      {"INAME", "AZ", false, r4after, 1},
      {"INAME", "ZZZ", false, r4eof, 0},
      {"IPRIMARY", "         3", false, r4success, 1},
      {"DNAME", "ALPHA", false, r4success, 4},
      {"DNAME", "ALPHA", true, r4success, 2},
      {"DNAME", "AZ", false, r4after, 3},  // the next key in descending order
      {"DNAME", "A", false, r4success, -1},
      {"DNAME", "AAA", false, r4eof, 0},
      {"DUMMY", "1", false, r4success, 1},
      {"DUMMY", "2", false, r4eof, 0},
      {"IDATE", "20240302", false, r4success, 3},
      {"", "x", false, r4eof, -1},  // record order has no keys
  };
  for (const auto& seek : kSeeks) {
    SCOPED_TRACE(std::string(seek.tag) + " " + seek.key);
    d4tagSelectP(data, *seek.tag != '\0' ? d4tag(data, seek.tag) : nullptr);
    EXPECT_EQ(seek.next ? d4seekNext(data, seek.key) : d4seek(data, seek.key), seek.result);
    if (seek.recno == 0) {
      EXPECT_GT(d4eof(data), 0);
    } else if (seek.recno > 0) {
      EXPECT_EQ(d4recNoLow(data), seek.recno);
    }
  }
}

TEST_F(IndexTest, SkipsSeveralStepsAndComesBackFromTheEnd) {
  Data4* data = Make({{5, "e"}, {1, "a"}, {4, "d"}, {2, "b"}, {3, "c"}});
  for (const char* tag : {"INAME", "DNAME"}) {
    d4tagSelectP(data, d4tag(data, tag));
    const bool descending = std::string(tag) == "DNAME";
    ASSERT_EQ(d4top(data), 0);
    EXPECT_EQ(d4recNoLow(data), descending ? 1 : 2);  // "e" first when descending
    EXPECT_EQ(d4skip(data, 3), 0);
    EXPECT_EQ(d4recNoLow(data), descending ? 4 : 3);
    EXPECT_EQ(d4skip(data, 2), r4eof);
    EXPECT_GT(d4eof(data), 0);
    EXPECT_EQ(d4skip(data, 1), r4eof);
    EXPECT_EQ(d4skip(data, -2), 0);
    EXPECT_EQ(d4recNoLow(data), descending ? 4 : 3);
    EXPECT_EQ(d4skip(data, -10), r4bof);
    EXPECT_EQ(d4recNoLow(data), descending ? 1 : 2);
    EXPECT_GT(d4bof(data), 0);
  }
}

TEST_F(IndexTest, ChangesAndDeletionsMoveKeys) {
  Data4* data = Make({{1, "a"}, {2, "b"}, {3, "c"}});
  Data4* clone = d4openClone(data);
  ASSERT_EQ(d4goLow(data, 1, 1), 0);
  Put(data, "FNAME", "z");
  d4changed(data, 1);
  ASSERT_EQ(d4unlock(data), 0);
  EXPECT_EQ(Walk(clone, "INAME"), (std::vector<long>{2, 3, 1}));

  ASSERT_EQ(d4goLow(data, 2, 1), 0);
  ASSERT_EQ(d4delete(data), 0);
  d4unlock(data);
  EXPECT_EQ(Walk(clone, "ILIVE"), (std::vector<long>{1, 3}));
  EXPECT_EQ(Walk(clone, "IPRIMARY"), (std::vector<long>{1, 2, 3}));

  // Skipping from a record the filter left out goes on from where its key would be.
  d4tagSelectP(data, d4tag(data, "ILIVE"));
  ASSERT_EQ(d4goLow(data, 2, 1), 0);
  EXPECT_EQ(d4skip(data, 1), 0);
  EXPECT_EQ(d4recNoLow(data), 3);
  ASSERT_EQ(d4goLow(data, 2, 1), 0);
  EXPECT_EQ(d4skip(data, -1), 0);
  EXPECT_EQ(d4recNoLow(data), 1);
  EXPECT_EQ(d4skip(data, -1), r4bof);

  // A record changed while positioned on a tag keeps its place in the walk.
  d4tagSelectP(data, d4tag(data, "INAME"));
  ASSERT_EQ(d4top(data), 0);
  Put(data, "FNAME", "y");
  d4changed(data, 1);
  EXPECT_EQ(d4skip(data, 1), 0);
  EXPECT_EQ(d4recNoLow(data), 1);  // record 2 ("b", now "y") comes just before "z"
  ASSERT_EQ(d4close(clone), 0);
  ASSERT_EQ(d4close(data), 0);

  data = d4open(engine_, Path("t.dbf").c_str());
  ASSERT_NE(i4open(data, nullptr), nullptr);
  EXPECT_EQ(Walk(data, "INAME"), (std::vector<long>{3, 2, 1}));
  EXPECT_EQ(Walk(data, "ILIVE"), (std::vector<long>{1, 3}));
}

TEST_F(IndexTest, ManyRecordsSurviveTheFile) {
  Data4* data = d4create(engine_, Path("t.dbf").c_str(), kFields, kTags);
  std::mt19937 random(7);
  std::multimap<std::string, long> by_name;
  const int n = 20000;
  for (int i = 1; i <= n; ++i) {
    std::string name;
    for (int k = 0; k < 8; ++k) name += char('a' + random() % 26);
    if (i % 3 == 0) name = by_name.begin()->first;  // many duplicates
    Append(data, [&](Data4* d) {
      PutNumber(d, "UID", long(random() % 100000));
      Put(d, "FNAME", name);
    });
    std::string upper = name;
    for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
    by_name.emplace(upper, i);
  }
  std::vector<long> expected;
  for (const auto& [name, recno] : by_name) expected.push_back(recno);
  const auto before = Walk(data, "DNAME");
  const auto dummy = Walk(data, "DUMMY");
  ASSERT_EQ(d4close(data), 0);

  data = d4open(engine_, Path("t.dbf").c_str());
  ASSERT_NE(i4open(data, nullptr), nullptr);
  EXPECT_EQ(Walk(data, "DNAME"), before);
  EXPECT_EQ(dummy.size(), size_t(n));
  EXPECT_EQ(Walk(data, "DUMMY"), dummy);
  const auto unique = Walk(data, "UNAME");
  std::vector<long> first_of_each;
  std::string last;
  for (const auto& [name, recno] : by_name) {
    if (name != last) first_of_each.push_back(recno);
    last = name;
  }
  EXPECT_EQ(unique, first_of_each);
  auto walked = Walk(data, "IPRIMARY");
  EXPECT_EQ(walked.size(), size_t(n));
}

TEST_F(IndexTest, FlagByteAndMissingIndex) {
  Data4* data = Make({{1, "a"}});
  ASSERT_EQ(d4close(data), 0);
  std::ifstream in(Path("t.dbf"), std::ios::binary);
  char head[32];
  in.read(head, 32);
  EXPECT_EQ(head[28], 1);
  std::filesystem::remove(Path("t.cdx"));
  data = d4open(engine_, Path("t.dbf").c_str());
  ASSERT_NE(data, nullptr);  // a set flag without the file is tolerated
  EXPECT_EQ(code4errorCode(engine_, -5), 0);
  EXPECT_EQ(i4open(data, nullptr), nullptr);
  EXPECT_EQ(code4errorCode(engine_, 0), e4fileFind);
  EXPECT_EQ(d4tagDefault(data), nullptr);
  ASSERT_NE(i4create(data, nullptr, kTags), nullptr);
  EXPECT_EQ(Walk(data, "IPRIMARY"), (std::vector<long>{1}));
  EXPECT_EQ(i4open(data, nullptr), i4open(data, nullptr));

  const Tag4Info bad[] = {{"BAD", "Nosuch(UID)", nullptr, 0, 0}, {nullptr, nullptr, nullptr, 0, 0}};
  EXPECT_EQ(i4create(data, nullptr, bad), nullptr);
  EXPECT_NE(code4errorCode(engine_, 0), 0);
}

TEST_F(IndexTest, DamagedIndexFilesGiveErrorsNotCrashes) {
  Data4* data = d4create(engine_, Path("t.dbf").c_str(), kFields, kTags);
  for (int i = 1; i <= 3000; ++i) {
    Append(data, [&](Data4* d) {
      PutNumber(d, "UID", i);
      Put(d, "FNAME", "name" + std::to_string(i * 7919 % 3000));
    });
  }
  ASSERT_EQ(d4close(data), 0);
  std::ifstream in(Path("t.cdx"), std::ios::binary);
  const std::string good((std::istreambuf_iterator<char>(in)), {});
  in.close();

  auto try_open = [&](const std::string& bytes) {
    std::ofstream(Path("t.cdx"), std::ios::binary | std::ios::trunc) << bytes;
    Data4* d = d4open(engine_, Path("t.dbf").c_str());
    ASSERT_NE(d, nullptr);
    code4errorCode(engine_, 0);
    if (i4open(d, nullptr)) {
      for (Tag4* tag = d4tagDefault(d); tag; tag = d4tagNext(d, tag)) {
        d4tagSelectP(d, tag);
        int steps = 0;
        for (int rc = d4top(d); rc == 0 && steps < 10000; rc = d4skip(d, 1)) ++steps;
        d4seek(d, "name1");
      }
    } else {
      EXPECT_NE(code4errorCode(engine_, 0), 0);
    }
    d4close(d);
  };
  try_open(good.substr(0, 700));
  try_open(good.substr(0, good.size() - 512));
  try_open(std::string(good.size(), '\xFF'));
  std::mt19937 random(11);
  for (int round = 0; round < 150; ++round) {
    std::string bytes = good;
    for (int k = 0; k < 8; ++k) bytes[random() % bytes.size()] = char(random());
    try_open(bytes);
  }
}

}  // namespace
}  // namespace ks::xbase::testing
