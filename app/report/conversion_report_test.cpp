// What a run reports besides its log: counts per stage, values that cannot be stored as
// they are, repeated identifiers, goods lines without their document; the dry check that
// finds the same and touches nothing; the report as JSON.

#include "app/report/conversion_report.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/converter.h"
#include "app/report/report_text.h"
#include "app/run/stage_target.h"
#include "app/testing/conversion_fixture.h"
#include "app/testing/legacy_dirs_test.h"
#include "common/codepage.h"
#include "legacy/testing/mini_json.h"
#include "common/testing/temp_dir.h"

namespace ks {
namespace {

using testing::LegacyFixture;
using testing::RecordingWindow;
using W_ = ParadoxTableWriter;

// A legacy database with one of every trouble the report knows.
LegacyFixture TroubledDatabase() {
  LegacyFixture f;
  f.group = [](W_& w) {
    for (const int32_t id : {0, 7, 7, 8}) {  // 0 is skipped, 7 comes twice
      w.SetLong("GroupID", id);
      w.SetText("GroupName", "g");
      w.Append();
    }
  };
  f.model = [](W_& w) {
    w.SetLong("ModelID", 1);
    w.SetText("numdeclar", std::string(35, 'D'));  // GTD holds 30
    w.Append();
    w.SetLong("ModelID", 2);
    w.SetText("numdeclar", std::string(30, 'D') + "     ");  // only blanks past the width: no loss
    w.Append();
  };
  f.document = [](W_& w) {
    w.SetLong("DocumentID", 10);
    w.SetLong("TypeDoc", 1);
    w.SetText("Note", W("Договор «Север»"));  // the quotes have no 866 counterpart
    w.SetText("Number", W("А-99999999999"));      // too large for INTNUM: stored as 0
    w.Append();
    w.SetLong("DocumentID", 11);
    w.SetLong("TypeDoc", 3);  // not converted
    w.Append();
    w.SetLong("DocumentID", 12);
    w.SetLong("TypeDoc", 4);
    w.SetMemo("MemoPok", W("Примечание без потерь №5"));
    w.Append();
  };
  f.fullstorage = [](W_& w) {
    w.SetLong("DocID", 10);
    w.SetNumber("Price", 1e13);  // wider than 12 integer digits
    w.Append();
    w.SetLong("DocID", 11);  // document of type 3
    w.SetNumber("Price", -99999999999.0);  // still fits with its sign
    w.Append();
    w.SetLong("DocID", 99);  // no such document
    w.SetNumber("Price", -1e11);            // one digit too many with its sign
    w.Append();
  };
  return f;
}

class ConversionReportTest : public testing::LegacyDirsTest {
 protected:
  ConversionReportTest() : LegacyDirsTest(TroubledDatabase()) {}
  void SetUp() override {
    LegacyDirsTest::SetUp();
    converter_.SetLegacyDirectory(legacy_);
    converter_.TakeDatabasePath(database_);
  }

