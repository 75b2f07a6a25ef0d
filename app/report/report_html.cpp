#include "app/report/report_html.h"

#include <algorithm>
#include <cstdio>

#include "app/report/control_totals_text.h"
#include "app/verify/database_verifier.h"
#include "app/report/report_text.h"
#include "common/char_escape.h"
#include "common/codepage.h"
#include "common/russian_plural.h"

namespace ks {
namespace {

const char kStyle[] = R"(
body { font-family: sans-serif; font-size: 11pt; line-height: 1.35; color: #000; background: #fff;
       max-width: 62em; margin: 1.5em auto; padding: 0 1em; }
h1 { font-size: 17pt; margin: 0 0 .6em; }
h2 { font-size: 13pt; margin: 1.6em 0 .5em; padding-bottom: .15em; border-bottom: 1px solid #888; }
h3 { font-size: 11pt; margin: 1.2em 0 .3em; }
table { border-collapse: collapse; width: 100%; margin: .4em 0 .8em; }
th, td { border: 1px solid #999; padding: .15em .4em; text-align: left; vertical-align: top; }
th { background: #eee; }
td.n, th.n { text-align: right; white-space: nowrap; }
table.summary th { width: 14em; }
.value { font-family: monospace; white-space: pre-wrap; overflow-wrap: anywhere; }
.esc { color: #a00; background: #fde8e8; }
.cut { color: #555; }
.ok { color: #060; font-weight: bold; }
.failed { color: #a00; font-weight: bold; }
.note { color: #444; font-size: 9.5pt; }
.message { white-space: pre-wrap; overflow-wrap: anywhere; }
svg { display: block; max-width: 100%; height: auto; }
svg text { font-family: sans-serif; font-size: 11px; fill: #000; }
@page { size: A4; margin: 15mm 12mm; }
@media print {
  body { max-width: none; margin: 0; padding: 0; font-size: 9.5pt; }
  h2, h3 { break-after: avoid; page-break-after: avoid; }
  tr, svg { break-inside: avoid; page-break-inside: avoid; }
  thead { display: table-header-group; }
  th { background: #eee; -webkit-print-color-adjust: exact; print-color-adjust: exact; }
  .esc, svg rect { -webkit-print-color-adjust: exact; print-color-adjust: exact; }
}
)";

constexpr CharEscape kHtmlReferences[] = {
    {'&', "&amp;"}, {'<', "&lt;"}, {'>', "&gt;"}, {'"', "&quot;"}, {'\'', "&#39;"}};

// UTF-8 text for the page: the five characters that could break it become references.
std::string Html(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (const char c : utf8) {
    if (const char* reference = FindEscape(kHtmlReferences, c)) {
      out += reference;
    } else {
      out += c;
    }
  }
  return out;
}

// A Windows-1251 name or message for the page.
std::string HtmlText(const std::string& cp1251) { return Html(DisplayText(cp1251)); }

// A legacy value with its escapes marked, and the marks of an excerpt.
std::string HtmlValue(const ExampleValue& value) {
  const std::string shown = DisplayText(value.text);
  std::string out = "<span class=\"value\">";
  if (value.from > 0) out += "<span class=\"cut\">…</span>";
  for (size_t i = 0; i < shown.size();) {
    if (shown[i] != '\\' || i + 1 >= shown.size()) {
      const size_t next = shown.find('\\', i + 1);
      const size_t end = next == std::string::npos ? shown.size() : next;
      out += Html(shown.substr(i, end - i));
      i = end;
      continue;
    }
    const size_t length = shown[i + 1] == 'x' ? 4 : 2;  // \xNN, or \r \n \t and the backslash
    out += "<span class=\"esc\">" + Html(shown.substr(i, length)) + "</span>";
    i += length;
  }
  if (value.from + value.text.size() < value.length) out += "<span class=\"cut\">…</span>";
  out += "</span>";
  if (value.Excerpt()) {
    out += "<br><span class=\"note\">фрагмент: байты " + std::to_string(value.from + 1) + "–" +
           std::to_string(value.from + value.text.size()) + " из " + std::to_string(value.length) + "</span>";
  }
  return out;
}

std::string Number(int64_t n) { return std::to_string(n); }

// A reason for skipping, as the stages name it for scripts ("TypeDoc 3 (not converted)"),
// with its explanation in Russian for the page.
std::string SkipReason(const std::string& reason) {
  static const struct {
    const char* english;
    const char* russian;
  } kExplanations[] = {{"(no group)", "(нет группы)"},
                       {"(no country)", "(нет страны)"},
                       {"(not converted)", "(этот тип документов не преобразуется)"}};
  std::string text = reason;
  for (const auto& known : kExplanations) {
    const size_t at = text.find(known.english);
    if (at != std::string::npos) text.replace(at, std::string(known.english).size(), known.russian);
  }
  return Html(text);
}

std::string Cell(const std::string& html, bool number = false) {
  return std::string(number ? "<td class=\"n\">" : "<td>") + html + "</td>";
}

std::string StageSource(const StageCounts& stage) { return stage.source.empty() ? "—" : HtmlText(stage.source); }

void Summary(const ConversionReport& report, std::string& page) {
  int64_t read = 0, skipped = 0, written = 0, losses = 0;
  for (const StageCounts& stage : report.Stages()) {
    read += stage.read;
    skipped += stage.SkippedTotal();
    written += stage.written;
  }
  for (const ValueLossCount& entry : report.ValueLosses()) losses += entry.count;

  const bool dry = report.Dry();
  page += "<table class=\"summary\">\n";
  page += "<tr><th>Режим</th><td>" +
          std::string(dry ? "проверка перед преобразованием (ничего не создано и не записано)" : "преобразование") +
          "</td></tr>\n";
  page += "<tr><th>Итог</th><td>";
  if (report.Completed()) {
    page += std::string("<span class=\"ok\">") +
            (dry ? "Проверка завершена: все записи прочитаны" : "Преобразование данных успешно завершено") +
            "</span>";
  } else {
    page += std::string("<span class=\"failed\">") + (dry ? "Проверка прервана" : "Преобразование прервано") +
            "</span>";
  }
  page += "</td></tr>\n";
  if (!report.Error().empty()) {
    page += "<tr><th>Ошибка</th><td class=\"message\">" + HtmlText(report.Error()) + "</td></tr>\n";
  }
  page += "<tr><th>Записей прочитано</th><td>" + Number(read) + "</td></tr>\n";
  page += "<tr><th>Пропущено</th><td>" + Number(skipped) + "</td></tr>\n";
  page += std::string("<tr><th>") + (dry ? "К записи" : "Записано") + "</th><td>" + Number(written) + "</td></tr>\n";
  page += "<tr><th>Значений с потерями</th><td>" + Number(losses) + "</td></tr>\n";
  if (!report.LegacyLockFiles().empty()) {
    std::string names;
    for (const std::string& name : report.LegacyLockFiles()) names += (names.empty() ? "" : ", ") + HtmlText(name);
    page += "<tr><th>Файлы блокировки</th><td>" + names +
            ": прежняя программа, возможно, работала с таблицами во время преобразования</td></tr>\n";
  }
  page += "</table>\n";
}

void StageTable(const ConversionReport& report, std::string& page) {
  page += "<h2>Этапы</h2>\n<table>\n<thead><tr><th class=\"n\">№</th><th>Таблица прежней программы</th>"
          "<th>Таблица новой базы</th><th class=\"n\">Прочитано</th><th class=\"n\">Пропущено</th>"
          "<th>Причина пропуска</th><th class=\"n\">" +
          std::string(report.Dry() ? "К записи" : "Записано") + "</th></tr></thead>\n<tbody>\n";
  for (const StageCounts& stage : report.Stages()) {
    std::string reasons;
    for (const auto& [reason, count] : stage.skipped) {
      reasons += (reasons.empty() ? "" : "<br>") + SkipReason(reason) + ": " + Number(count);
    }
    page += "<tr>" + Cell(Number(stage.number), true) + Cell(StageSource(stage)) + Cell(HtmlText(stage.target)) +
            Cell(Number(stage.read), true) + Cell(Number(stage.SkippedTotal()), true) + Cell(reasons) +
            Cell(Number(stage.written), true) + "</tr>\n";
  }
  page += "</tbody>\n</table>\n";
}

// Three bars per stage, read, skipped and written, on one scale.
void StageChart(const ConversionReport& report, std::string& page) {
  const std::deque<StageCounts>& stages = report.Stages();
  if (stages.empty()) return;
  int64_t largest = 1;
  for (const StageCounts& stage : stages) largest = std::max({largest, stage.read, stage.written});
  constexpr int kLabel = 230, kBars = 380, kNumbers = 70, kBar = 7, kRow = 3 * kBar + 9, kLegend = 24;
  const int width = kLabel + kBars + kNumbers;
  const int height = kLegend + static_cast<int>(stages.size()) * kRow;
  const struct {
    const char* name;
    const char* color;
  } kSeries[] = {{"прочитано", "#4a78b5"}, {"пропущено", "#d9822b"}, {report.Dry() ? "к записи" : "записано", "#3c9a4b"}};

  page += "<h2>Этапы на диаграмме</h2>\n<svg xmlns=\"http://www.w3.org/2000/svg\" role=\"img\" viewBox=\"0 0 " +
          Number(width) + " " + Number(height) + "\" width=\"" + Number(width) + "\" height=\"" + Number(height) +
          "\">\n<title>Записи по этапам: прочитано, пропущено, записано</title>\n";
  for (int s = 0; s < 3; ++s) {
    const int x = kLabel + s * 120;
    page += "<rect x=\"" + Number(x) + "\" y=\"4\" width=\"12\" height=\"10\" fill=\"" + kSeries[s].color +
            "\"/><text x=\"" + Number(x + 16) + "\" y=\"13\">" + kSeries[s].name + "</text>\n";
  }
  for (size_t i = 0; i < stages.size(); ++i) {
    const StageCounts& stage = stages[i];
    const int top = kLegend + static_cast<int>(i) * kRow;
    const std::string label = Number(stage.number) + ". " +
                              (stage.source.empty() ? std::string() : HtmlText(stage.source) + " → ") +
                              HtmlText(stage.target);
    page += "<text x=\"0\" y=\"" + Number(top + kRow / 2 + 2) + "\">" + label + "</text>\n";
    const int64_t values[] = {stage.read, stage.SkippedTotal(), stage.written};
    for (int s = 0; s < 3; ++s) {
      const int y = top + s * kBar;
      const int length = static_cast<int>(values[s] * kBars / largest);
      page += "<rect x=\"" + Number(kLabel) + "\" y=\"" + Number(y) + "\" width=\"" + Number(std::max(length, 1)) +
              "\" height=\"" + Number(kBar - 1) + "\" fill=\"" + kSeries[s].color + "\"><title>" + kSeries[s].name +
              ": " + Number(values[s]) + "</title></rect>";
      page += "<text x=\"" + Number(kLabel + std::max(length, 1) + 4) + "\" y=\"" + Number(y + kBar - 1) +
              "\" style=\"font-size:8px\">" + Number(values[s]) + "</text>\n";
    }
  }
  page += "</svg>\n";
}

// The legacy tables the stages read, with the code page their texts were read in where the
// run noted it.
void LegacyTables(const ConversionReport& report, std::string& page) {
  const std::vector<LegacyCodePage>& code_pages = report.LegacyCodePages();
  const bool with_code_pages = !code_pages.empty();
  page +=
      "<h2>Таблицы прежней программы</h2>\n<table>\n<thead><tr><th>Таблица</th><th class=\"n\">Этап</th>"
      "<th class=\"n\">Записей</th>";
  if (with_code_pages) page += "<th class=\"n\">Кодовая страница</th><th>Почему</th>";
  page += "</tr></thead>\n<tbody>\n";
  for (const StageCounts& stage : report.Stages()) {
    if (stage.source.empty()) continue;
    page += "<tr>" + Cell(HtmlText(stage.source)) + Cell(Number(stage.number), true) + Cell(Number(stage.read), true);
    if (with_code_pages) {
      const auto known = std::find_if(code_pages.begin(), code_pages.end(),
                                      [&stage](const LegacyCodePage& entry) { return entry.table == stage.source; });
      if (known == code_pages.end()) {
        page += Cell("—", true) + Cell("");
      } else {
        page += Cell(Number(known->code_page), true) + Cell(Html(known->description));
      }
    }
    page += "</tr>\n";
  }
  page += "</tbody>\n</table>\n";
}

// The named records of one kind under the sentence that counts them.
void ExampleTable(const std::string& heading, const RecordExamples& examples, int64_t count, std::string& page) {
  page += "<h3>" + Html(heading) + "</h3>\n";
  if (examples.first.empty()) return;
  page += "<table>\n<thead><tr><th>Запись прежней таблицы</th><th>Поле новой базы</th><th>Было</th>"
          "<th>Записано</th></tr></thead>\n<tbody>\n";
  for (const RecordExample& e : examples.first) {
    page += "<tr>" + Cell(Html(RecordLabel(e.record))) + Cell(HtmlText(e.table) + "." + HtmlText(e.field)) +
            Cell(HtmlValue(e.held)) + Cell(HtmlValue(e.stored)) + "</tr>\n";
  }
  page += "</tbody>\n</table>\n";
  const auto shown = static_cast<int64_t>(examples.first.size());
  if (shown < count) {
    page += "<p class=\"note\">Показаны первые " + Number(shown) + " из " + Number(count) + ".</p>\n";
  }
}

// The warning lines come in the order of the losses, the repeated identifiers and the
// orphan goods lines; each section takes its own, or says it plainly when the line is not
// there.
class Warnings {
 public:
  explicit Warnings(std::vector<std::string> lines) : lines_(std::move(lines)) {}
  // The next line when it speaks of what (a "TABLE.FIELD" or a stage), else the fallback.
  std::string Take(const std::string& what, const std::string& fallback) {
    if (next_ < lines_.size() && lines_[next_].rfind(what, 0) == 0 && lines_[next_].size() > what.size() &&
        (lines_[next_][what.size()] == ':' || lines_[next_][what.size()] == ' ')) {
      return lines_[next_++];
    }
    return fallback;
  }

 private:
  std::vector<std::string> lines_;
  size_t next_ = 0;
};

void Losses(const ConversionReport& report, std::string& page) {
  page += "<h2>Что не удалось сохранить как было</h2>\n";
  Warnings warnings(report.WarningLines());
  bool any = false;
  for (const ValueLossCount& entry : report.ValueLosses()) {
    any = true;
    const std::string where = Cp1251ToUtf8(entry.table) + "." + Cp1251ToUtf8(entry.field);
    ExampleTable(warnings.Take(where, where + ": " + ValueLossName(entry.loss) + " " + Number(entry.count)),
                 entry.examples, entry.count, page);
  }
  for (const StageCounts& stage : report.Stages()) {
    if (stage.duplicates.count == 0) continue;
    any = true;
    const std::string where =
        (stage.source.empty() ? std::string() : Cp1251ToUtf8(stage.source) + " -> ") + Cp1251ToUtf8(stage.target);
    ExampleTable(warnings.Take(where, where + ": повторяющиеся идентификаторы: " + Number(stage.duplicates.count)),
                 stage.duplicates.examples, stage.duplicates.count, page);
  }
  const struct {
    const IdentifierList& list;
    const char* fallback;
  } kOrphans[] = {{report.LinesWithoutDocument(), "строки товаров без документа: "},
                  {report.LinesOfSkippedDocument(), "строки товаров непреобразуемых документов: "}};
  for (const auto& orphans : kOrphans) {
    if (orphans.list.count == 0) continue;
    any = true;
    const std::string where = "FULLSTORAGE -> GOODS";
    ExampleTable(warnings.Take(where, where + ": " + orphans.fallback + Number(orphans.list.count)),
                 orphans.list.examples, orphans.list.count, page);
  }
  if (!any) page += "<p class=\"ok\">Все значения сохранены так, как их хранила прежняя программа.</p>\n";
}

// The read-back check of the new database, where the run made one.
void Verification(const ConversionReport& report, std::string& page) {
  if (!report.Verification()) return;
  const DatabaseVerification& verification = *report.Verification();
  page += "<h2>Проверка записанной базы</h2>\n";
  const std::vector<std::string> lines = VerificationLines(verification);
  page += std::string("<p class=\"") + (verification.Clean() ? "ok" : "failed") + "\">" +
          Html(lines.empty() ? std::string() : lines.front()) + "</p>\n";
  page +=
      "<table>\n<thead><tr><th>Файл</th><th>Открыт</th><th class=\"n\">Записано</th>"
      "<th class=\"n\">В файле</th><th class=\"n\">Прочитано</th><th class=\"n\">Мемо</th>"
      "<th class=\"n\">Расхождений</th></tr></thead>\n<tbody>\n";
  for (const TableVerification& table : verification.tables) {
    page += "<tr>" + Cell(HtmlText(table.file)) + Cell(table.opened ? "да" : "<span class=\"failed\">нет</span>") +
            Cell(Number(table.expected_records), true) + Cell(Number(table.records), true) +
            Cell(Number(table.records_read), true) + Cell(Number(table.memos), true) +
            Cell(Number(table.discrepancies), true) + "</tr>\n";
  }
  page += "</tbody>\n</table>\n";
  if (verification.findings.empty()) return;
  page += "<table>\n<thead><tr><th>Файл</th><th>Где</th><th>Что не так</th></tr></thead>\n<tbody>\n";
  for (const VerificationFinding& finding : verification.findings) {
    page += "<tr>" + Cell(HtmlText(finding.file)) + Cell(HtmlText(finding.where)) + Cell(HtmlText(finding.what)) +
            "</tr>\n";
  }
  page += "</tbody>\n</table>\n";
  const auto shown = static_cast<int64_t>(verification.findings.size());
  if (shown < verification.discrepancies) {
    page +=
        "<p class=\"note\">Показаны первые " + Number(shown) + " из " + Number(verification.discrepancies) + ".</p>\n";
  }
}

// The control totals: every figure per stage, the documents per kind and year.
void ControlTotalsSection(const ConversionReport& report, std::string& page) {
  if (!report.Totals()) return;
  const ControlTotals& totals = *report.Totals();
  page += "<h2>Контрольные суммы</h2>\n";
  page += totals.Clean() ? "<p class=\"ok\">Все итоги сходятся или их разница объяснена.</p>\n"
                         : "<p class=\"failed\">Есть разница, которую ничто не объясняет.</p>\n";
  page +=
      "<table>\n<thead><tr><th>Этап</th><th>Показатель</th><th>Группа</th><th class=\"n\">Прежний архив</th>"
      "<th class=\"n\">Новая база</th><th class=\"n\">Объяснено</th><th class=\"n\">Не объяснено</th>"
      "<th>Объяснение</th></tr></thead>\n<tbody>\n";
  for (const ControlTotal& item : totals.items) {
    const ExactDecimal unexplained = item.Unexplained();
    std::string why;
    for (const ControlExplanation& e : item.explanations) {
      why += (why.empty() ? "" : "<br>") + SkipReason(e.reason) + ": " + Number(e.count) +
             (item.figure == "COUNT" ? "" : ", " + ControlAmount(item, e.amount));
    }
    page += "<tr>" + Cell(Html(ControlStageName(item.stage)) + " (" + Number(item.stage) + ")") +
            Cell(Html(ControlFigureName(item.figure)) + " <span class=\"note\">" + Html(item.figure) + "</span>") +
            Cell(item.WholeStage() ? "весь этап" : Html(ControlGroupName(item))) +
            Cell(ControlAmount(item, item.legacy), true) + Cell(ControlAmount(item, item.target), true) +
            Cell(ControlAmount(item, item.Explained()), true) +
            Cell(unexplained.IsZero() ? ControlAmount(item, unexplained)
                                      : "<span class=\"failed\">" + ControlAmount(item, unexplained) + "</span>",
                 true) +
            Cell(why) + "</tr>\n";
  }
  page += "</tbody>\n</table>\n";
}

}  // namespace

bool IsHtmlReportPath(const std::string& path) {
  const std::string lower = LowerCp1251(path);
  const auto ends_with = [&lower](const std::string& end) {
    return lower.size() >= end.size() && lower.compare(lower.size() - end.size(), end.size(), end) == 0;
  };
  return ends_with(".html") || ends_with(".htm");
}

std::string ReportToHtml(const ConversionReport& report) {
  const char* title = report.Dry() ? "Отчёт о проверке перед преобразованием данных" : "Отчёт о преобразовании данных";
  std::string page = "<!DOCTYPE html>\n<html lang=\"ru\">\n<head>\n<meta charset=\"utf-8\">\n";
  page += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
  page += std::string("<title>") + title + "</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n";
  page += std::string("<h1>") + title + "</h1>\n";
  Summary(report, page);
  StageTable(report, page);
  StageChart(report, page);
  LegacyTables(report, page);
  Losses(report, page);
  Verification(report, page);
  ControlTotalsSection(report, page);
  page += "</body>\n</html>\n";
  return page;
}

}  // namespace ks
