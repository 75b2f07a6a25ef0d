// The generated legacy database, read back with pxlib (every non-blob field) and with our
// own Paradox reader (memos included), plus the writer's own guards.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

extern "C" {
#include <paradox.h>
}

#include "common/codepage.h"
#include "common/exception.h"
#include "common/testing/temp_dir.h"
#include "legacy/paradox_table.h"
#include "tools/legacy_db_generator.h"
#include "tools/paradox_writer.h"

namespace fs = std::filesystem;

namespace ks {
namespace {

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Quiet(pxdoc_t*, int, const char*, void*) {}

// One table as pxlib sees it: field names and types, and the non-blob values per record.
struct PxTable {
  struct Field {
    std::string name;
    char type;
    int size;
  };
  std::vector<Field> fields;
  int file_type = -1;
  int key_fields = -1;
  int code_page = 0;
  // Per record, per field: the value as text ("" for blank; blobs are not read).
  std::vector<std::vector<std::string>> rows;
  std::vector<std::vector<bool>> blank;

  int Index(const std::string& name) const {
    for (size_t i = 0; i < fields.size(); ++i)
      if (fields[i].name == name) return static_cast<int>(i);
    ADD_FAILURE() << "no field " << name;
    return 0;
  }
  const std::string& At(size_t row, const std::string& name) const { return rows[row][Index(name)]; }
  long Long(size_t row, const std::string& name) const { return std::stol(At(row, name)); }
};

PxTable ReadWithPxlib(const fs::path& path) {
  PxTable t;
  pxdoc_t* doc = PX_new2(Quiet, nullptr, nullptr, nullptr);
  if (PX_open_file(doc, path.c_str()) < 0) {
    ADD_FAILURE() << "pxlib cannot open " << path;
    PX_delete(doc);
    return t;
  }
  t.file_type = doc->px_head->px_filetype;
  t.key_fields = doc->px_head->px_primarykeyfields;
  t.code_page = doc->px_head->px_doscodepage;
  const int n = PX_get_num_fields(doc);
  pxfield_t* f = PX_get_fields(doc);
  for (int i = 0; i < n; ++i) t.fields.push_back({f[i].px_fname, f[i].px_ftype, f[i].px_flen});
  std::vector<char> record(PX_get_recordsize(doc));
  for (int r = 0; r < PX_get_num_records(doc); ++r) {
    if (!PX_get_record(doc, r, record.data())) {
      ADD_FAILURE() << "pxlib cannot read record " << r << " of " << path;
      break;
    }
    std::vector<std::string> row;
    std::vector<bool> nulls;
    int offset = 0;
    for (int i = 0; i < n; ++i) {
      char* data = record.data() + offset;
      offset += f[i].px_flen;
      std::string text;
      int got = 0;
      switch (f[i].px_ftype) {
        case pxfAlpha: {
          char* s = nullptr;
          got = PX_get_data_alpha(doc, data, f[i].px_flen, &s);
          if (got > 0 && s) {
            text = s;
            doc->free(doc, s);
          }
          break;
        }
        case pxfLong: case pxfDate: {
          long v = 0;
          got = PX_get_data_long(doc, data, f[i].px_flen, &v);
          if (got > 0) text = std::to_string(v);
          break;
        }
        case pxfShort: {
          short v = 0;
          got = PX_get_data_short(doc, data, f[i].px_flen, &v);
          if (got > 0) text = std::to_string(v);
          break;
        }
        case pxfNumber: {
          double v = 0;
          got = PX_get_data_double(doc, data, f[i].px_flen, &v);
          if (got > 0) {
            char buf[64];
            std::snprintf(buf, sizeof buf, "%.2f", v);
            text = buf;
          }
          break;
        }
        case pxfLogical: {
          char v = 0;
          got = PX_get_data_byte(doc, data, f[i].px_flen, &v);
          if (got > 0) text = v ? "T" : "F";
          break;
        }
        default:  // blobs: pxlib crashes with a blob file attached, our reader checks them
          got = 0;
      }
      EXPECT_GE(got, 0) << path << " record " << r << " field " << f[i].px_fname;
      row.push_back(text);
      nulls.push_back(got == 0);
    }
    t.rows.push_back(std::move(row));
    t.blank.push_back(std::move(nulls));
  }
  PX_close(doc);
  PX_delete(doc);
  return t;
}

LegacyDbSize SmallSize() {
  LegacyDbSize size;
  size.documents = 120;
  size.lines = 400;
  size.payments = 45;
  size.goods = 30;
  size.firms = 8;
  size.people = 12;
  return size;
}

class GeneratedLegacyDb : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new testing::TempDir("ks_legacy_db_");
    GenerateLegacyDb(dir_->Path(), SmallSize());
  }
  static void TearDownTestSuite() { delete dir_; }
  static fs::path File(const char* name) { return fs::path(dir_->Path()) / name; }