  Converter converter_;
};

std::string Losses(const ConversionReport& report) {
  std::string text;
  for (const ValueLossCount& e : report.ValueLosses()) {
    text += e.table + "." + e.field + " " + ValueLossName(e.loss) + " " + std::to_string(e.count) + "; ";
  }
  return text;
}

constexpr char kExpectedLosses[] =
    "MODEL.GTD text_cut 1; DOC.INTNUM number_too_large 1; DOC.FCOMPLEX missing_in_cp866 1; "
    "GOODS.PRICE number_overflow 2; ";

TEST_F(ConversionReportTest, RunCountsWhatItCouldNotStoreAndLogsItInRussianAfterTheRun) {
  RecordingWindow window;
  ASSERT_TRUE(converter_.Run(window));
  // The run's own lines exactly, then an empty line, the heading and the warnings.
  EXPECT_EQ(testing::Joined(window.lines), testing::Joined(testing::ExpectedLog(testing::DeletionLines(window.lines),
                                                                                converter_.Report().WarningLines())));

  const ConversionReport& report = converter_.Report();
  EXPECT_TRUE(report.Completed());
  EXPECT_FALSE(report.Dry());
  EXPECT_EQ(Losses(report), kExpectedLosses);

  ASSERT_EQ(report.Stages().size(), 11u);
  const StageCounts& groups = report.Stages()[1];
  EXPECT_EQ(groups.source, "Group");
  EXPECT_EQ(groups.target, "tGroup.DBF");
  EXPECT_EQ(groups.read, 4);
  EXPECT_EQ(groups.written, 3);
  ASSERT_EQ(groups.skipped.size(), 1u);
  EXPECT_EQ(groups.skipped[0].second, 1);
  EXPECT_EQ(groups.duplicates.count, 1);
  EXPECT_EQ(groups.duplicates.identifiers, std::set<int32_t>{7});

  const StageCounts& documents = report.Stages()[8];
  EXPECT_EQ(documents.read, 3);
  EXPECT_EQ(documents.written, 2);
  EXPECT_EQ(documents.SkippedTotal(), 1);
  EXPECT_EQ(report.Stages()[0].written, 3);  // the duties
  EXPECT_EQ(report.Stages()[10].written, 3);

  EXPECT_EQ(report.LinesWithoutDocument().identifiers, std::set<int32_t>{99});
  EXPECT_EQ(report.LinesOfSkippedDocument().identifiers, std::set<int32_t>{11});

  EXPECT_EQ(testing::Joined(report.WarningLines()),
            "MODEL.GTD: 1 текст длиннее поля (30 символов) обрезан по его ширине\n"
            "DOC.INTNUM: 1 число слишком велико для поля и записано как 0\n"
            "DOC.FCOMPLEX: 1 значение содержит символы, которых нет в кодовой странице 866; они записаны как \"?\"\n"
            "GOODS.PRICE: 2 числа шире поля (19 символов) записаны звёздочками и читаются как пустые значения\n"
            "Group -> tGroup.DBF: 1 запись повторяет уже записанный идентификатор (7)\n"
            "FULLSTORAGE -> GOODS: 1 строка товаров ссылается на документ, которого нет в архиве (99)\n"
            "FULLSTORAGE -> GOODS: 1 строка товаров относится к документу того типа, который не преобразуется (11)\n");

  // Nothing to warn about: the log is exactly the run's.
  RecordingWindow clean;
  LegacyFixture().Write(legacy_);
  ASSERT_TRUE(converter_.Run(clean));
  EXPECT_TRUE(converter_.Report().WarningLines().empty());
  EXPECT_EQ(testing::Joined(clean.lines), testing::Joined(testing::ExpectedLog(testing::DeletionLines(clean.lines))));
}

// "legacy record: target field: held -> stored" for every example of every kind.
std::string Named(const RecordExamples& examples) {
  std::string text;
  for (const RecordExample& e : examples.first) {
    text += RecordLabel(e.record) + ": " + e.table + "." + e.field + ": " + DisplayText(e.held.text) + " -> " +
            DisplayText(e.stored.text) + "; ";
  }
  return text;
}

TEST_F(ConversionReportTest, TheReportNamesTheRecordsOfEveryKind) {
  RecordingWindow window;
  ASSERT_TRUE(converter_.Run(window));
  const ConversionReport& report = converter_.Report();
  const std::vector<ValueLossCount> losses = report.ValueLosses();
  ASSERT_EQ(losses.size(), 4u);
  EXPECT_EQ(Named(losses[0].examples),
            "Model, ModelID 1: MODEL.GTD: " + std::string(35, 'D') + " -> " + std::string(30, 'D') + "; ");
  EXPECT_EQ(Named(losses[1].examples), "Document, DocumentID 10: DOC.INTNUM: А-99999999999 -> 0; ");
  EXPECT_EQ(Named(losses[2].examples),
            "Document, DocumentID 10: DOC.FCOMPLEX: BASIS=CДоговор «Север»\\r\\nCAPTION=C -> "
            "BASIS=CДоговор ?Север?\\r\\nCAPTION=C; ");
  EXPECT_EQ(Named(losses[3].examples),
            "FULLSTORAGE, запись 1: GOODS.PRICE: 10000000000000 -> *******************; "
            "FULLSTORAGE, запись 3: GOODS.PRICE: -100000000000 -> *******************; ");
  EXPECT_EQ(Named(report.Stages()[1].duplicates.examples), "Group, GroupID 7: TGROUP.UID: 7 -> 7; ");
  EXPECT_EQ(Named(report.LinesWithoutDocument().examples), "FULLSTORAGE, запись 3: GOODS.DOCID: 99 -> 99; ");
  EXPECT_EQ(Named(report.LinesOfSkippedDocument().examples), "FULLSTORAGE, запись 2: GOODS.DOCID: 11 -> 11; ");
}

TEST_F(ConversionReportTest, CheckFindsTheSameAndTouchesNothing) {
  RecordingWindow window;
  converter_.Check(window);
  EXPECT_FALSE(std::filesystem::exists(database_));
  EXPECT_TRUE(window.lines.empty());
  EXPECT_TRUE(window.questions.empty());
  const ConversionReport& checked = converter_.Report();
  EXPECT_TRUE(checked.Dry());
  EXPECT_EQ(Losses(checked), kExpectedLosses);
  const std::vector<std::string> check_counts = checked.CountLines();
  ASSERT_EQ(check_counts.size(), 11u);
  EXPECT_EQ(check_counts[8], "stage 9 Document -> Doc.dbf: read 3, skipped 1 (TypeDoc 3 (not converted): 1), to write 2");

  // A database directory that already holds files is left exactly as it was.
  RecordingWindow run;
  ASSERT_TRUE(converter_.Run(run));
  const std::string before = testing::DirectorySnapshot(database_);
  const std::vector<std::string> run_warnings = converter_.Report().WarningLines();
  RecordingWindow again;
  converter_.Check(again);
  EXPECT_EQ(testing::DirectorySnapshot(database_), before);
  EXPECT_EQ(converter_.Report().WarningLines(), run_warnings);
}

TEST_F(ConversionReportTest, JsonReadsBackWithEveryCount) {
  RecordingWindow window;
  ASSERT_TRUE(converter_.Run(window));
  const testing::JsonValue json = testing::ParseJson(converter_.Report().ToJson());
  EXPECT_EQ(json["mode"].text, "run");
  EXPECT_TRUE(json["completed"].boolean);
  EXPECT_TRUE(json["error"].IsNull());
  const testing::JsonValue& stages = json["stages"];
  ASSERT_EQ(stages.items.size(), 11u);
  EXPECT_TRUE(stages.items[0]["source"].IsNull());
  EXPECT_EQ(stages.items[1]["source"].text, "Group");
  EXPECT_EQ(stages.items[1]["read"].number, 4);
  EXPECT_EQ(stages.items[1]["skipped"].number, 1);
  EXPECT_EQ(stages.items[1]["skipped_by_reason"].items[0]["reason"].text, "GroupID 0 (no group)");
  EXPECT_EQ(stages.items[1]["written"].number, 3);
  EXPECT_EQ(stages.items[1]["duplicate_identifiers"]["identifiers"].items[0].number, 7);
  const testing::JsonValue& losses = json["value_losses"];
  ASSERT_EQ(losses.items.size(), 4u);
  EXPECT_EQ(losses.items[1]["loss"].text, "number_too_large");
  EXPECT_EQ(losses.items[3]["table"].text, "GOODS");
  EXPECT_EQ(losses.items[3]["field"].text, "PRICE");
  EXPECT_EQ(losses.items[3]["loss"].text, "number_overflow");
  EXPECT_EQ(losses.items[3]["count"].number, 2);
  EXPECT_EQ(json["orphan_goods_lines"]["document_missing"]["identifiers"].items[0].number, 99);
  EXPECT_EQ(json["orphan_goods_lines"]["document_skipped"]["count"].number, 1);
}

TEST(ConversionReportJson, ErrorsAndNamesAreEscapedAsUtf8) {
  ConversionReport report;
  report.Reset(true);
  report.SetError(W("Ошибка \"чтения\"\nтаблицы"));
  report.SetLegacyLockFiles({"PDOXUSRS.LCK"});
  const testing::JsonValue json = testing::ParseJson(report.ToJson());
  EXPECT_EQ(json["mode"].text, "check");
  EXPECT_FALSE(json["completed"].boolean);
  EXPECT_EQ(json["error"].text, "Ошибка \"чтения\"\nтаблицы");
  EXPECT_EQ(json["legacy_lock_files"].items[0].text, "PDOXUSRS.LCK");
}

TEST(ConversionReportJson, LegacyCodePagesAndTheirLosses) {
  ConversionReport report;
  report.Reset(true);
  LegacyCodePage dos{W("Группы"), 866, 0, "texts", 120, 3, "code page 866 (the header has no code-page field; ...)"};
  report.NoteLegacyCodePage(dos);
  dos.code_page = 1251;
  report.NoteLegacyCodePage(dos);  // the same table opened again: the first note counts
  report.NoteLegacyCodePage({"Model", 1252, 1252, "header", 0, 0, "code page 1252 (named by the header), read unchanged"});
  report.ValueLossCounter(W("Группы"), "GroupName", ValueLoss::kMissingIn1251, 0) += 2;

  const std::vector<std::string> lines = report.CodePageLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "legacy table Группы: code page 866 (the header has no code-page field; ...)");
  const std::vector<std::string> warnings = report.WarningLines();
  ASSERT_EQ(warnings.size(), 2u);
  EXPECT_EQ(warnings[0],
            "Группы.GroupName (исходная таблица): 2 текста в кодовой странице 866 содержат символы, которых нет в "
            "кодовой странице 1251; они прочитаны как \"?\"");
  EXPECT_EQ(warnings[1],
            "исходная таблица Model: кодовая страница 1252 не перекодируется (понятны только 1251 и 866), тексты "
            "прочитаны как есть");

