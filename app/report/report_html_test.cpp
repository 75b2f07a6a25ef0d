// The printable report: hostile legacy values stay text on the page, and the page of the demo
// conversion loads in a real headless browser, holds the figures of the JSON report and
// prints on A4.

#include "app/report/report_html.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

#include "app/converter.h"
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
  EXPECT_NE(page.find("Таблица &lt;script&gt;alert(1)&lt;/script&gt; &amp; &quot;повреждена&quot;\\x01"),
            std::string::npos);
  EXPECT_NE(page.find("Doc&lt;/td&gt;"), std::string::npos);
  EXPECT_NE(page.find("TypeDoc 3 (этот тип документов не преобразуется): 1"), std::string::npos);
  // The excerpt around the loss, its escapes marked, the 866 stand-in beside the original.
  EXPECT_NE(page.find("&lt;/span&gt;&lt;/td&gt;&lt;script&gt;<span class=\"esc\">\\r</span><span class=\"esc\">\\n"
                      "</span><span class=\"esc\">\\x98</span><span class=\"esc\">\\x01</span>«"),
            std::string::npos);
  EXPECT_NE(page.find("<span class=\"esc\">\\x01</span>?"), std::string::npos);
  EXPECT_NE(page.find("из " + std::to_string(hostile.size())), std::string::npos);
  EXPECT_NE(page.find("Показаны первые 20 из 30."), std::string::npos);
  EXPECT_LT(page.size(), 40u * 1024);  // twenty excerpts, not twenty copies of the value

  EXPECT_EQ(page.find("Проверка записанной базы"), std::string::npos);  // none was made
  EXPECT_EQ(page.find("Кодовая страница"), std::string::npos);          // nor noted

  LegacyCodePage code_page;
  code_page.table = "Doc</td>";
  code_page.code_page = 866;
  code_page.description = "866 <по заголовку>";
  report.NoteLegacyCodePage(code_page);

  DatabaseVerification verification;
  verification.tables.push_back({"doc.dbf", true, 3, 3, 3, 2, 1});
  verification.findings.push_back({"doc.fpt", W("запись 2, поле FCOMPLEX"), W("блок <за концом> файла")});
  verification.discrepancies = 1;
  report.SetVerification(verification);
  const std::string checked = ReportToHtml(report);
  EXPECT_NE(checked.find("<p class=\"failed\">Проверка новой базы: 1 таблица, 3 записи, 1 расхождение:</p>"),
            std::string::npos);
  EXPECT_NE(checked.find("<td class=\"n\">866</td><td>866 &lt;по заголовку&gt;</td>"), std::string::npos);
  EXPECT_NE(checked.find("<td>doc.fpt</td><td>запись 2, поле FCOMPLEX</td><td>блок &lt;за концом&gt; файла</td>"),
            std::string::npos);

  EXPECT_TRUE(IsHtmlReportPath("/tmp/Отчёт.HTML"));
  EXPECT_TRUE(IsHtmlReportPath("r.htm"));
  EXPECT_FALSE(IsHtmlReportPath("r.json"));
  EXPECT_FALSE(IsHtmlReportPath("html"));
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