  static testing::TempDir* dir_;
};
testing::TempDir* GeneratedLegacyDb::dir_ = nullptr;

// The fields the converter reads, with their kinds and sizes.
TEST_F(GeneratedLegacyDb, EveryTableHasTheFieldsTheConverterReads) {
  const std::map<std::string, std::vector<PxTable::Field>> expected = {
      {"Group.DB", {{"GroupID", pxfLong, 4}, {"GroupName", pxfAlpha, 50}}},
      {"Country.DB", {{"CountryID", pxfLong, 4}, {"CountryName", pxfAlpha, 30}}},
      {"FirmRef.DB",
       {{"RefID", pxfLong, 4}, {"Veltro", pxfLogical, 1}, {"ShortName", pxfAlpha, 30},
        {"FullName", pxfAlpha, 200}, {"Addres", pxfAlpha, 255}, {"RDep", pxfAlpha, 50},
        {"CDep", pxfAlpha, 50}, {"Bank", pxfAlpha, 200}, {"INN", pxfAlpha, 30}, {"KPP", pxfAlpha, 30},
        {"OKONH_Code", pxfAlpha, 150}, {"OKPO_Code", pxfAlpha, 150}, {"Bik", pxfAlpha, 15},
        {"Cargo", pxfAlpha, 255}, {"SecPodp", pxfLogical, 1}, {"seal", pxfLogical, 1},
        {"ChiefID", pxfLong, 4}, {"AccountantID", pxfLong, 4}, {"CashierID", pxfLong, 4}}},
      {"Model.DB",
       {{"ModelID", pxfLong, 4}, {"ModelName", pxfAlpha, 100}, {"Price", pxfNumber, 8},
        {"NDS", pxfNumber, 8}, {"NDSAlloc", pxfLogical, 1}, {"countryid", pxfLong, 4},
        {"numdeclar", pxfAlpha, 40}, {"GroupID", pxfLong, 4}, {"VolID", pxfLong, 4}}},
      {"vol.DB", {{"VolID", pxfLong, 4}, {"VolName", pxfAlpha, 20}}},
      {"People.DB",
       {{"PeopleID", pxfLong, 4}, {"FirmPID", pxfLong, 4}, {"FirstNamePeople", pxfAlpha, 30},
        {"SecondNamePeople", pxfAlpha, 30}, {"LastNamePeople", pxfAlpha, 30}}},
      {"Template.DB", {{"Comment", pxfMemoBLOb, 0}}},
      {"Document.DB",
       {{"DocumentID", pxfLong, 4}, {"TypeDoc", pxfLong, 4}, {"TypeNaklad", pxfAlpha, 30},
        {"Date", pxfDate, 4}, {"Note", pxfAlpha, 255}, {"Number", pxfAlpha, 30},
        {"SenderID", pxfLong, 4}, {"PeopleID", pxfLong, 4}, {"FirmPID", pxfLong, 4},
        {"MemoPok", pxfMemoBLOb, 0}, {"MemoPlat", pxfMemoBLOb, 0}, {"Summa", pxfNumber, 8},
        {"nalvalue", pxfNumber, 8}, {"naltype", pxfLogical, 1}, {"NDS", pxfNumber, 8},
        {"NDSAlloc", pxfLogical, 1}, {"BaseNumber", pxfAlpha, 30}, {"BaseDate", pxfDate, 4}}},
      {"Main.DB",
       {{"No", pxfLong, 4}, {"DocDate", pxfDate, 4}, {"Sender", pxfLong, 4},
        {"Receiver", pxfLong, 4}, {"SendByPost", pxfShort, 2}, {"Sum", pxfNumber, 8},
        {"NDS", pxfNumber, 8}, {"PayDate", pxfDate, 4}, {"PayOrder", pxfLong, 4},
        {"VidOper", pxfAlpha, 2}, {"Cod", pxfAlpha, 7}, {"Comment", pxfMemoBLOb, 0},
        {"NDSString", pxfAlpha, 200}}},
      {"FULLSTORAGE.DB",
       {{"DocID", pxfLong, 4}, {"ModelID", pxfLong, 4}, {"Price", pxfNumber, 8},
        {"NDS", pxfNumber, 8}, {"NDSAlloc", pxfLogical, 1}, {"Count", pxfNumber, 8},
        {"VolID", pxfLong, 4}, {"GroupID", pxfLong, 4}, {"countryid", pxfLong, 4},
        {"numdeclar", pxfAlpha, 40}}},
  };
  ASSERT_EQ(expected.size(), std::size(kLegacyTables));
  for (const char* file : kLegacyTables) {
    SCOPED_TRACE(file);
    ASSERT_TRUE(expected.count(file));
    const PxTable t = ReadWithPxlib(File(file));
    EXPECT_EQ(t.code_page, 1251);
    for (const auto& want : expected.at(file)) {
      const auto& got = t.fields[t.Index(want.name)];
      EXPECT_EQ(got.type, want.type) << want.name;
      if (want.size) {
        EXPECT_EQ(got.size, want.size) << want.name;
      }
    }
  }
  for (const char* blob : kLegacyBlobFiles) {
    EXPECT_TRUE(fs::exists(File(blob))) << blob;
    EXPECT_EQ(fs::file_size(File(blob)) % 4096, 0u) << blob << " is not made of whole blocks";
  }
}

