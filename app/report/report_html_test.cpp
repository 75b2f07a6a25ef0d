// The printable report: hostile legacy values stay text on the page, and the page of the demo
// conversion loads in a real headless browser, holds the figures of the JSON report and
// prints on A4.

#include "app/report/report_html.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

#include "app/converter.h"
#include "app/report/report_file.h"
#include "app/testing/conversion_fixture.h"
#include "common/codepage.h"
#include "legacy/testing/mini_json.h"
#include "common/testing/temp_dir.h"
#include "tools/legacy_db_generator.h"

namespace ks {
namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

size_t Occurrences(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST(ReportHtml, HostileValuesStayTextAndLongOnesStayShort) {
  ConversionReport report;
  report.Reset(false);
  report.SetError(W("Таблица <script>alert(1)</script> & \"повреждена\"\x01"));
  StageCounts& stage = report.AddStage();
  stage.source = "Doc</td>";
  stage.target = "Doc.dbf";
  stage.read = 3;
  stage.Skip("TypeDoc 3 (not converted)");
  report.SetRecordNamer([] { return LegacyRecordName{"Document", "DocumentID", 7}; });
  ValueLossCount& memo = report.ValueLossEntry("DOC", "FCOMPLEX", ValueLoss::kMissingIn866, 0);
  const std::string hostile =
      std::string(5000, 'x') + "</span></td><script>\r\n\x98\x01" + W("«") + std::string(5000, 'y');
  for (int i = 0; i < 30; ++i) {
    if (RecordExample* example = report.CountValueLoss(memo)) {
      example->held = ExampleValue::Of(hostile, 5000);
      example->stored = ExampleValue::SameStretch(example->held, OemToAnsi(AnsiToOem(hostile)));
    }
  }
  const std::string page = ReportToHtml(report);

  EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u);
  EXPECT_EQ(page.find("<script"), std::string::npos);
  EXPECT_EQ(Occurrences(page, "<td"), Occurrences(page, "</td>"));
  EXPECT_EQ(Occurrences(page, "<span"), Occurrences(page, "</span>"));
  EXPECT_EQ(Occurrences(page, "<mark"), Occurrences(page, "</mark>"));
  EXPECT_NE(page.find("Таблица &lt;script&gt;alert(1)&lt;/script&gt; &amp; &quot;повреждена&quot;\\x01"),
            std::string::npos);
  EXPECT_NE(page.find("Doc&lt;/td&gt;"), std::string::npos);
  EXPECT_NE(page.find("этот тип документов не преобразуется (TypeDoc 3): 1"), std::string::npos);
  // The excerpt around the loss, its escapes marked, the 866 stand-in beside the original,
  // the characters 866 lacks marked on both sides.
  EXPECT_NE(page.find("&lt;/span&gt;&lt;/td&gt;&lt;script&gt;<span class=\"esc\">\\r</span><span class=\"esc\">\\n"
                      "</span><mark class=\"chg\"><span class=\"esc\">\\x98</span></mark><span class=\"esc\">"
                      "\\x01</span><mark class=\"chg\">«</mark>"),
            std::string::npos);
  EXPECT_NE(page.find("<span class=\"esc\">\\x01</span><mark class=\"chg\">?</mark>"), std::string::npos);
  EXPECT_NE(page.find("из " + std::to_string(hostile.size())), std::string::npos);
  EXPECT_NE(page.find("Показаны первые 20 из 30."), std::string::npos);
  EXPECT_LT(page.size(), 40u * 1024);  // twenty excerpts, not twenty copies of the value

  EXPECT_EQ(page.find("Проверка записанной базы"), std::string::npos);  // none was made
  EXPECT_EQ(page.find("Кодовая страница"), std::string::npos);          // nor noted

  LegacyCodePage code_page;
  code_page.table = "Doc</td>";
  code_page.code_page = 866;
  code_page.basis = "header";
  code_page.description = "code page 866 (named by the header), read translated to 1251";
  report.NoteLegacyCodePage(code_page);

  // A legacy table in 866 read with "?" for what 1251 lacks: held and stored are alike, the
  // stand-ins are marked.
  if (RecordExample* e = report.CountValueLoss(report.ValueLossEntry("Document", "Note", ValueLoss::kMissingIn1251, 0))) {
    e->held = e->stored = ExampleValue::Of(W("рамка ?-? конец"));
  }

  DatabaseVerification verification;
  verification.tables.push_back({"doc.dbf", true, 3, 3, 3, 2, 1});
  verification.findings.push_back({"doc.fpt", W("запись 2, поле FCOMPLEX"), W("блок <за концом> файла")});
  verification.discrepancies = 1;
  report.SetVerification(verification);
  const std::string checked = ReportToHtml(report);
  EXPECT_NE(checked.find("<p class=\"failed\">Проверка новой базы: 1 таблица, 3 записи, 1 расхождение:</p>"),
            std::string::npos);
  EXPECT_NE(checked.find("<td class=\"n\">866</td><td>названа в заголовке таблицы; тексты перекодированы в 1251</td>"),
            std::string::npos);
  EXPECT_NE(checked.find("новая база отличается от записанной"), std::string::npos);
  EXPECT_NE(checked.find("рамка <mark class=\"chg\">?</mark>-<mark class=\"chg\">?</mark> конец"), std::string::npos);
  EXPECT_NE(checked.find("<td>doc.fpt</td><td>запись 2, поле FCOMPLEX</td><td>блок &lt;за концом&gt; файла</td>"),
            std::string::npos);

  EXPECT_TRUE(IsHtmlReportPath("/tmp/Отчёт.HTML"));
  EXPECT_TRUE(IsHtmlReportPath("r.htm"));
  EXPECT_FALSE(IsHtmlReportPath("r.json"));
  EXPECT_FALSE(IsHtmlReportPath("html"));
}

// The widths of the bars of the chart (the legend's squares aside).
std::vector<int> BarWidths(const std::string& page) {
  static const std::regex bar("<rect x=\"230\" y=\"\\d+\" width=\"(\\d+)\" height=\"6\"");
  std::vector<int> widths;
  for (std::sregex_iterator m(page.begin(), page.end(), bar), end; m != end; ++m) widths.push_back(std::stoi((*m)[1]));
  return widths;
}

TEST(ReportHtml, EveryStageShowsInTheChartAndEveryWarningUnderItsOwnHeading) {
  ConversionReport report;
  report.Reset(false);
  const int64_t reads[] = {3, 1000000, 2500, 1};
  for (const int64_t read : reads) {
    StageCounts& stage = report.AddStage();
    stage.source = "Goods";
    stage.target = "GOODS.DBF";
    stage.read = stage.written = read;
    if (read == 3) stage.Skip("GroupID 0 (no group)");
  }
  // A text cut at the field's width: the lost end is marked in the legacy value.
  report.SetRecordNamer([] { return LegacyRecordName{"FirmRef", "RefID", 17}; });
  const std::string name = W("ООО «Вектор» и партнёры");
  if (RecordExample* e = report.CountValueLoss(report.ValueLossEntry("FIRM", "NAME", ValueLoss::kTextCut, 12))) {
    e->held = ExampleValue::Of(name, 12);
    e->stored = ExampleValue::Of(name.substr(0, 12), 12);
  }
  // A legacy table in a code page that is not translated, warned of between the losses and
  // the duplicates, names no records.
  LegacyCodePage foreign;
  foreign.table = "Country";
  foreign.code_page = 1252;
  foreign.basis = "header";
  report.NoteLegacyCodePage(foreign);
  report.SetRecordNamer([] { return LegacyRecordName{"Group", "GroupID", 4}; });
  StageCounts& groups = report.AddStage();
  groups.source = "Group";
  groups.target = "tGroup.DBF";
  groups.duplicates.Add(4);
  report.AddExample(groups.duplicates.examples, "TGROUP", "UID");
  report.NoteLineWithoutDocument(99);

  const std::vector<ReportWarning> warnings = report.Warnings();
  ASSERT_EQ(warnings.size(), 4u);
  EXPECT_EQ(std::string(warnings[0].KindName()) + " " + warnings[0].table + "." + warnings[0].field + " " +
                std::to_string(warnings[0].count),
            "text_cut FIRM.NAME 1");
  EXPECT_EQ(warnings[1].kind, WarningKind::kForeignCodePage);
  EXPECT_EQ(warnings[1].code_page, 1252);
  EXPECT_EQ(warnings[1].examples, nullptr);
  EXPECT_EQ(std::string(warnings[2].KindName()) + " " + warnings[2].source + " " + warnings[2].table,
            "duplicate_identifiers Group tGroup.DBF");
  EXPECT_EQ(warnings[3].kind, WarningKind::kLineWithoutDocument);
  EXPECT_EQ(report.WarningLines(), (std::vector<std::string>{warnings[0].sentence, warnings[1].sentence,
                                                             warnings[2].sentence, warnings[3].sentence}));
  EXPECT_EQ(warnings[1].sentence,
            "исходная таблица Country: кодовая страница 1252 не перекодируется (понятны только 1251 и 866), тексты "
            "прочитаны как есть");

  const std::string page = ReportToHtml(report);
  // Each heading is the warning's whole sentence, followed by its own records.
  size_t at = 0;
  for (const ReportWarning& warning : warnings) {
    at = page.find("<h3>" + std::regex_replace(warning.sentence, std::regex(">"), "&gt;") + "</h3>", at);
    ASSERT_NE(at, std::string::npos) << warning.sentence;
  }
  EXPECT_NE(page.find("<h3>Group -&gt; tGroup.DBF: 1 запись повторяет уже записанный идентификатор (4)</h3>\n<table>"),
            std::string::npos);
  EXPECT_NE(page.find("ООО «Вектор»<mark class=\"chg\"> и партнёры</mark>"), std::string::npos);
  EXPECT_NE(page.find("<td><span class=\"value\">ООО «Вектор»</span>"), std::string::npos);
  EXPECT_NE(page.find("<td>нет группы (GroupID 0): 1</td>"), std::string::npos);
  const testing::JsonValue json = testing::ParseJson(report.ToJson());
  ASSERT_EQ(json["warnings"].items.size(), 4u);
  EXPECT_EQ(json["warnings"].items[1]["kind"].text, "foreign_code_page");
  EXPECT_EQ(json["warnings"].items[2]["text"].text, warnings[2].sentence);

  // Every count that is not zero is a bar of at least 3 pixels; a zero is none.
  const std::vector<int> widths = BarWidths(page);
  ASSERT_EQ(widths.size(), 2u * 4 + 1);  // read and written of four stages, the one skipped record
  for (const int width : widths) EXPECT_GE(width, 3);
  EXPECT_LE(*std::max_element(widths.begin(), widths.end()), 380);
}

TEST(ReportHtml, ThePageIsWrittenUnderTheTimeOfTheRunAndANameTakenIsNotOverwritten) {
  std::tm moment{};
  moment.tm_year = 2026 - 1900;
  moment.tm_mon = 11;
  moment.tm_mday = 9;
  moment.tm_hour = 14;
  moment.tm_min = 5;
  moment.tm_sec = 3;
  EXPECT_EQ(ReportPageName(moment), "ksconvert-report-20261209-140503.html");

  testing::TempDir dir;
  ConversionReport report;
  report.Reset(false);
  const std::string first = WriteReportPage(dir.Path(), report);
  const std::string second = WriteReportPage(dir.Path(), report);
  EXPECT_NE(first, second);
  EXPECT_EQ(ReadAll(first), ReportToHtml(report));
  EXPECT_EQ(ReadAll(second), ReportToHtml(report));
  try {
    WriteReportPage(dir.Path() + "missing/", report);
    ADD_FAILURE() << "written into a missing directory";
  } catch (const ReportWriteError& e) {
    EXPECT_EQ(e.Path().rfind(dir.Path() + "missing/ksconvert-report-", 0), 0u);
    EXPECT_FALSE(e.Reason().empty());
  }
}

// Runs headless Chromium on a fresh profile; the exit status.
int RunChromium(const std::string& profile, const std::string& arguments, const std::string& output) {
  const std::string command =
      "chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking "
      "--disable-component-update --disable-sync --user-data-dir='" + profile + "' " + arguments + " >'" + output +
      "' 2>'" + output + ".err' </dev/null";
  const int status = std::system(("timeout 120 " + command).c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The cells of every table row of a page, text only, entities of the serializer undone.
std::vector<std::vector<std::string>> Rows(const std::string& dom) {
  static const std::regex row("<tr>([\\s\\S]*?)</tr>"), cell("<t[dh][^>]*>([\\s\\S]*?)</t[dh]>"), tag("<[^>]*>");
  std::vector<std::vector<std::string>> rows;
  for (std::sregex_iterator r(dom.begin(), dom.end(), row), end; r != end; ++r) {
    const std::string inside = (*r)[1];
    std::vector<std::string> cells;
    for (std::sregex_iterator c(inside.begin(), inside.end(), cell); c != end; ++c) {
      cells.push_back(std::regex_replace((*c)[1].str(), tag, ""));
    }
    rows.push_back(cells);
  }
  return rows;
}

TEST(ReportHtml, TheDemoReportLoadsInAHeadlessBrowserWithTheFiguresOfTheJsonAndPrints) {
  if (std::system("command -v chromium >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "chromium is not installed (Debian package chromium; tools/setup.sh installs it)";
  }
  testing::LoadMetadataOnce();
  testing::TempDir dir;
  const std::string legacy = dir.Path() + "legacy/";
  std::filesystem::create_directories(legacy);
  LegacyDbSize size;
  size.documents = 80;
  size.lines = 300;
  size.payments = 10;
  GenerateLegacyDb(legacy, size);
  Converter converter;
  converter.SetLegacyDirectory(legacy);
  converter.TakeDatabasePath(dir.Path() + "db/");
  testing::RecordingWindow window;
  ASSERT_TRUE(converter.Run(window));
  const testing::JsonValue json = testing::ParseJson(converter.Report().ToJson());
  ASSERT_FALSE(json["value_losses"].items.empty()) << "the demo is expected to lose something";
  std::ofstream(dir.Path() + "report.html") << ReportToHtml(converter.Report());

  std::filesystem::create_directories(dir.Path() + "profile1");
  ASSERT_EQ(RunChromium(dir.Path() + "profile1", "--dump-dom 'file://" + dir.Path() + "report.html'",
                        dir.Path() + "dom.html"),
            0)
      << ReadAll(dir.Path() + "dom.html.err");
  const std::string dom = ReadAll(dir.Path() + "dom.html");
  EXPECT_EQ(ReadAll(dir.Path() + "dom.html.err").find("CONSOLE"), std::string::npos);
  ASSERT_NE(dom.find("<h1>Отчёт о преобразовании данных</h1>"), std::string::npos) << dom.substr(0, 500);
  EXPECT_NE(dom.find("Преобразование данных успешно завершено"), std::string::npos);

  // Every stage's row holds the counts of the JSON report.
  const std::vector<std::vector<std::string>> rows = Rows(dom);
  for (const testing::JsonValue& stage : json["stages"].items) {
    const std::vector<std::string> expected = {
        std::to_string(static_cast<int64_t>(stage["number"].number)),
        stage["source"].IsNull() ? "—" : stage["source"].text,
        stage["target"].text,
        std::to_string(static_cast<int64_t>(stage["read"].number)),
        std::to_string(static_cast<int64_t>(stage["skipped"].number))};
    bool found = false;
    for (const auto& row : rows) {
      if (row.size() == 7 && std::vector<std::string>(row.begin(), row.begin() + 5) == expected &&
          row[6] == std::to_string(static_cast<int64_t>(stage["written"].number))) {
        found = true;
      }
    }
    EXPECT_TRUE(found) << "stage " << stage["number"].number;
  }
  // Every loss with its count, and its first records named.
  for (const testing::JsonValue& loss : json["value_losses"].items) {
    const std::string heading = loss["table"].text + "." + loss["field"].text + ": " +
                                std::to_string(static_cast<int64_t>(loss["count"].number)) + " ";
    EXPECT_NE(dom.find("<h3>" + heading), std::string::npos) << heading;
    const testing::JsonValue& first = loss["examples"].items.at(0);
    EXPECT_NE(dom.find(first["legacy_table"].text + ", " + first["legacy_id_field"].text + " " +
                       std::to_string(static_cast<int64_t>(first["legacy_id"].number))),
              std::string::npos);
  }
  const int64_t missing = static_cast<int64_t>(json["orphan_goods_lines"]["document_missing"]["count"].number);
  if (missing > 0) {
    EXPECT_NE(dom.find("<h3>FULLSTORAGE -&gt; GOODS: " + std::to_string(missing) + " "), std::string::npos);
  }

  // It prints: a PDF of A4 pages.
  std::filesystem::create_directories(dir.Path() + "profile2");
  ASSERT_EQ(RunChromium(dir.Path() + "profile2",
                        "--no-pdf-header-footer --print-to-pdf='" + dir.Path() + "report.pdf' 'file://" + dir.Path() +
                            "report.html'",
                        dir.Path() + "pdf.log"),
            0);
  const std::string pdf = ReadAll(dir.Path() + "report.pdf");
  ASSERT_EQ(pdf.rfind("%PDF", 0), 0u);
  static const std::regex a4("/MediaBox \\[0 0 594\\.9\\d* 841\\.9\\d*\\]");
  EXPECT_TRUE(std::regex_search(pdf, a4)) << "not A4";
}

}  // namespace
}  // namespace ks
