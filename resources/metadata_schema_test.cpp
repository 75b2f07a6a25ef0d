// The embedded schema: its bytes as stored, and the model the program reads from it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/testing/failure_message.h"
#include "resources/embedded_metadata.h"
#include "resources/metadata_load.h"

namespace ks {
namespace {

TEST(EmbeddedDocument, LayoutAsStored) {
  const std::string_view doc = EmbeddedMetadataDocument();
  EXPECT_EQ(doc.size(), 17286u);
  EXPECT_TRUE(doc.starts_with("<?xml version=\"1.0\" encoding=\"Windows-1251\"?>\r\n"));
  EXPECT_TRUE(doc.ends_with("\r\n</metadata>"));
  EXPECT_EQ(doc.find('\t'), std::string_view::npos);
  EXPECT_TRUE(std::all_of(doc.begin(), doc.end(),
                          [](char c) { return static_cast<unsigned char>(c) < 0x80; }));
  for (size_t i = 0; i < doc.size(); ++i) {
    if (doc[i] == '\n') {
      ASSERT_TRUE(i > 0 && doc[i - 1] == '\r') << "bare LF at " << i;
    }
    if (doc[i] == '\r') {
      ASSERT_TRUE(i + 1 < doc.size() && doc[i + 1] == '\n') << "bare CR at " << i;
    }
  }
}

TEST(EmbeddedDocument, OneBlankPerNestingLevel) {
  const std::string doc(EmbeddedMetadataDocument());
  int depth = 0;
  size_t start = 0;
  int line_no = 0;
  while (start < doc.size()) {
    size_t end = doc.find("\r\n", start);
    if (end == std::string::npos) end = doc.size();
    const std::string line = doc.substr(start, end - start);
    ++line_no;
    start = end + 2;
    if (line.starts_with("<?")) continue;
    const size_t indent = line.find_first_not_of(' ');
    const bool closing = line.compare(indent, 2, "</") == 0;
    if (closing) --depth;
    ASSERT_EQ(static_cast<int>(indent), depth) << "line " << line_no << ": " << line;
    if (!closing && !line.ends_with("/>")) ++depth;
  }
  EXPECT_EQ(depth, 0);
}

TEST(EmbeddedDocument, OnlyCurrexchHasABlankBeforeItsClosingBracket) {
  const std::string_view doc = EmbeddedMetadataDocument();
  const std::string currexch = "<tabledef name=\"CURREXCH\" primarykey=\"UID\" naturalkey=\"FNAME\" >";
  EXPECT_NE(doc.find(currexch), std::string_view::npos);
  size_t count = 0;
  for (size_t p = doc.find(" >"); p != std::string_view::npos; p = doc.find(" >", p + 1)) ++count;
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(doc.find(" />"), std::string_view::npos);
}

TEST(EmbeddedDocument, ReferencesOnlyInExpressionsAndNotInFirmrep) {
  const std::string_view doc = EmbeddedMetadataDocument();
  // Every reference sits inside an expression value.
  for (size_t p = doc.find("&#x"); p != std::string_view::npos; p = doc.find("&#x", p + 1)) {
    const size_t attr = doc.rfind('=', p);
    ASSERT_EQ(doc.substr(attr - 10, 10), "expression") << "reference at " << p;
  }
  EXPECT_NE(doc.find("expression=\"Str(FIRM, 10)+Str(DOCFTYPE, 10)+Upper(REPFIELD)\""),
            std::string_view::npos);
  EXPECT_NE(doc.find("expression=\"Str(PEOPLE, 10)\""), std::string_view::npos);
  // The two FIRMREP expressions hold the only plain commas of the expression values.
  size_t plain = 0;
  for (size_t p = doc.find("expression=\""); p != std::string_view::npos;
       p = doc.find("expression=\"", p + 1)) {
    const size_t begin = p + 12;
    const std::string_view value = doc.substr(begin, doc.find('"', begin) - begin);
    if (value.find(',') != std::string_view::npos) ++plain;
  }
  EXPECT_EQ(plain, 2u);
}

class Schema : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { LoadMetadata(); }
  static TqrxMetaData& Root() { return MetadataRoot(); }
};

TEST_F(Schema, VersionAndTopLevel) {
  EXPECT_EQ(Root().Version(), 7);
  EXPECT_EQ(Root().TagName(), "metadata");
  EXPECT_NE(Root().FindNode("documents"), nullptr);
  TqrxNode* links = Root().NodeByPath("documents").FindNode("document", {{"class", "TfmeDoc"}});
  ASSERT_NE(links, nullptr);
  auto* doc_links = dynamic_cast<TqrxLinks*>(links->FindNode("links"));
  ASSERT_NE(doc_links, nullptr);
  EXPECT_EQ(doc_links->ByField().Count(), 3);
  EXPECT_EQ((*doc_links->ByField().Find("peopleid"))->GetAttr("table"), "PEOPLE");
}

TEST_F(Schema, FifteenTablesInOrderOneOfThemInMemory) {
  const std::vector<std::string> expected = {
      "COUNTRY", "CURREXCH", "DOC",     "DUTIES",  "FIRM",     "GOODS",    "LINES",  "MODEL",
      "PEOPLE",  "TGROUP",   "TMPLT",   "TVOLUME", "DOCCRATE", "GOODSLST", "FIRMREP"};
  TqrxTableDefs& defs = Root().TableDefs();
  ASSERT_EQ(defs.Count(), 15);
  std::vector<std::string> memory;
  for (int i = 0; i < defs.Count(); ++i) {
    EXPECT_EQ(defs[i].Name(), expected[static_cast<size_t>(i)]);
    if (defs[i].IsMemory()) memory.push_back(defs[i].Name());
  }
  EXPECT_EQ(memory, std::vector<std::string>{"GOODSLST"});
  EXPECT_EQ(FindTableDef("GOODSLST").TagDefs().Count(), 0);
}

// Field layout per table: name, type, size.
struct FieldRow {
  const char* name;
  FieldType type;
  int size;
};

void ExpectFields(const char* table, const std::vector<FieldRow>& rows) {
  TqrxFieldDefs& defs = FindTableDef(table).FieldDefs();
  ASSERT_EQ(defs.Count(), static_cast<int>(rows.size())) << table;
  for (int i = 0; i < defs.Count(); ++i) {
    const FieldRow& row = rows[static_cast<size_t>(i)];
    TqrxFieldDef& def = defs[i];
    EXPECT_EQ(def.Name(), row.name) << table;
    EXPECT_EQ(def.FieldType(), row.type) << table << "." << row.name;
    EXPECT_EQ(def.Size(), row.size) << table << "." << row.name;
  }
}

constexpr FieldType I = FieldType::Integer, S = FieldType::String, F = FieldType::Float,
                    D = FieldType::Date, B = FieldType::Boolean, M = FieldType::Memo;

TEST_F(Schema, FieldsOfEveryTable) {
  for (const char* name : {"COUNTRY", "DUTIES", "TGROUP", "TVOLUME"}) {
    ExpectFields(name, {{"UID", I, 0}, {"FNAME", S, 50}});
  }
  ExpectFields("CURREXCH", {{"UID", I, 0}, {"FNAME", S, 50}, {"RATE", F, 0}});
  ExpectFields("DOC", {{"UID", I, 0},      {"FTYPE", I, 0},   {"FDATE", D, 0},    {"INTNUM", I, 0},
                       {"STRNUM", S, 200}, {"FIRM", I, 0},    {"PARTNER", I, 0},  {"FSUM", F, 0},
                       {"RATE", F, 0},     {"NSP", F, 0},     {"USENSP", B, 0},   {"FCOMPLEX", M, 0},
                       {"CURRID", I, 0},   {"BYCURR", B, 0},  {"PEOPLEID", I, 0}, {"FOLDER", I, 0}});
  ExpectFields("FIRM",
               {{"UID", I, 0},       {"FSELF", B, 0},     {"SHRTNAME", S, 30}, {"FULLNAME", S, 250},
                {"ADDRESS", S, 250}, {"CARGO", S, 250},   {"INN", S, 30},      {"BIK", S, 15},
                {"BANK", S, 250},    {"CORDEP", S, 50},   {"RASDEP", S, 50},   {"NO2NDSGN", B, 0},
                {"NOSEAL", B, 0},    {"OKONH", S, 150},   {"OKPO", S, 150},    {"KPP", S, 30},
                {"CHIEFID", I, 0},   {"ACCNTID", I, 0},   {"CASHID", I, 0},    {"CHIEFDUT", I, 0},
                {"ACCNTDUT", I, 0},  {"CASHDUT", I, 0}});
  ExpectFields("GOODS", {{"DOCID", I, 0},   {"MODID", I, 0},   {"PRICE", F, 0},   {"NDS", F, 0},
                         {"NSP", B, 0},     {"FCOUNT", F, 0},  {"VOLID", I, 0},   {"GRPID", I, 0},
                         {"CNTRYID", I, 0}, {"GTD", S, 30},    {"ORDERA", I, 0},  {"CURRID", I, 0},
                         {"FKPRICE", F, 0}, {"LCOUNT", S, 50}, {"NOTE1", S, 100}, {"NOTE2", S, 100}});
  ExpectFields("LINES", {{"TBLNAME", S, 20}, {"NEXTUID", I, 0}});
  ExpectFields("MODEL", {{"UID", I, 0},    {"FNAME", S, 240},   {"PRICE", F, 0},   {"NDS", F, 0},
                         {"NSP", B, 0},    {"CNTRYID", I, 0},   {"GTD", S, 30},    {"GRPID", I, 0},
                         {"VOLID", I, 0},  {"GRPNAME", S, 50},  {"CURRID", I, 0},  {"LCOUNT", S, 50},
                         {"NOTE1", S, 100}, {"NOTE2", S, 100}});
  ExpectFields("PEOPLE", {{"UID", I, 0},      {"FIRMID", I, 0},   {"FSTNAME", S, 30},
                          {"SCNDNAME", S, 30}, {"LASTNAME", S, 30}, {"PSPSER", S, 10},
                          {"PSPGIVE", S, 200}, {"PSPDATE", D, 0},   {"PSPNUM", S, 30},
                          {"DUTID", I, 0}});
  ExpectFields("TMPLT", {{"UID", I, 0}, {"DOCTYPE", I, 0}, {"FLDNAME", S, 8}, {"FBODY", M, 0}});
  ExpectFields("DOCCRATE", {{"DOCID", I, 0}, {"CURRID", I, 0}, {"RATE", F, 0}});
  ExpectFields("GOODSLST", {{"MODID", I, 0},   {"PRICE", F, 0}, {"NDS", F, 0},     {"NSP", B, 0},
                            {"FCOUNT", F, 0},  {"VOLID", I, 0}, {"GRPID", I, 0},   {"CNTRYID", I, 0},
                            {"GTD", S, 30},    {"CURRID", I, 0}, {"FKPRICE", F, 0}, {"LCOUNT", S, 50}});
  ExpectFields("FIRMREP", {{"FIRM", I, 0}, {"DOCFTYPE", I, 0}, {"REPFIELD", S, 50},
                           {"FDUTCAPT", S, 200}, {"PEOPLE", I, 0}});
}

TEST_F(Schema, TagsAreDecodedForTheEngine) {
  TqrxTagDefs& firm = FindTableDef("FIRM").TagDefs();
  ASSERT_EQ(firm.Count(), 4);
  EXPECT_EQ(firm[3].Name(), "ISELF");
  EXPECT_EQ(firm[3].Expression(), "IIF(FSELF, \"T\", \"F\")+Upper(SHRTNAME)");
  EXPECT_EQ(FindTableDef("COUNTRY").TagDefs()[0].Expression(), "Str(UID, 10)");

  TqrxTagDefs& firmrep = FindTableDef("FIRMREP").TagDefs();
  EXPECT_EQ(firmrep[0].Expression(), "Str(FIRM, 10)+Str(DOCFTYPE, 10)+Upper(REPFIELD)");
  EXPECT_EQ(firmrep[0].Expression(), firmrep[0].GetAttr("expression"));
  EXPECT_EQ(firmrep[1].Filter(), ".NOT. DELETED()");

  TqrxTagDefs& doc = FindTableDef("DOC").TagDefs();
  ASSERT_EQ(doc.Count(), 13);
  for (int i = 0; i < doc.Count(); ++i) {
    EXPECT_FALSE(doc[i].Unique());
    EXPECT_EQ(doc[i].Descending(), doc[i].Name() == "DNUM");
    EXPECT_EQ(doc[i].Filter(), "");
  }
  EXPECT_EQ(doc[1].Expression(),
            "Str(fType, 10)+Str(Firm, 10)+Str(IntNum, 10)+Upper(Left(StrNum, 100))"
            "+DTOS(fDate)+Str(UID, 10)");
  EXPECT_EQ(FindTableDef("GOODS").TagDefs().Count(), 6);
  EXPECT_EQ(FindTableDef("MODEL").TagDefs().Count(), 7);
}

TEST_F(Schema, LinksAreIndexedByField) {
  TqrxTableDefs& defs = Root().TableDefs();
  std::vector<std::string> with_links;
  for (int i = 0; i < defs.Count(); ++i) {
    if (defs[i].Links() != nullptr) with_links.push_back(defs[i].Name());
  }
  EXPECT_EQ(with_links, (std::vector<std::string>{"DOC", "GOODS", "MODEL", "PEOPLE", "GOODSLST",
                                                  "FIRMREP"}));
  const auto& goods = FindTableDef("GOODS").Links()->ByField();
  EXPECT_EQ(goods.Count(), 6);
  EXPECT_EQ((*goods.Find("CNTRYID"))->GetAttr("table"), "COUNTRY");
  TqrxNode* details = FindTableDef("FIRM").FindNode("details");
  ASSERT_NE(details, nullptr);
  EXPECT_EQ(details->FindNode("detail")->GetAttr("detailkey"), "FIRM");
  EXPECT_EQ(FindTableDef("FIRM").NodeByPath("constraints").ChildCount(), 5);
}

TEST_F(Schema, LookupByTableFileName) {
  EXPECT_EQ(FindTableDef("LINES.DBF").Name(), "LINES");
  EXPECT_EQ(FindTableDef("lines.dbf").Name(), "LINES");
  EXPECT_EQ(FindTableDef("tVolume.DBF").Name(), "TVOLUME");
  EXPECT_TRUE(FindTableDef("GOODSLST").IsMemory());
  EXPECT_EQ(testing::FailureMessage<Exception>([&] { FindTableDef("DOC.DBF.BAK"); }),
            "can not found table DOC.DBF in metadata");
  EXPECT_THROW(FindTableDef("ORDERS.DBF"), Exception);
}

TEST_F(Schema, LoadingAgainGivesAnEqualRoot) {
  TqrxMetaData& again = LoadMetadata();
  EXPECT_EQ(&again, &MetadataRoot());
  EXPECT_EQ(again.TableDefs().Count(), 15);
}

}  // namespace
}  // namespace ks