TEST_F(GeneratedLegacyDb, RecordCountsFollowTheRequestedSize) {
  const LegacyDbSize size = SmallSize();
  EXPECT_EQ(ReadWithPxlib(File("Document.DB")).rows.size(), size_t(size.documents));
  EXPECT_EQ(ReadWithPxlib(File("FULLSTORAGE.DB")).rows.size(), size_t(size.lines));
  EXPECT_EQ(ReadWithPxlib(File("Main.DB")).rows.size(), size_t(size.payments));
  EXPECT_EQ(ReadWithPxlib(File("Model.DB")).rows.size(), size_t(size.goods));
  EXPECT_EQ(ReadWithPxlib(File("FirmRef.DB")).rows.size(), size_t(size.firms));
  EXPECT_EQ(ReadWithPxlib(File("People.DB")).rows.size(), size_t(size.people));
}

TEST_F(GeneratedLegacyDb, DocumentsAreKeyedAndCoverEveryKind) {
  const PxTable t = ReadWithPxlib(File("Document.DB"));
  EXPECT_EQ(t.file_type, pxfFileTypIndexDB);
  EXPECT_EQ(t.key_fields, 1);
  std::set<long> kinds;
  long previous = LONG_MIN;
  for (size_t r = 0; r < t.rows.size(); ++r) {
    const long id = t.Long(r, "DocumentID");
    EXPECT_GT(id, previous) << "record " << r;
    previous = id;
    kinds.insert(t.Long(r, "TypeDoc"));
  }
  EXPECT_EQ(kinds, (std::set<long>{0, 1, 2, 3, 4, 5, 6}));

  // Texts are Windows-1251, and a type 1 note may span lines.
  bool two_line_note = false, blank_nds_of_type6 = false, shared_number = false;
  for (size_t r = 0; r < t.rows.size(); ++r) {
    two_line_note |= t.Long(r, "TypeDoc") == 1 && t.At(r, "Note").find("\r\n") != std::string::npos;
    blank_nds_of_type6 |= t.Long(r, "TypeDoc") == 6 && t.blank[r][t.Index("NDS")];
    shared_number |= t.At(r, "Number") == W("б/н");
  }
  EXPECT_TRUE(two_line_note);
  EXPECT_TRUE(blank_nds_of_type6);
  EXPECT_TRUE(shared_number);
}

