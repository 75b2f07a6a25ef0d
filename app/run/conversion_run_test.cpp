// The conversion run from end to end through the core: small legacy databases written
// with pxlib, the target read back with python3-dbfread.

#include "app/run/conversion_run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/converter.h"
#include "app/testing/conversion_fixture.h"
#include "app/testing/legacy_dirs_test.h"
#include "app/testing/legacy_fixture.h"
#include "app/testing/sample_database.h"
#include "app/testing/target_tables.h"
#include "common/codepage.h"
#include "common/date_time.h"
#include "common/exception.h"
#include "common/testing/temp_dir.h"
#include "tools/legacy_db_generator.h"

namespace ks {
namespace {

using testing::LegacyFixture;
using testing::RecordingWindow;
using testing::TargetTables;
using W_ = ParadoxTableWriter;
using testing::RecordFiller;
using testing::SampleDatabase;
using testing::SetDocument;


std::vector<std::string> Lines(const TargetTables& target) { return target.Rows("lines.dbf"); }

std::string TodayText() {
  int year, month, day;
  DecodeDate(Today(), year, month, day);
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
  return text;
}

class ConversionRunTest : public testing::LegacyDirsTest {
 protected:

  // Writes the fixture and converts it; true when the run was not refused.
  bool Convert(const LegacyFixture& fixture, RecordingWindow& window) {
    fixture.Write(legacy_);
    return ConvertWritten(window);
  }
  bool ConvertWritten(RecordingWindow& window, const std::string& database = "") {
    Converter converter;
    converter.SetLegacyDirectory(legacy_);
    converter.TakeDatabasePath(database.empty() ? database_ : database);
    return converter.Run(window);
  }
};

// Payment orders with document 1500 as the largest of everything: 1501, 1502, 1503.
void WriteDocumentsUpTo1500(W_& w) {
  SetDocument(w, 1001, 1);
  w.SetText("Number", "1");
  w.Append();
  SetDocument(w, 1500, 2);
  w.Append();
}

std::vector<std::string> SampleLinesRows() {
  return {"TBLNAME=DUTIES.DBF | NEXTUID=1001", "TBLNAME=tGroup.DBF | NEXTUID=1001",
          "TBLNAME=COUNTRY.DBF | NEXTUID=5001", "TBLNAME=Firm.dbf | NEXTUID=1001",
          "TBLNAME=MODEL.DBF | NEXTUID=1001",   "TBLNAME=tVolume.DBF | NEXTUID=1001",
          "TBLNAME=PEOPLE.DBF | NEXTUID=1001",  "TBLNAME=TMPLT.dbf | NEXTUID=1003",
          "TBLNAME=Doc.dbf | NEXTUID=1504",     "TBLNAME=VERSION | NEXTUID=7"};
}

// The property list as stored: Windows-1251 lines joined by CR LF, in code page 866.
std::string Stored(const std::vector<std::string>& utf8_lines) {
  std::string text;
  for (const std::string& line : utf8_lines) text += (text.empty() ? "" : "\r\n") + W(line);
  return AnsiToOem(text);
}

class SampleConversionTest : public ConversionRunTest {
 protected:
  void SetUp() override {
    ConversionRunTest::SetUp();
    ASSERT_TRUE(Convert(SampleDatabase(), window_));
  }
  RecordingWindow window_;
};

TEST_F(SampleConversionTest, LogsEveryBlockInOrderAndDeletesEveryIndex) {
  EXPECT_TRUE(window_.questions.empty());  // a missing directory asks nothing
  EXPECT_TRUE(window_.errors.empty());
  // The clean-up deletes every index, in the order the directory lists them.
  std::vector<std::string> deleted = testing::DeletionLines(window_.lines);
  EXPECT_EQ(testing::Joined(window_.lines),
            testing::Joined(testing::ExpectedLog(deleted, testing::LoggedWarnings(window_.lines))));
  std::sort(deleted.begin(), deleted.end());
  EXPECT_EQ(deleted, testing::CdxDeletionLines());

  EXPECT_TRUE(testing::FilesEndingWith(database_, ".cdx").empty());
  for (const std::string& table : testing::FilesEndingWith(database_, ".dbf")) {
    EXPECT_EQ(testing::HeaderFlags(database_ + table) & 0x01, 0) << table << " still claims an index";
  }
  EXPECT_EQ(testing::FilesEndingWith(database_, ".fpt"), (std::vector<std::string>{"doc.fpt", "tmplt.fpt"}));
  EXPECT_EQ(testing::FilesEndingWith(database_, ".dbf").size(), 14u);
}

TEST_F(SampleConversionTest, ProgressCountsEveryLegacyRecordSkippedOnesToo) {
  // Stages 2 to 11; stage 1 leaves the bar alone.
  EXPECT_EQ(window_.maxima, (std::vector<int>{3, 3, 2, 3, 2, 1, 3, 11, 3, 5}));
  ASSERT_FALSE(window_.positions.empty());
  EXPECT_EQ(window_.positions.back(), 0);  // the version row resets the bar
  // Every stage walks its bar from 0 up to its record count; the version row sets 0.
  std::vector<int> expected;
  for (int max : window_.maxima) {
    for (int position = 0; position <= max; ++position) expected.push_back(position);
  }
  expected.push_back(0);
  EXPECT_EQ(window_.positions, expected);
}

TEST_F(SampleConversionTest, ReferenceBooksKeepTheirIdentifiersAndRules) {
  const TargetTables target(database_);
  EXPECT_EQ(target.Rows("duties.dbf"),
            (std::vector<std::string>{"UID=-1 | FNAME=Руководитель предприятия", "UID=-2 | FNAME=Бухгалтер",
                                      "UID=-3 | FNAME=Кассир"}));
  // Group 0 and country -10 are skipped.
  EXPECT_EQ(target.Rows("tgroup.dbf"),
            (std::vector<std::string>{"UID=3 | FNAME=Канцтовары", "UID=7 | FNAME=Бумага"}));
  EXPECT_EQ(target.Rows("country.dbf"),
            (std::vector<std::string>{"UID=643 | FNAME=Россия", "UID=5000 | FNAME=Германия"}));
  EXPECT_EQ(target.Rows("firm.dbf"),
            (std::vector<std::string>{
                "UID=1 | FSELF=T | SHRTNAME=ООО Ромашка | FULLNAME=Общество с ограниченной ответственностью "
                "«Ромашка» | ADDRESS=г. Москва, ул. Ленина, 1 | CARGO=склад №2 | INN=7701234567 | BIK=044525225 | "
                "BANK=АКБ «Промышленный» | CORDEP=30101810400000000225 | RASDEP=40702810900000000001 | "
                "NO2NDSGN=F | NOSEAL=T | OKONH=71100 | OKPO=12345678 | KPP=770101001 | CHIEFID=11 | ACCNTID=12 | "
                "CASHID=13 | CHIEFDUT=-1 | ACCNTDUT=-2 | CASHDUT=-3",
                "UID=2 | FSELF=F | SHRTNAME=ЗАО Лютик | FULLNAME= | ADDRESS= | CARGO= | INN= | BIK= | BANK= | "
                "CORDEP= | RASDEP= | NO2NDSGN=F | NOSEAL=F | OKONH= | OKPO= | KPP= | CHIEFID=0 | ACCNTID=0 | "
                "CASHID=0 | CHIEFDUT=-1 | ACCNTDUT=-2 | CASHDUT=-3"}));
  EXPECT_EQ(target.Rows("model.dbf"),
            (std::vector<std::string>{
                "UID=10 | FNAME=Ручка шариковая | PRICE=12.5 | NDS=-20 | NSP=T | CNTRYID=643 | "
                "GTD=10130010/010203/0001234 | GRPID=3 | VOLID=1 | GRPNAME=Канцтовары | CURRID= | LCOUNT= | NOTE1= | "
                "NOTE2=",
                "UID=11 | FNAME=Бумага А4 | PRICE=0 | NDS=20 | NSP=T | CNTRYID= | GTD= | GRPID= | VOLID=2 | "
                "GRPNAME= | CURRID= | LCOUNT= | NOTE1= | NOTE2=",
                "UID=12 | FNAME=Скрепки | PRICE=0 | NDS=10 | NSP=T | CNTRYID= | GTD= | GRPID=9 | VOLID=0 | "
                "GRPNAME= | CURRID= | LCOUNT= | NOTE1= | NOTE2="}));
  EXPECT_EQ(target.Rows("tvolume.dbf"), (std::vector<std::string>{"UID=1 | FNAME=шт.", "UID=2 | FNAME=кг"}));
  EXPECT_EQ(target.Rows("people.dbf"),
            (std::vector<std::string>{"UID=5 | FIRMID=1 | FSTNAME=Иван | SCNDNAME=Иванович | LASTNAME=Иванов | "
                                      "PSPSER= | PSPGIVE= | PSPDATE=" +
                                      TodayText() + " | PSPNUM= | DUTID="}));
  // Templates are numbered from 1000 whatever their legacy ID; bodies are stored in 866.
  EXPECT_EQ(target.Rows("tmplt.dbf"),
            (std::vector<std::string>{"UID=1000 | DOCTYPE=10 | FLDNAME=PURPOSE",
                                      "UID=1001 | DOCTYPE=10 | FLDNAME=PURPOSE",
                                      "UID=1002 | DOCTYPE=10 | FLDNAME=PURPOSE"}));
  const auto& templates = target.Records("tmplt.dbf");
  ASSERT_EQ(templates.size(), 3u);
  EXPECT_EQ(TargetTables::MemoBytes(templates[0], "FBODY"), AnsiToOem(W("Оплата по счёту")));
  EXPECT_EQ(TargetTables::MemoText(templates[1], "FBODY"), "Строка1\r\nСтрока2");
  EXPECT_EQ(TargetTables::MemoText(templates[2], "FBODY"), "");
  for (const char* empty : {"currexch.dbf", "doccrate.dbf", "firmrep.dbf"}) {
    EXPECT_TRUE(target.Records(empty).empty()) << empty;
  }
  EXPECT_EQ(Lines(target), SampleLinesRows());
}

TEST_F(SampleConversionTest, DocumentsAndPaymentOrdersWithTheirPropertyLists) {
  const TargetTables target(database_);
  const std::string tail = " | CURRID=0 | BYCURR=F";
  EXPECT_EQ(target.Rows("doc.dbf"),
            (std::vector<std::string>{
                "UID=1001 | FTYPE=50 | FDATE=2003-05-01 | INTNUM=15 | STRNUM=15/2 | FIRM=1 | PARTNER=2 | "
                "FSUM=1200.5 | RATE=1 | NSP=-5 | USENSP=T" + tail + " | PEOPLEID=5 | FOLDER=",
                "UID=1002 | FTYPE=60 | FDATE=2003-05-02 | INTNUM=0 | STRNUM= | FIRM=2 | PARTNER=1 | FSUM=0 | "
                "RATE=1 | NSP=0 | USENSP=F" + tail + " | PEOPLEID=0 | FOLDER=",
                "UID=1004 | FTYPE=80 | FDATE= | INTNUM=125 | STRNUM=А-125/3 | FIRM=0 | PARTNER=0 | FSUM=0 | "
                "RATE=1 | NSP=0 | USENSP=F" + tail + " | PEOPLEID=0 | FOLDER=",
                "UID=1005 | FTYPE=40 | FDATE= | INTNUM=0 | STRNUM= | FIRM=0 | PARTNER=0 | FSUM=0 | RATE=1 | "
                "NSP=0 | USENSP=F" + tail + " | PEOPLEID=0 | FOLDER=",
                // The parties of a tax document stand the other way round.
                "UID=1006 | FTYPE=20 | FDATE= | INTNUM=0 | STRNUM= | FIRM=2 | PARTNER=1 | FSUM=118 | RATE=1 | "
                "NSP=0 | USENSP=F" + tail + " | PEOPLEID=0 | FOLDER=",
                "UID=1007 | FTYPE=20 | FDATE= | INTNUM=0 | STRNUM= | FIRM=0 | PARTNER=0 | FSUM=0 | RATE=1 | "
                "NSP=0 | USENSP=F" + tail + " | PEOPLEID=0 | FOLDER=",
                "UID=1008 | FTYPE=20 | FDATE= | INTNUM=0 | STRNUM= | FIRM=0 | PARTNER=0 | FSUM=0 | RATE=1 | "
                "NSP=0 | USENSP=F" + tail + " | PEOPLEID=0 | FOLDER=",
                "UID=1500 | FTYPE=50 | FDATE= | INTNUM=1500 | STRNUM=1500 | FIRM=0 | PARTNER=0 | FSUM=0 | "
                "RATE=1 | NSP=0 | USENSP=F" + tail + " | PEOPLEID=0 | FOLDER=",
                "UID=1501 | FTYPE=10 | FDATE=2003-05-02 | INTNUM=57 | STRNUM=57 | FIRM=1 | PARTNER=2 | FSUM=1000 | "
                "RATE=1 | NSP= | USENSP=F" + tail + " | PEOPLEID= | FOLDER=",
                "UID=1502 | FTYPE=10 | FDATE= | INTNUM=58 | STRNUM=58 | FIRM=0 | PARTNER=0 | FSUM=0 | RATE=1 | "
                "NSP= | USENSP=F" + tail + " | PEOPLEID= | FOLDER=",
                "UID=1503 | FTYPE=10 | FDATE= | INTNUM=0 | STRNUM=0 | FIRM=0 | PARTNER=0 | FSUM=0 | RATE=1 | "
                "NSP= | USENSP=F" + tail + " | PEOPLEID= | FOLDER="}));

  const auto& docs = target.Records("doc.dbf");
  ASSERT_EQ(docs.size(), 11u);
  const std::string zero_date = "D0000000000000000";
  const std::vector<std::vector<std::string>> lists = {
      {"BASIS=CПервая строка\x01\x02Вторая строка", "CAPTION=CТоварная накладная"},
      {"BASENUM=CСч-7", "BASEDATE=D40E26DA000000000", "ADDSTR=Cдоп", "FIRMPROP=Cпокупатель",
       "PARTPROP=Cплательщик"},
      {"NOTE=Cпримечание"},
      {"NOTE=Cакт", "FIRMPROP=Cплат", "PARTPROP=Cпок"},
      {"PRICE=F405D800000000000", "NDS=FC032000000000000", "BASIS=Cосн", "SOLID=BT", "TAXPART=Cналог"},
      {"PRICE=F0000000000000000", "NDS=F0000000000000000", "BASIS=C", "SOLID=BF", "TAXPART=C"},
      {"PRICE=F0000000000000000", "NDS=F0000000000000000", "BASIS=C", "SOLID=BT", "TAXPART=C"},
      {"BASIS=C", "CAPTION=C"},
      {"PRICE=F408F400000000000", "NDS=F40631147AE147AE1", "PURPOSE=CОплата\x01\x02по счёту", "PAYTYPE=CТелеграфом",
       "PAYDATE=D40E26E0000000000", "NDSSTR=CНДС 18%", "PAYKIND=C01", "PAYORD=C17", "PAYCODE=C1234567"},
      {"PRICE=F0000000000000000", "NDS=F0000000000000000", "PURPOSE=C", "PAYTYPE=C", "PAYDATE=" + zero_date,
       "NDSSTR=C", "PAYKIND=C", "PAYORD=C", "PAYCODE=C"},
      {"PRICE=F0000000000000000", "NDS=F0000000000000000", "PURPOSE=C", "PAYTYPE=C", "PAYDATE=" + zero_date,
       "NDSSTR=C", "PAYKIND=C", "PAYORD=C0", "PAYCODE=C"},
  };
  for (size_t i = 0; i < lists.size(); ++i) {
    SCOPED_TRACE(i);
    // Byte for byte as stored, and as a reader decodes it.
    EXPECT_EQ(TargetTables::MemoBytes(docs[i], "FCOMPLEX"), Stored(lists[i]));
    std::string text;
    for (const std::string& line : lists[i]) text += (text.empty() ? "" : "\r\n") + line;
    EXPECT_EQ(TargetTables::MemoText(docs[i], "FCOMPLEX"), text);
  }
  EXPECT_EQ(Lines(target), SampleLinesRows());
}

TEST_F(SampleConversionTest, GoodsLinesFollowTheirLegacyOrderWhateverBecameOfTheirDocument) {
  const TargetTables target(database_);
  const std::string empty_tail = " | ORDERA= | CURRID= | FKPRICE= | LCOUNT= | NOTE1= | NOTE2=";
  EXPECT_EQ(target.Rows("goods.dbf"),
            (std::vector<std::string>{
                "DOCID=1001 | MODID=10 | PRICE=12.5 | NDS=-20 | NSP= | FCOUNT=3 | VOLID=1 | GRPID=3 | CNTRYID=643 | "
                "GTD=ГТД-1" + empty_tail,
                // A note (type 4) always counts 1.
                "DOCID=1004 | MODID=0 | PRICE=0 | NDS=0 | NSP= | FCOUNT=1 | VOLID=0 | GRPID= | CNTRYID=0 | GTD=" +
                    empty_tail,
                // The document was skipped, but it exists: its count is taken.
                "DOCID=1003 | MODID=0 | PRICE=0 | NDS=0 | NSP= | FCOUNT=2 | VOLID=0 | GRPID= | CNTRYID=0 | GTD=" +
                    empty_tail,
                // No such document: no count; group 0 and country -10 are not set.
                "DOCID=1400 | MODID=0 | PRICE=0 | NDS=0 | NSP= | FCOUNT= | VOLID=0 | GRPID= | CNTRYID= | GTD=" +
                    empty_tail,
                "DOCID=1001 | MODID=0 | PRICE=0 | NDS=7 | NSP= | FCOUNT=1.5 | VOLID=0 | GRPID= | CNTRYID=0 | GTD=" +
                    empty_tail}));
}


// The UIDs of DOC and the NEXTUID of its LINES row.
std::string DocNumbering(const TargetTables& target) {
  std::string text;
  for (const testing::JsonValue& doc : target.Records("doc.dbf")) {
    text += TargetTables::Value(doc["UID"]) + "/" + TargetTables::Value(doc["FTYPE"]) + " ";
  }
  for (const testing::JsonValue& row : target.Records("lines.dbf")) {
    if (row["TBLNAME"].text == "Doc.dbf") text += "next " + TargetTables::Value(row["NEXTUID"]);
  }
  return text;
}

RecordFiller Payments(int count) {
  return [count](W_& w) {
    for (int i = 1; i <= count; ++i) {
      w.SetLong("No", i);
      w.Append();
    }
  };
}

TEST_F(ConversionRunTest, PaymentOrdersAreNumberedAboveEveryDocumentAGoodsLineMayName) {
  struct Case {
    const char* name;
    RecordFiller documents, lines, payments;
    const char* numbering;
  };
  const Case cases[] = {
      {"documents up to 1500", WriteDocumentsUpTo1500, {}, Payments(3),
       "1001/50 1500/60 1501/10 1502/10 1503/10 next 1504"},
      {"no payment order", WriteDocumentsUpTo1500, {}, {}, "1001/50 1500/60 next 1501"},
      {"nothing at all", {}, {}, Payments(1), "1001/10 next 1002"},
      {"identifiers below 1000",
       [](W_& w) {
         SetDocument(w, 5, 4);
         w.Append();
       },
       {}, Payments(2), "5/80 1001/10 1002/10 next 1003"},
      // A skipped document keeps its identifier: goods lines point to it.
      {"skipped document 1600",
       [](W_& w) {
         WriteDocumentsUpTo1500(w);
         SetDocument(w, 1600, 3);
         w.Append();
       },
       {}, Payments(2), "1001/50 1500/60 1601/10 1602/10 next 1603"},
      {"goods line of document 1700", WriteDocumentsUpTo1500,
       [](W_& w) {
         w.SetLong("DocID", 1700);
         w.Append();
       },
       Payments(1), "1001/50 1500/60 1701/10 next 1702"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::TempDir dir;
    UseFolder(dir.Path());
    LegacyFixture f;
    f.document = c.documents;
    f.fullstorage = c.lines;
    f.main = c.payments;
    RecordingWindow window;
    ASSERT_TRUE(Convert(f, window));
    EXPECT_EQ(DocNumbering(TargetTables(database_)), c.numbering);
  }
}

TEST_F(ConversionRunTest, EmptyLegacyTablesGiveOnlyTheFramesAndTheFirstCounters) {
  // A directory holding no table, index or memo file asks nothing, and other files stay.
  std::filesystem::create_directories(database_);
  std::ofstream(database_ + "notes.txt") << "keep";
  RecordingWindow window;
  ASSERT_TRUE(Convert(LegacyFixture(), window));
  EXPECT_TRUE(window.questions.empty());
  EXPECT_TRUE(std::filesystem::exists(database_ + "notes.txt"));
  EXPECT_EQ(testing::Joined(window.lines), testing::Joined(testing::ExpectedLog(testing::DeletionLines(window.lines))));
  EXPECT_EQ(window.maxima, std::vector<int>(10, 0));
  const TargetTables target(database_);
  EXPECT_EQ(Lines(target),
            (std::vector<std::string>{"TBLNAME=DUTIES.DBF | NEXTUID=1001", "TBLNAME=tGroup.DBF | NEXTUID=1001",
                                      "TBLNAME=COUNTRY.DBF | NEXTUID=1001", "TBLNAME=Firm.dbf | NEXTUID=1001",
                                      "TBLNAME=MODEL.DBF | NEXTUID=1001", "TBLNAME=tVolume.DBF | NEXTUID=1001",
                                      "TBLNAME=PEOPLE.DBF | NEXTUID=1001", "TBLNAME=TMPLT.dbf | NEXTUID=1001",
                                      "TBLNAME=Doc.dbf | NEXTUID=1001", "TBLNAME=VERSION | NEXTUID=7"}));
  for (const std::string& file : target.Files()) {
    if (file == "duties.dbf" || file == "lines.dbf") continue;
    EXPECT_TRUE(target.Records(file).empty()) << file;
  }
}


TEST_F(ConversionRunTest, RefusedQuestionTouchesNothingAndASecondRunRecreatesEverything) {
  RecordingWindow first;
  ASSERT_TRUE(Convert(SampleDatabase(), first));
  const std::string converted = TargetTables(database_).Dump();
  const std::string files = testing::DirectorySnapshot(database_);

  RecordingWindow refusing(false);
  EXPECT_FALSE(ConvertWritten(refusing));
  EXPECT_EQ(refusing.questions, std::vector<std::string>{testing::kOverwriteQuestion});
  EXPECT_TRUE(refusing.lines.empty());
  EXPECT_TRUE(refusing.maxima.empty());
  EXPECT_TRUE(refusing.positions.empty());
  EXPECT_EQ(testing::DirectorySnapshot(database_), files);

  // A directory holding only a memo file asks too.
  for (const std::string& name : testing::FilesEndingWith(database_, ".dbf")) std::filesystem::remove(database_ + name);
  std::filesystem::remove(database_ + "tmplt.fpt");
  RecordingWindow refusing_memo(false);
  EXPECT_FALSE(ConvertWritten(refusing_memo));
  EXPECT_EQ(refusing_memo.questions.size(), 1u);
  EXPECT_TRUE(refusing_memo.lines.empty());

  RecordingWindow second;
  ASSERT_TRUE(ConvertWritten(second));
  EXPECT_EQ(second.questions.size(), 1u);
  EXPECT_EQ(testing::Joined(second.lines),
            testing::Joined(
                testing::ExpectedLog(testing::DeletionLines(second.lines), testing::LoggedWarnings(second.lines))));
  EXPECT_EQ(TargetTables(database_).Dump(), converted);
  EXPECT_TRUE(testing::FilesEndingWith(database_, ".cdx").empty());
}

TEST_F(ConversionRunTest, MissingLegacyTableFailsBeforeTheDatabaseIsCreated) {
  for (const char* table : {"Main", "Group", "FULLSTORAGE"}) {
    SCOPED_TRACE(table);
    testing::TempDir dir;
    UseFolder(dir.Path());
    LegacyFixture f = SampleDatabase();
    f.omitted_tables = {table};
    RecordingWindow window;
    try {
      Convert(f, window);
      ADD_FAILURE() << "the run went on without " << table;
    } catch (const Exception& e) {
      EXPECT_NE(std::string(e.what()).find(table), std::string::npos) << Cp1251ToUtf8(e.what());
    }
    EXPECT_TRUE(window.lines.empty());
    EXPECT_FALSE(std::filesystem::exists(database_));
  }
}

TEST_F(ConversionRunTest, LegacyTablesLackingFieldsConvertWithBlankValues) {
  LegacyFixture f;
  f.omitted_fields = {"Model.NDSAlloc", "Model.countryid", "Document.NDS", "Document.MemoPlat", "Document.Number",
                      "Main.Comment",   "Main.PayOrder",   "FULLSTORAGE.Count", "FirmRef.seal", "Template.Comment"};
  f.model = [](W_& w) {
    w.SetLong("ModelID", 10);
    w.SetNumber("NDS", 20);
    w.Append();
  };
  f.firm_ref = [](W_& w) {
    w.SetLong("RefID", 1);
    w.Append();
  };
  f.templates = [](W_& w) { w.Append(); };
  f.document = [](W_& w) {
    SetDocument(w, 1001, 6);
    w.SetNumber("Summa", 5);
    w.Append();
  };
  f.main = Payments(1);
  f.fullstorage = [](W_& w) {
    w.SetLong("DocID", 1001);
    w.Append();
  };
  RecordingWindow window;
  ASSERT_TRUE(Convert(f, window));
  const TargetTables target(database_);
  EXPECT_EQ(target.Rows("model.dbf")[0],
            "UID=10 | FNAME= | PRICE=0 | NDS=20 | NSP=T | CNTRYID= | GTD= | GRPID= | VOLID=0 | GRPNAME= | CURRID= | "
            "LCOUNT= | NOTE1= | NOTE2=");
  EXPECT_NE(target.Rows("firm.dbf")[0].find("NO2NDSGN=F | NOSEAL=F"), std::string::npos);
  EXPECT_EQ(TargetTables::MemoText(target.Records("tmplt.dbf")[0], "FBODY"), "");
  const auto& docs = target.Records("doc.dbf");
  ASSERT_EQ(docs.size(), 2u);
  EXPECT_EQ(TargetTables::Value(docs[0]["INTNUM"]), "0");
  EXPECT_EQ(TargetTables::MemoText(docs[0], "FCOMPLEX"),
            "PRICE=F4014000000000000\r\nNDS=F0000000000000000\r\nBASIS=C\r\nSOLID=BF\r\nTAXPART=C");
  EXPECT_EQ(TargetTables::MemoText(docs[1], "FCOMPLEX"),
            "PRICE=F0000000000000000\r\nNDS=F0000000000000000\r\nPURPOSE=C\r\nPAYTYPE=C\r\nPAYDATE=D0000000000000000\r\n"
            "NDSSTR=C\r\nPAYKIND=C\r\nPAYORD=C0\r\nPAYCODE=C");
  EXPECT_EQ(TargetTables::Value(target.Records("goods.dbf")[0]["FCOUNT"]), "0");
}

TEST_F(ConversionRunTest, DirectoryWithoutItsTrailingDelimiterLosesItsIndexesToo) {
  SampleDatabase().Write(legacy_);
  RecordingWindow window;
  ASSERT_TRUE(ConvertWritten(window, dir_.Path() + "db"));
  std::vector<std::string> deleted = testing::DeletionLines(window.lines);
  std::sort(deleted.begin(), deleted.end());
  EXPECT_EQ(deleted, testing::CdxDeletionLines());
  EXPECT_EQ(std::count(window.lines.begin(), window.lines.end(), "OK"), 15);  // closing and 14 deletions
  EXPECT_TRUE(testing::FilesEndingWith(database_, ".cdx").empty());
  for (const std::string& table : testing::FilesEndingWith(database_, ".dbf")) {
    EXPECT_EQ(testing::HeaderFlags(database_ + table) & 0x01, 0) << table;
  }
  EXPECT_EQ(Lines(TargetTables(database_)), SampleLinesRows());
}


TEST_F(ConversionRunTest, IdentifiersAtTheTopOfTheRangeStopTheRunInsteadOfWrapping) {
  struct Case {
    const char* name;
    LegacyFixture fixture;
    const char* message;  // empty: the run succeeds
  };
  auto line_of = [](int32_t document) {
    return [document](W_& w) {
      w.SetLong("DocID", document);
      w.Append();
    };
  };
  std::vector<Case> cases(4);
  cases[0] = {"country 2147483647", {}, "Нет свободного идентификатора после 2147483647 в таблице COUNTRY.DBF"};
  cases[0].fixture.country = [](W_& w) {
    w.SetLong("CountryID", 2147483647);
    w.Append();
  };
  cases[1] = {"payment orders past the top", {}, "Не хватает идентификаторов для платежных поручений после документа 2147483645"};
  cases[1].fixture.fullstorage = line_of(2147483645);
  cases[1].fixture.main = Payments(2);
  cases[2] = {"no payment order after document 2147483647", {}, "Нет свободного идентификатора после 2147483647 в таблице Doc.dbf"};
  cases[2].fixture.fullstorage = line_of(2147483647);
  cases[3] = {"the last free identifier", {}, ""};
  cases[3].fixture.fullstorage = line_of(2147483645);
  cases[3].fixture.main = Payments(1);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::TempDir dir;
    UseFolder(dir.Path());
    RecordingWindow window;
    if (std::string(c.message).empty()) {
      ASSERT_TRUE(Convert(c.fixture, window));
      EXPECT_EQ(DocNumbering(TargetTables(database_)), "2147483646/10 next 2147483647");
      continue;
    }
    try {
      Convert(c.fixture, window);
      ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
      const std::string message = Cp1251ToUtf8(e.what());
      EXPECT_EQ(message.substr(0, message.find('\n')), c.message);
    }
    EXPECT_EQ(std::count(window.lines.begin(), window.lines.end(), "Преобразование данных успешно завершено"), 0);
  }
}


TEST_F(ConversionRunTest, RunAfterAFailedOneInTheSameProgramRecreatesTheTablesItLeftOpen) {
  RecordingWindow fresh_window;
  ASSERT_TRUE(Convert(SampleDatabase(), fresh_window));
  const std::string fresh = TargetTables(database_).Dump();

  const std::string database = dir_.Path() + "again/";
  Converter converter;
  converter.SetLegacyDirectory(legacy_);
  converter.TakeDatabasePath(database);
  // The first press fails in stage 3 and leaves the tables open.
  LegacyFixture broken = SampleDatabase();
  broken.country = [](W_& w) {
    w.SetLong("CountryID", 2147483647);
    w.Append();
  };
  broken.Write(legacy_);
  RecordingWindow failing;
  EXPECT_THROW(converter.Run(failing), Exception);
  // The operator mends the legacy data and presses again.
  SampleDatabase().Write(legacy_);
  RecordingWindow second;
  ASSERT_TRUE(converter.Run(second));
  EXPECT_EQ(second.questions.size(), 1u);
  EXPECT_EQ(testing::Joined(second.lines),
            testing::Joined(
                testing::ExpectedLog(testing::DeletionLines(second.lines), testing::LoggedWarnings(second.lines))));
  EXPECT_EQ(TargetTables(database).Dump(), fresh);
}

}  // namespace
}  // namespace ks
