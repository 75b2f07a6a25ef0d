// Files written by the engine, read by independent readers: python3-dbfread, python3-dbf,
// dbf_dump and index_dump. Each tag's listing by index_dump must match the engine's own
// walk, also after changes and deletions and with enough records for several levels.

#include <cstdio>
#include <sstream>
#include <vector>

#include "common/codepage.h"
#include "common/testing/run_command.h"
#include "db/engine/xbase/testing/test_util.h"

namespace ks::xbase::testing {
namespace {

using ks::testing::RunCommand;

std::string Trim(std::string s) {
  s.erase(s.find_last_not_of(" \r\n\t") + 1);
  s.erase(0, s.find_first_not_of(" \t"));
  return s;
}

const Field4Info kFields[] = {{"UID", 'N', 11, 0, 0},   {"FNAME", 'C', 30, 0, 0}, {"PRICE", 'N', 19, 6, 0},
                              {"FDATE", 'D', 8, 0, 0},  {"FSELF", 'L', 1, 0, 0},  {"NOTE", 'M', 10, 0, 0},
                              {nullptr, 0, 0, 0, 0}};
const Tag4Info kTags[] = {{"IPRIMARY", "Str(UID, 10)", nullptr, 0, 0},
                          {"INAME", "Upper(FNAME)+Str(UID, 10)", ".NOT. DELETED()", 0, 0},
                          {"DNAME", "Upper(FNAME)", nullptr, 0, r4descending},
                          {"DUMMY", "1", nullptr, 0, 0},
                          {"IVALUE", "UID", nullptr, 0, 0},
                          {nullptr, nullptr, nullptr, 0, 0}};

class InteropTest : public EngineTest {
 protected:
  void Fill(Data4* data, int from, int to) {
    for (int i = from; i <= to; ++i) {
      Append(data, [&](Data4* d) {
        PutNumber(d, "UID", (i * 7919) % 100003);
        Put(d, "FNAME", (i % 2 ? W("Товар ") : std::string("Goods ")) + std::to_string(i % 977));
        Put(d, "PRICE", "          12.500000");
        Put(d, "FDATE", "20240305");
        Put(d, "FSELF", i % 2 ? "T" : "F");
        const std::string memo = "memo " + std::to_string(i);
        f4memoAssignN(d4field(d, "NOTE"), memo.data(), memo.size());
      });
    }
  }

  // The engine's walk of a tag as index_dump lists it: ascending storage order.
  std::vector<std::string> EngineListing(Data4* data, const char* tag_name) {
    Tag4* tag = d4tag(data, tag_name);
    d4tagSelectP(data, tag);
    Expr4* key = expr4parseLow(data, t4exprCB(tag), nullptr);
    std::vector<std::string> lines;
    for (int rc = d4top(data); rc == 0 && !d4eof(data); rc = d4skip(data, 1)) {
      std::string text;
      if (expr4typeCB(key) == 'N') {
        double value = 0;
        expr4double2(key, &value);
        std::ostringstream s;
        s << value;
        text = s.str();
      } else {
        text = Trim(expr4str(key));
      }
      lines.push_back(text + " " + std::to_string(d4recNoLow(data)));
    }
    u4freeDefault(key);
    Tag4Info* info = i4tagInfo(i4open(data, nullptr));
    for (Tag4Info* t = info; t->name; ++t) {
      if (std::string(t->name) == tag_name && t->descending) std::reverse(lines.begin(), lines.end());
    }
    u4freeDefault(info);
    return lines;
  }

  std::vector<std::string> DumpListing(const char* tag, const char* type) {
    const std::string out = RunCommand("index_dump --type=" + std::string(type) + " '" + Path("goods.cdx") + "' " + tag + " 2>&1");
    std::vector<std::string> lines;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) {
      line = Trim(line);
      const size_t space = line.find_last_of(' ');
      if (space == std::string::npos) {
        lines.push_back(line);
        continue;
      }
      lines.push_back(Trim(line.substr(0, space)) + " " + line.substr(space + 1));
    }
    return lines;
  }