TEST_F(GeneratedLegacyDb, ReferenceBooksCarryTheSpecialRows) {
  const PxTable groups = ReadWithPxlib(File("Group.DB"));
  EXPECT_EQ(groups.At(0, "GroupID"), "0");
  const PxTable countries = ReadWithPxlib(File("Country.DB"));
  EXPECT_EQ(countries.At(0, "CountryID"), "-10");
  EXPECT_EQ(countries.At(1, "CountryName"), W("Россия"));

  const PxTable goods = ReadWithPxlib(File("Model.DB"));
  std::set<std::string> alloc, country;
  for (size_t r = 0; r < goods.rows.size(); ++r) {
    alloc.insert(goods.At(r, "NDSAlloc"));
    country.insert(goods.At(r, "countryid"));
  }
  EXPECT_TRUE(alloc.count("T") && alloc.count("F") && alloc.count(""));
  EXPECT_TRUE(country.count("-10") && country.count("0") && country.count("1"));

  const PxTable firms = ReadWithPxlib(File("FirmRef.DB"));
  for (size_t r = 0; r < firms.rows.size(); ++r) {
    const std::string inn = firms.At(r, "INN");
    EXPECT_TRUE(inn.size() == 10 || inn.size() == 12) << inn;
    EXPECT_EQ(inn.find_first_not_of("0123456789"), std::string::npos) << inn;
  }
  EXPECT_EQ(firms.At(0, "Veltro"), "T");
}

TEST_F(GeneratedLegacyDb, SomeGoodsLinesNameMissingDocuments) {
  const PxTable docs = ReadWithPxlib(File("Document.DB"));
  std::set<long> ids;
  for (size_t r = 0; r < docs.rows.size(); ++r) ids.insert(docs.Long(r, "DocumentID"));
  const PxTable lines = ReadWithPxlib(File("FULLSTORAGE.DB"));
  int orphans = 0;
  for (size_t r = 0; r < lines.rows.size(); ++r) orphans += !ids.count(lines.Long(r, "DocID"));
  EXPECT_GE(orphans, 3);
  EXPECT_LT(orphans, 10);
}

TEST_F(GeneratedLegacyDb, PaymentOrdersUseEveryDeliveryCodeAndTheNoNumberMark) {
  const PxTable t = ReadWithPxlib(File("Main.DB"));
  std::set<std::string> codes;
  int without_number = 0;
  for (size_t r = 0; r < t.rows.size(); ++r) {
    codes.insert(t.At(r, "SendByPost"));
    without_number += t.At(r, "PayOrder") == std::to_string(INT_MAX);
  }
  for (int code = 0; code <= 5; ++code) EXPECT_TRUE(codes.count(std::to_string(code))) << code;
  EXPECT_GT(without_number, 0);
}

// Our own reader agrees with pxlib on the plain fields and reads the memos back whole.
TEST_F(GeneratedLegacyDb, MemosReadBackWithTheirLineBreaks) {
  ParadoxTable docs;
  docs.Open(File("Document.DB").string(), File("Document.MB").string(), "Document");
  const PxTable px = ReadWithPxlib(File("Document.DB"));
  ASSERT_EQ(docs.RecordCount(), px.rows.size());
  const int id = docs.FindField("DocumentID"), pok = docs.FindField("MemoPok"), plat = docs.FindField("MemoPlat");
  size_t r = 0, multi_line = 0, long_memo = 0, short_memo = 0;
  for (docs.First(); !docs.Eof(); docs.Next(), ++r) {
    EXPECT_EQ(docs.AsInteger(id), px.Long(r, "DocumentID"));
    for (int memo : {pok, plat}) {
      const std::string text = docs.AsText(memo);
      multi_line += text.find("\r\n") != std::string::npos;
      long_memo += text.size() > 2048;
      short_memo += !text.empty() && text.size() <= 20;  // kept in the record itself
    }
  }
  EXPECT_GT(multi_line, 0u);
  EXPECT_GT(long_memo, 0u);
  EXPECT_GT(short_memo, 0u);

  ParadoxTable templates;
  templates.Open(File("Template.DB").string(), File("Template.MB").string(), "Template");
  templates.First();
  EXPECT_EQ(templates.AsText(templates.FindField("Comment")),
            W("Оплата по счёту № ___ от ___ за ___\r\nСумма ___\r\nВ т.ч. НДС (18%) ___"));

  ParadoxTable main;
  main.Open(File("Main.DB").string(), File("Main.MB").string(), "Main");
  int blank = 0, filled = 0;
  for (main.First(); !main.Eof(); main.Next()) {
    const std::string comment = main.AsText(main.FindField("Comment"));
    comment.empty() ? ++blank : ++filled;
    if (!comment.empty()) {
      EXPECT_EQ(comment.rfind(W("Оплата по счёту № "), 0), 0u);
    }
  }
  EXPECT_GT(blank, 0);
  EXPECT_GT(filled, blank);
}

