#include "app/report/report_html.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string_view>
#include <vector>

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
mark.chg { color: inherit; background: #ffd966; border-bottom: 2px solid #b45f06; }
td.before mark.chg { text-decoration: line-through; text-decoration-color: #b45f06; }
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
  .esc, mark.chg, svg rect { -webkit-print-color-adjust: exact; print-color-adjust: exact; }
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

// A stretch of a legacy value with its escapes marked.
std::string HtmlStretch(std::string_view cp1251) {
  const std::string shown = DisplayText(cp1251);
  std::string out;
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
  return out;
}

// Which bytes of value's excerpt differ from other: compared place by place in the whole
// values, a byte is changed when other holds another byte there, or ends before it (a cut
// text). Places outside other's excerpt count as unchanged. Where the legacy table itself
// was read with "?" for what 1251 lacks (question_lost), held and stored are alike, and
// every "?" is marked.
std::vector<bool> ChangedBytes(const ExampleValue& value, const ExampleValue& other, bool question_lost) {
  std::vector<bool> changed(value.text.size(), false);
  for (size_t i = 0; i < value.text.size(); ++i) {
    const size_t at = value.from + i;
    if (question_lost) {
      changed[i] = value.text[i] == '?';
    } else if (at >= other.length) {
      changed[i] = true;
    } else if (at >= other.from && at - other.from < other.text.size()) {
      changed[i] = other.text[at - other.from] != value.text[i];
    }
  }
  return changed;
}

// A legacy value with its escapes and its changed characters marked, and the marks of an
// excerpt.
std::string HtmlValue(const ExampleValue& value, const ExampleValue& other, bool question_lost) {
  const std::vector<bool> changed = ChangedBytes(value, other, question_lost);
  std::string out = "<span class=\"value\">";
  if (value.from > 0) out += "<span class=\"cut\">…</span>";
  for (size_t i = 0; i < value.text.size();) {
    size_t end = i;
    while (end < value.text.size() && changed[end] == changed[i]) ++end;
    const std::string stretch = HtmlStretch(std::string_view(value.text).substr(i, end - i));
    out += changed[i] ? "<mark class=\"chg\">" + stretch + "</mark>" : stretch;
    i = end;
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

std::string SkipReason(const std::string& reason) { return Html(SkipReasonText(reason)); }

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
  const bool differs = report.Verification() && !report.Verification()->Clean();
  if (report.Completed() && differs) {
    page += "<span class=\"failed\">Преобразование завершено, но новая база отличается от записанной</span>";
  } else if (report.Completed()) {
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
  if (report.Verification()) {
    // The check's own line without its heading, and without the colon that leads to the findings.
    std::string line = VerificationLines(*report.Verification()).front();
    line = line.substr(line.find(": ") + 2);
    if (differs) line = "новая база отличается от записанной: " + line.substr(0, line.size() - 1);
    page += std::string("<tr><th>Проверка новой базы</th><td class=\"") + (differs ? "failed" : "ok") + "\">" +
            Html(line) + "</td></tr>\n";
  }
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

// Three bars per stage, read, skipped and written, on one logarithmic scale with the
// figures beside them: a stage of three records stays visible beside one of a million.
// A count that is not zero is never narrower than kShortest pixels; a zero draws nothing.
int BarLength(int64_t value, int64_t largest, int full) {
  constexpr int kShortest = 3;
  if (value <= 0) return 0;
  const double share = std::log10(1.0 + static_cast<double>(value)) / std::log10(1.0 + static_cast<double>(largest));
  return std::max(kShortest, static_cast<int>(std::lround(share * full)));
}

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
      if (values[s] == 0) continue;  // no bar and no figure: the table above has the zeros
      const int length = BarLength(values[s], largest, kBars);
      page += "<rect x=\"" + Number(kLabel) + "\" y=\"" + Number(y) + "\" width=\"" + Number(length) +
              "\" height=\"" + Number(kBar - 1) + "\" fill=\"" + kSeries[s].color + "\"><title>" + kSeries[s].name +
              ": " + Number(values[s]) + "</title></rect>";
      page += "<text x=\"" + Number(kLabel + length + 4) + "\" y=\"" + Number(y + kBar - 1) +
              "\" style=\"font-size:8px\">" + Number(values[s]) + "</text>\n";
    }
  }
  page += "</svg>\n<p class=\"note\">Длина полос — в логарифмическом масштабе, чтобы были видны и малые этапы; "
          "точное число записей стоит рядом с каждой полосой.</p>\n";
}

// How the code page of a legacy table was decided, in Russian.
std::string CodePageReason(const LegacyCodePage& entry) {
  std::string text;
  if (entry.basis == "header") {
    text = "названа в заголовке таблицы";
  } else {
    text = entry.header_field != 0 ? "поле кодовой страницы в заголовке содержит " + Number(entry.header_field) +
                                         ", такой кодовой страницы нет; "
                                   : "в заголовке нет поля кодовой страницы; ";
    text += "в текстовых полях " + CountOf(entry.dos_letters, "буква", "буквы", "букв") + " только из 866 и " +
            Number(entry.windows_letters) + " только из 1251";
    if (entry.basis == "sort_order") text += "; порядок сортировки — русский драйвер DOS";
    if (entry.basis == "no_evidence") text += "; по умолчанию Windows-1251";
  }
  if (entry.Translated()) text += "; тексты перекодированы в 1251";
  if (entry.Foreign()) text += "; тексты прочитаны как есть";
  return text;
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
        page += Cell(Number(known->code_page), true) + Cell(Html(CodePageReason(*known)));
      }
    }
    page += "</tr>\n";
  }
  page += "</tbody>\n</table>\n";
}

// The named records of one kind under the sentence that counts them, the characters that
// were cut or replaced marked in both values (question_lost: see ChangedBytes).
void ExampleTable(const std::string& heading, const RecordExamples& examples, int64_t count, bool question_lost,
                  std::string& page) {
  page += "<h3>" + Html(heading) + "</h3>\n";
  if (examples.first.empty()) return;
  page += "<table>\n<thead><tr><th>Запись прежней таблицы</th><th>Поле новой базы</th><th>Было</th>"
          "<th>Записано</th></tr></thead>\n<tbody>\n";
  for (const RecordExample& e : examples.first) {
    page += "<tr>" + Cell(Html(RecordLabel(e.record))) + Cell(HtmlText(e.table) + "." + HtmlText(e.field)) +
            "<td class=\"before\">" + HtmlValue(e.held, e.stored, question_lost) + "</td>" +
            Cell(HtmlValue(e.stored, e.held, question_lost)) + "</tr>\n";
  }
  page += "</tbody>\n</table>\n";
  const auto shown = static_cast<int64_t>(examples.first.size());
  if (shown < count) {
    page += "<p class=\"note\">Показаны первые " + Number(shown) + " из " + Number(count) + ".</p>\n";
  }
}

// Every warning under its sentence, with the records it names.
void Losses(const ConversionReport& report, std::string& page) {
  page += "<h2>Что не удалось сохранить как было</h2>\n";
  const std::vector<ReportWarning> warnings = report.Warnings();
  for (const ReportWarning& warning : warnings) {
    static const RecordExamples kNone;
    const bool question_lost = warning.kind == WarningKind::kValueLoss && warning.loss == ValueLoss::kMissingIn1251;
    ExampleTable(warning.sentence, warning.examples ? *warning.examples : kNone, warning.count, question_lost, page);
  }
  if (warnings.empty()) {
    page += "<p class=\"ok\">Все значения сохранены так, как их хранила прежняя программа.</p>\n";
  }
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