  void CompareAllTags(Data4* data) {
    ASSERT_EQ(d4flush(data), 0);
    const std::pair<const char*, const char*> tags[] = {
        {"IPRIMARY", "char"}, {"INAME", "char"}, {"DNAME", "char"}, {"DUMMY", "num"}, {"IVALUE", "num"}};
    for (const auto& [tag, type] : tags) {
      const auto engine = EngineListing(data, tag);
      const auto dump = DumpListing(tag, type);
      ASSERT_EQ(dump.size(), engine.size()) << tag << ": " << (dump.empty() ? "" : dump.front());
      for (size_t i = 0; i < engine.size(); ++i) {
        // index_dump shows the key bytes as text; compare in the table's code page.
        ASSERT_EQ(dump[i], engine[i]) << tag << " line " << i;
      }
    }
  }
};

TEST_F(InteropTest, IndexDumpListsWhatTheEngineWalks) {
  Data4* data = d4create(engine_, Path("goods.dbf").c_str(), kFields, kTags);
  ASSERT_NE(data, nullptr);
  Fill(data, 1, 50);
  CompareAllTags(data);
  Fill(data, 51, 6000);  // several levels of nodes
  CompareAllTags(data);
  for (long recno = 3; recno <= 6000; recno += 7) {
    ASSERT_EQ(d4goLow(data, recno, 1), 0);
    if (recno % 2) {
      d4delete(data);
    } else {
      Put(data, "FNAME", "changed " + std::to_string(recno));
      PutNumber(data, "UID", 200000 + recno);
      d4changed(data, 1);
    }
  }
  d4unlock(data);
  CompareAllTags(data);
  ASSERT_EQ(d4close(data), 0);
}

TEST_F(InteropTest, TableReadersSeeEveryValue) {
  Data4* data = d4create(engine_, Path("goods.dbf").c_str(), kFields, kTags);
  ASSERT_NE(data, nullptr);
  Fill(data, 1, 3);
  Append(data, [](Data4*) {});  // a blank record
  ASSERT_EQ(d4goLow(data, 2, 1), 0);
  d4delete(data);
  ASSERT_EQ(d4close(data), 0);

  const std::string script =
      "import dbfread, dbf\n"
      "t = dbfread.DBF('" + Path("goods.dbf") + "', encoding='cp1251', load=True)\n"
      "for r in t.records: print('R', r['UID'], r['FNAME'], r['PRICE'], r['FDATE'], r['FSELF'], repr(r['NOTE']))\n"
      "for r in t.deleted: print('D', r['UID'])\n"
      "u = dbf.Table('" + Path("goods.dbf") + "', codepage='cp1251'); u.open()\n"
      "for r in u: print('P', r.uid, r.fname.strip(), r.price, r.fdate, r.fself, repr(r.note), dbf.is_deleted(r))\n";
  const std::string out = RunCommand("/usr/bin/python3 -c \"" + script + "\" 2>&1");
  EXPECT_NE(out.find("R 7919 Товар 1 12.5 2024-03-05 True 'memo 1'"), std::string::npos) << out;
  EXPECT_NE(out.find("R 23757 Товар 3 12.5 2024-03-05 True 'memo 3'"), std::string::npos) << out;
  EXPECT_NE(out.find("R None  None None None None"), std::string::npos) << out;
  EXPECT_NE(out.find("D 15838"), std::string::npos) << out;
  EXPECT_NE(out.find("P 15838 Goods 2 12.5 2024-03-05 False 'memo 2' True"), std::string::npos) << out;

  const std::string dump = RunCommand("dbf_dump '" + Path("goods.dbf") + "' 2>&1");
  EXPECT_NE(dump.find("7919:" + W("Товар 1") + ":12.5:20240305:1:memo 1"), std::string::npos) << dump;
}

}  // namespace
}  // namespace ks::xbase::testing