TEST(LegacyDbGenerator, SameSizeGivesTheSameBytes) {
  const testing::TempDir dir_a("ks_gen_a_"), dir_b("ks_gen_b_");
  const fs::path a = dir_a.Path(), b = dir_b.Path();
  LegacyDbSize size = SmallSize();
  size.documents = 30;
  size.lines = 90;
  GenerateLegacyDb(a.string(), size);
  GenerateLegacyDb(b.string(), size);
  int files = 0;
  for (const auto& entry : fs::directory_iterator(a)) {
    ++files;
    const std::string first = ReadAll(entry.path()), second = ReadAll(b / entry.path().filename());
    ASSERT_EQ(first.size(), second.size()) << entry.path().filename();
    const auto diff = std::mismatch(first.begin(), first.end(), second.begin());
    EXPECT_TRUE(diff.first == first.end())
        << entry.path().filename() << " differs at byte " << (diff.first - first.begin());
  }
  EXPECT_EQ(files, 13);
}

TEST(LegacyDbGenerator, ImpossibleSizesAreRefused) {
  const testing::TempDir temp("ks_gen_bad_");
  const fs::path dir = temp.Path();
  LegacyDbSize size = SmallSize();
  size.goods = 0;
  EXPECT_THROW(GenerateLegacyDb(dir.string(), size), Exception);
  size = SmallSize();
  size.firms = 0;
  EXPECT_THROW(GenerateLegacyDb(dir.string(), size), Exception);
  size.documents = -1;
  EXPECT_THROW(GenerateLegacyDb(dir.string(), size), Exception);
}

TEST(ParadoxTableWriter, GuardsAgainstMisuse) {
  const testing::TempDir temp("ks_writer_");
  const fs::path dir = temp.Path();
  ParadoxTableWriter t((dir / "t.DB").string(), "t", {{"ID", 'I'}, {"Name", 'A', 5}}, 1);
  EXPECT_THROW(t.SetLong("Missing", 1), Exception);
  EXPECT_THROW(t.SetText("ID", "x"), Exception);
  t.SetLong("ID", 2);
  t.SetText("Name", "longer than five");  // cut to the width
  t.Append();
  t.SetLong("ID", 2);
  EXPECT_THROW(t.Append(), Exception) << "a keyed table takes its records in key order";
  t.Close();
  const PxTable read = ReadWithPxlib(dir / "t.DB");
  ASSERT_EQ(read.rows.size(), 1u);
  EXPECT_EQ(read.At(0, "Name"), "longe");

  EXPECT_THROW(ParadoxTableWriter((dir / "m.DB").string(), "m", {{"Memo", 'M', 11}}, 0), Exception)
      << "memo fields need a blob file";

  // A table announced with its size is built in memory, which holds no more than that.
  ParadoxTableWriter sized((dir / "n.DB").string(), "n", {{"ID", 'I'}}, 0, {}, 2);
  sized.Append();
  sized.Append();
  EXPECT_THROW(sized.Append(), Exception);
  sized.Close();
  EXPECT_EQ(ReadWithPxlib(dir / "n.DB").rows.size(), 2u);
}

TEST(ParadoxTableWriter, LargeTablesGetLargerBlocks) {
  const testing::TempDir temp("ks_blocks_");
  const fs::path dir = temp.Path();
  ParadoxTableWriter small((dir / "s.DB").string(), "s", {{"ID", 'I'}, {"Text", 'A', 200}}, 0, {}, 1000);
  EXPECT_EQ(small.block_size(), 2048);
  ParadoxTableWriter large((dir / "l.DB").string(), "l", {{"ID", 'I'}, {"Text", 'A', 200}}, 0, {}, 1000000);
  EXPECT_EQ(large.block_size(), 4096);
  for (int i = 0; i < 100; ++i) {
    large.SetLong("ID", i);
    large.Append();
  }
  large.Close();
  small.Close();
  const PxTable read = ReadWithPxlib(dir / "l.DB");
  ASSERT_EQ(read.rows.size(), 100u);
  EXPECT_EQ(read.At(99, "ID"), "99");
}

}  // namespace
}  // namespace ks