  const testing::JsonValue json = testing::ParseJson(report.ToJson());
  const testing::JsonValue& tables = json["legacy_code_pages"];
  ASSERT_EQ(tables.items.size(), 2u);
  EXPECT_EQ(tables.items[0]["code_page"].number, 866);
  EXPECT_TRUE(tables.items[0]["header_code_page"].IsNull());
  EXPECT_EQ(tables.items[0]["decided_by"].text, "texts");
  EXPECT_EQ(tables.items[0]["cp866_letters"].number, 120);
  EXPECT_EQ(tables.items[0]["read_as"].text, "translated_to_1251");
  EXPECT_EQ(tables.items[1]["read_as"].text, "unchanged");
  EXPECT_EQ(json["value_losses"].items[0]["loss"].text, "missing_in_cp1251");
}

TEST(ValueChecks, OnlyCharactersThatCodePage866LacksCount) {
  EXPECT_FALSE(MissingIn866(static_cast<unsigned char>(W("я")[0])));
  EXPECT_FALSE(MissingIn866(static_cast<unsigned char>(W("Ё")[0])));
  EXPECT_FALSE(MissingIn866(static_cast<unsigned char>(W("№")[0])));
  EXPECT_TRUE(MissingIn866(static_cast<unsigned char>(W("«")[0])));
  EXPECT_TRUE(MissingIn866(static_cast<unsigned char>(W("—")[0])));
  EXPECT_FALSE(MissingIn866('?'));
  EXPECT_FALSE(MissingIn866(1));  // the stand-in for a line break inside a property
}

}  // namespace
}  // namespace ks
