// Appended keys in sorted runs: the merged order, the temporary file's life, a file that
// cannot be written, and whole indexes written from spilled runs.

#include "db/engine/xbase/key_runs.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

#include "common/file.h"
#include "db/engine/xbase/key_list.h"
#include "db/engine/xbase/testing/test_util.h"

namespace ks::xbase::testing {
namespace {

constexpr size_t kKeyLen = 6;
constexpr size_t kEntry = kKeyLen + 4;

std::vector<std::string> Merged(KeyRuns& runs) {
  std::vector<std::string> out;
  EXPECT_EQ(runs.Merge([&](const uint8_t* e) {
              out.emplace_back(reinterpret_cast<const char*>(e), kEntry);
              return 0;
            }),
            0);
  return out;
}

std::string Entry(uint32_t key, uint32_t recno) {
  std::string e(kEntry, ' ');
  const std::string text = std::to_string(key);
  e.replace(kKeyLen - std::min(text.size(), kKeyLen), std::min(text.size(), kKeyLen), text.substr(0, kKeyLen));
  KeyList::PutRecNo(reinterpret_cast<uint8_t*>(e.data()), kKeyLen, recno);
  return e;
}

std::vector<std::string> Spread(uint32_t count, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<std::string> entries;
  for (uint32_t recno = 1; recno <= count; ++recno) entries.push_back(Entry(random() % 5000, recno));
  return entries;
}

class KeyRunsTest : public EngineTest {
 protected:
  void TearDown() override {
    SetFileFaultHook(nullptr);
    EngineTest::TearDown();
  }
  std::vector<std::string> TemporaryFiles() const {
    std::vector<std::string> names;
    for (const auto& f : std::filesystem::directory_iterator(dir_)) {
      if (f.path().extension() == ".tmp") names.push_back(f.path().filename().string());
    }
    return names;
  }
};

TEST_F(KeyRunsTest, MergesRunsFromFileAndMemoryInOrder) {
  for (const bool spill : {false, true}) {
    KeyRuns runs(kEntry);
    if (spill) runs.SetSpill(Path("keys.tmp"), 100 * kEntry);  // 20 runs on file, one in memory
    auto entries = Spread(2050, 7);
    // A stretch in record order as well, running on after every other key.
    for (uint32_t i = 0; i < 300; ++i) entries.push_back(Entry(90000 + i, 5000 + i));
    for (const auto& e : entries) runs.Add(reinterpret_cast<const uint8_t*>(e.data()));
    EXPECT_EQ(runs.Count(), entries.size());
    EXPECT_EQ(std::filesystem::exists(Path("keys.tmp")), spill);
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(Merged(runs), entries) << spill;
    EXPECT_EQ(Merged(runs), entries) << "merging twice, " << spill;  // an index written again
    runs.Clear();
    EXPECT_TRUE(runs.Empty());
    EXPECT_TRUE(Merged(runs).empty());
    EXPECT_FALSE(std::filesystem::exists(Path("keys.tmp")));
  }
}

TEST_F(KeyRunsTest, RunsStayInMemoryWhenTheFileFailsAndReadFailuresAreReported) {
  auto entries = Spread(500, 3);
  {
    KeyRuns runs(kEntry);
    runs.SetSpill(Path("keys.tmp"), 64 * kEntry);
    std::atomic<bool> fail = false;  // read by the spilling thread
    SetFileFaultHook([&](const std::string& path, bool is_write, uint64_t, size_t size) -> int64_t {
      return fail && path == Path("keys.tmp") && is_write ? -1 : int64_t(size);
    });
    for (size_t i = 0; i < entries.size(); ++i) {
      fail = i >= 200;  // the disk fills up after three runs
      runs.Add(reinterpret_cast<const uint8_t*>(entries[i].data()));
    }
    auto sorted = entries;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(Merged(runs), sorted);

    SetFileFaultHook([&](const std::string& path, bool is_write, uint64_t, size_t size) -> int64_t {
      return path == Path("keys.tmp") && !is_write ? -1 : int64_t(size);
    });
    EXPECT_EQ(runs.Merge([](const uint8_t*) { return 0; }), -1);
    SetFileFaultHook(nullptr);
  }
  EXPECT_TRUE(TemporaryFiles().empty());  // the destructor removes the file
}

TEST_F(KeyRunsTest, AFailureOnTheSpillingThreadReachesTheNextCallWithItsCause) {
  SetFileFaultHook([&](const std::string& path, bool is_write, uint64_t, size_t size) -> int64_t {
    if (is_write && path == Path("keys.tmp")) throw std::runtime_error("the disk went away");
    return int64_t(size);
  });
  const auto entries = Spread(200, 5);
  for (const bool by_merge : {true, false}) {
    SCOPED_TRACE(by_merge ? "merge" : "next spill");
    KeyRuns runs(kEntry);
    runs.SetSpill(Path("keys.tmp"), 64 * kEntry);
    std::string caught;
    try {
      // The first run goes to the thread at the 64th entry; the second spill awaits it.
      for (size_t i = 0; i < (by_merge ? 64 : entries.size()); ++i) {
        runs.Add(reinterpret_cast<const uint8_t*>(entries[i].data()));
      }
      if (by_merge) runs.Merge([](const uint8_t*) { return 0; });
    } catch (const std::runtime_error& e) {
      caught = e.what();
    }
    EXPECT_EQ(caught, "the disk went away");
  }
}

// A goods-like table, its appended keys spilled to runs or not: the same index file.
class SpilledIndexTest : public KeyRunsTest {
 protected:
  std::string WriteTable(const std::string& name, long index_memory, int records, bool read_midway) {
    code4indexMemory(engine_, index_memory);
    const Field4Info fields[] = {{"DOCID", 'N', 11, 0, 0}, {"NOTE", 'C', 20, 0, 0}, {nullptr, 0, 0, 0, 0}};
    const Tag4Info tags[] = {{"IDOC", "Str(DOCID, 10)", ".NOT. DELETED()", 0, 0},
                             {"INOTE", "Upper(NOTE)+Str(DOCID, 10)", nullptr, 0, 0},
                             {"DNOTE", "NOTE", nullptr, 0, r4descending},
                             {nullptr, nullptr, nullptr, 0, 0}};
    Data4* data = d4create(engine_, Path(name + ".dbf").c_str(), fields, tags);
    EXPECT_NE(data, nullptr);
    std::mt19937 random(11);
    for (int i = 1; i <= records; ++i) {
      Append(data, [&](Data4* d) {
        PutNumber(d, "DOCID", i);
        Put(d, "NOTE", "note " + std::to_string(random() % 3000));
      });
      if (read_midway && i == records / 2) {
        // Reading a tag brings its runs back into memory; appending goes on from there.
        d4tagSelectP(data, d4tag(data, "INOTE"));
        EXPECT_EQ(d4top(data), 0);
        d4tagSelectP(data, nullptr);
      }
    }
    if (index_memory < 100000) {
      EXPECT_FALSE(TemporaryFiles().empty());
    }
    EXPECT_EQ(d4close(data), 0);
    EXPECT_TRUE(TemporaryFiles().empty());
    std::ifstream in(Path(name + ".cdx"), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
  }
};

TEST_F(SpilledIndexTest, SpilledRunsWriteTheSameIndexFile) {
  const std::string whole = WriteTable("whole", 64L << 20, 3000, false);
  EXPECT_EQ(WriteTable("spilled", 3000, 3000, false), whole);
  EXPECT_EQ(WriteTable("read", 3000, 3000, true), whole);

  Data4* data = d4open(engine_, Path("spilled.dbf").c_str());
  ASSERT_NE(data, nullptr);
  ASSERT_NE(i4open(data, nullptr), nullptr);
  d4tagSelectP(data, d4tag(data, "IDOC"));
  ASSERT_EQ(d4seek(data, "      2999"), 0);
  EXPECT_EQ(d4recNoLow(data), 2999);
  std::string previous;
  long count = 0;
  d4tagSelectP(data, d4tag(data, "INOTE"));
  for (int rc = d4top(data); rc == 0 && !d4eof(data); rc = d4skip(data, 1), ++count) {
    const std::string note = Get(data, "NOTE") + Get(data, "DOCID");
    EXPECT_LE(previous, note);
    previous = note;
  }
  EXPECT_EQ(count, 3000);
  d4close(data);
}

TEST_F(SpilledIndexTest, AFailedIndexWriteStillRemovesTheRuns) {
  code4indexMemory(engine_, 2000);
  const Field4Info fields[] = {{"UID", 'N', 11, 0, 0}, {nullptr, 0, 0, 0, 0}};
  const Tag4Info tags[] = {{"IPRIMARY", "Str(UID, 10)", nullptr, 0, 0}, {nullptr, nullptr, nullptr, 0, 0}};
  Data4* data = d4create(engine_, Path("t.dbf").c_str(), fields, tags);
  ASSERT_NE(data, nullptr);
  for (int i = 1; i <= 1000; ++i) Append(data, [&](Data4* d) { PutNumber(d, "UID", 1000 - i); });
  EXPECT_FALSE(TemporaryFiles().empty());
  SetFileFaultHook([&](const std::string& path, bool is_write, uint64_t, size_t size) -> int64_t {
    return is_write && path == Path("t.cdx") ? -1 : int64_t(size);
  });
  EXPECT_EQ(d4close(data), e4write);
  SetFileFaultHook(nullptr);
  EXPECT_TRUE(TemporaryFiles().empty());
}

}  // namespace
}  // namespace ks::xbase::testing
