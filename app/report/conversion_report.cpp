#include "app/report/conversion_report.h"

#include <cstdio>

#include "app/report/control_totals_text.h"
#include "app/report/report_text.h"
#include "common/char_escape.h"
#include "common/codepage.h"
#include "common/russian_plural.h"

namespace ks {
namespace {

constexpr CharEscape kJsonEscapes[] = {
    {'"', "\\\""}, {'\\', "\\\\"}, {'\n', "\\n"}, {'\r', "\\r"}, {'\t', "\\t"}};

// A JSON string literal of a UTF-8 text.
std::string Quote(const std::string& utf8) {
  std::string out = "\"";
  for (const char ch : utf8) {
    const auto c = static_cast<unsigned char>(ch);
    if (const char* escape = FindEscape(kJsonEscapes, ch)) {
      out += escape;
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += ch;
    }
  }
  return out + "\"";
}

std::string Ids(const IdentifierList& list) {
  std::string out = "[";
  for (const int32_t id : list.identifiers) {
    if (out.size() > 1) out += ", ";
    out += std::to_string(id);
  }
  return out + "]";
}

std::string Value(const char* name, const ExampleValue& value) {
  const std::string key = std::string("\"") + name;
  return key + "\": " + Quote(DisplayText(value.text)) + ", " + key + "_from\": " + std::to_string(value.from) + ", " +
         key + "_length\": " + std::to_string(value.length);
}

// The named records of a kind: legacy record, target field, the value held and stored.
std::string Examples(const RecordExamples& examples) {
  std::string out = "[";
  for (const RecordExample& e : examples.first) {
    if (out.size() > 1) out += ", ";
    out += "{\"legacy_table\": " + (e.record.table.empty() ? std::string("null") : Quote(DisplayText(e.record.table)));
    if (e.record.id_field.empty()) {
      out += ", \"legacy_record_number\": " + std::to_string(e.record.id);
    } else {
      out += ", \"legacy_id_field\": " + Quote(DisplayText(e.record.id_field)) +
             ", \"legacy_id\": " + std::to_string(e.record.id);
    }
    out += ", \"table\": " + Quote(DisplayText(e.table)) + ", \"field\": " + Quote(DisplayText(e.field)) + ", " +
           Value("held", e.held) + ", " + Value("stored", e.stored) + "}";
  }
  return out + "]";
}

std::string IdList(const IdentifierList& list) {
  return "{\"count\": " + std::to_string(list.count) + ", \"identifiers\": " + Ids(list) +
         ", \"complete\": " + (list.identifiers.size() < kReportListLimit ? "true" : "false") +
         ", \"examples\": " + Examples(list.examples) + "}";
}

// "17, 18, 40" for a warning, the first few only.
std::string FirstIds(const IdentifierList& list) {
  constexpr size_t kShown = 5;
  std::string out;
  size_t shown = 0;
  for (const int32_t id : list.identifiers) {
    if (shown == kShown) {
      out += ", ...";
      break;
    }
    if (shown++ > 0) out += ", ";
    out += std::to_string(id);
  }
  return out;
}

std::string StageName(const StageCounts& stage) {
  return (stage.source.empty() ? std::string() : Cp1251ToUtf8(stage.source) + " -> ") + Cp1251ToUtf8(stage.target);
}

std::string VerificationJson(const DatabaseVerification& verification) {
  std::string json = "{\"clean\": " + std::string(verification.Clean() ? "true" : "false") +
                     ", \"tables\": " + std::to_string(verification.tables.size()) +
                     ", \"records\": " + std::to_string(verification.Records()) +
                     ", \"discrepancies\": " + std::to_string(verification.discrepancies) + ",\n    \"per_table\": [";
  for (size_t i = 0; i < verification.tables.size(); ++i) {
    const TableVerification& table = verification.tables[i];
    json += i > 0 ? ",\n" : "\n";
    json += "      {\"file\": " + Quote(Cp1251ToUtf8(table.file)) + ", \"opened\": " + (table.opened ? "true" : "false") +
            ", \"expected_records\": " + std::to_string(table.expected_records) +
            ", \"records\": " + std::to_string(table.records) + ", \"records_read\": " + std::to_string(table.records_read) +
            ", \"memos\": " + std::to_string(table.memos) + ", \"discrepancies\": " + std::to_string(table.discrepancies) +
            "}";
  }
  json += verification.tables.empty() ? "],\n" : "\n    ],\n";
  json += "    \"findings\": [";
  for (size_t i = 0; i < verification.findings.size(); ++i) {
    const VerificationFinding& finding = verification.findings[i];
    json += i > 0 ? ",\n" : "\n";
    json += "      {\"file\": " + Quote(Cp1251ToUtf8(finding.file)) + ", \"where\": " + Quote(Cp1251ToUtf8(finding.where)) +
            ", \"what\": " + Quote(Cp1251ToUtf8(finding.what)) + "}";
  }
  json += verification.findings.empty() ? "]" : "\n    ]";
  return json + ", \"findings_complete\": " +
         (static_cast<int64_t>(verification.findings.size()) == verification.discrepancies ? "true" : "false") + "}";
}

std::string ControlTotalsJson(const ControlTotals& totals) {
  std::string json = "[";
  for (size_t i = 0; i < totals.items.size(); ++i) {
    const ControlTotal& item = totals.items[i];
    std::string group;
    if (item.kind) group = "\"kind\": " + std::to_string(*item.kind);
    if (item.year) group += (group.empty() ? "" : ", ") + std::string("\"year\": ") + std::to_string(*item.year);
    const auto amount = [&item](const ExactDecimal& value) { return Quote(ControlAmountText(item, value)); };
    json += i > 0 ? ",\n" : "\n";
    json += "    {\"stage\": " + std::to_string(item.stage) + ", \"figure\": " + Quote(item.figure) + ", \"group\": {" +
            group + "}, \"legacy\": " + amount(item.legacy) + ", \"new\": " + amount(item.target) +
            ", \"explained\": " + amount(item.Explained()) + ", \"unexplained\": " + amount(item.Unexplained()) +
            ", \"explanations\": [";
    for (size_t k = 0; k < item.explanations.size(); ++k) {
      const ControlExplanation& e = item.explanations[k];
      json += (k > 0 ? ", " : "") + std::string("{\"reason\": ") + Quote(e.reason) +
              ", \"count\": " + std::to_string(e.count) + ", \"amount\": " + amount(e.amount) + "}";
    }
    json += "]}";
  }
  return json + (totals.items.empty() ? "]" : "\n  ]");
}

// A member of the report holding an array of objects, one a line, each written by object().
template <typename Items, typename Object>
std::string ObjectArray(const char* name, const Items& items, Object object) {
  std::string json = std::string("  \"") + name + "\": [";
  bool first = true;
  for (const auto& item : items) {
    json += first ? "\n" : ",\n";
    json += "    " + object(item);
    first = false;
  }
  json += items.empty() ? "],\n" : "\n  ],\n";
  return json;
}

}  // namespace

const char* ValueLossName(ValueLoss loss) {
  switch (loss) {
    case ValueLoss::kTextCut: return "text_cut";
    case ValueLoss::kNumberOverflow: return "number_overflow";
    case ValueLoss::kMissingIn866: return "missing_in_cp866";
    case ValueLoss::kNumberTooLarge: return "number_too_large";
    case ValueLoss::kMissingIn1251: return "missing_in_cp1251";
  }
  return "";
}

int64_t StageCounts::SkippedTotal() const {
  int64_t total = 0;
  for (const auto& [reason, count] : skipped) total += count;
  return total;
}

void StageCounts::Skip(const std::string& reason) {
  for (auto& [known, count] : skipped) {
    if (known == reason) {
      ++count;
      return;
    }
  }
  skipped.emplace_back(reason, 1);
}

void ConversionReport::Reset(bool dry) { *this = ConversionReport(); dry_ = dry; }

StageCounts& ConversionReport::AddStage() {
  stages_.emplace_back();
  stages_.back().number = static_cast<int>(stages_.size());
  return stages_.back();
}

ValueLossCount& ConversionReport::ValueLossEntry(const std::string& table, const std::string& field, ValueLoss loss,
                                                 int width) {
  for (ValueLossCount& entry : value_losses_) {
    if (entry.table == table && entry.field == field && entry.loss == loss) return entry;
  }
  value_losses_.push_back(ValueLossCount{table, field, loss, width, 0, {}});
  return value_losses_.back();
}

RecordExample* ConversionReport::CountValueLoss(ValueLossCount& entry) {
  ++entry.count;
  return AddExample(entry.examples, entry.table, entry.field);
}

RecordExample* ConversionReport::AddExample(RecordExamples& list, const std::string& table, const std::string& field) {
  if (list.Full()) return nullptr;
  list.first.push_back(RecordExample{CurrentRecord(), table, field, {}, {}});
  return &list.first.back();
}

void ConversionReport::NoteOrphanLine(IdentifierList& list, int32_t document) {
  list.Add(document);
  if (RecordExample* example = AddExample(list.examples, "GOODS", "DOCID")) {
    example->held = example->stored = ExampleValue::Of(std::to_string(document));
  }
}

std::vector<ValueLossCount> ConversionReport::ValueLosses() const {
  std::vector<ValueLossCount> found;
  for (const ValueLossCount& entry : value_losses_) {
    if (entry.count > 0) found.push_back(entry);
  }
  return found;
}

namespace {

std::string ValueLossSentence(const ValueLossCount& entry) {
  const std::string where = Cp1251ToUtf8(entry.table) + "." + Cp1251ToUtf8(entry.field) + ": ";
  const int64_t n = entry.count;
  const std::string width = CountOf(entry.width, "символ", "символа", "символов");
  switch (entry.loss) {
    case ValueLoss::kTextCut:
      return where + CountOf(n, "текст", "текста", "текстов") + " длиннее поля (" + width + ") " +
             RussianPlural(n, "обрезан", "обрезаны", "обрезаны") + " по его ширине";
    case ValueLoss::kNumberOverflow:
      return where + CountOf(n, "число", "числа", "чисел") + " шире поля (" + width + ") " +
             RussianPlural(n, "записано звёздочками и читается как пустое значение",
                           "записаны звёздочками и читаются как пустые значения",
                           "записаны звёздочками и читаются как пустые значения");
    case ValueLoss::kMissingIn866:
      return where + CountOf(n, "значение", "значения", "значений") + " " +
             RussianPlural(n, "содержит", "содержат", "содержат") +
             " символы, которых нет в кодовой странице 866; они записаны как \"?\"";
    case ValueLoss::kNumberTooLarge:
      return where + CountOf(n, "число", "числа", "чисел") + " " +
             RussianPlural(n, "слишком велико для поля и записано как 0", "слишком велики для поля и записаны как 0",
                           "слишком велики для поля и записаны как 0");
    case ValueLoss::kMissingIn1251:
      return Cp1251ToUtf8(entry.table) + "." + Cp1251ToUtf8(entry.field) + " (исходная таблица): " +
             CountOf(n, "текст", "текста", "текстов") + " в кодовой странице 866 " +
             RussianPlural(n, "содержит", "содержат", "содержат") +
             " символы, которых нет в кодовой странице 1251; они прочитаны как \"?\"";
  }
  return where;
}

}  // namespace

const char* ReportWarning::KindName() const {
  switch (kind) {
    case WarningKind::kValueLoss: return ValueLossName(loss);
    case WarningKind::kForeignCodePage: return "foreign_code_page";
    case WarningKind::kDuplicateIdentifiers: return "duplicate_identifiers";
    case WarningKind::kLineWithoutDocument: return "goods_line_without_document";
    case WarningKind::kLineOfSkippedDocument: return "goods_line_of_skipped_document";
  }
  return "";
}

std::vector<ReportWarning> ConversionReport::Warnings() const {
  std::vector<ReportWarning> warnings;
  for (const ValueLossCount& entry : value_losses_) {
    if (entry.count == 0) continue;
    warnings.push_back({WarningKind::kValueLoss, entry.loss, "", entry.table, entry.field, entry.count,
                        &entry.examples, ValueLossSentence(entry)});
  }
  for (const LegacyCodePage& entry : legacy_code_pages_) {
    if (!entry.Foreign()) continue;
    warnings.push_back({WarningKind::kForeignCodePage, ValueLoss::kTextCut, "", entry.table, "", 0, nullptr,
                        "исходная таблица " + Cp1251ToUtf8(entry.table) + ": кодовая страница " +
                            std::to_string(entry.code_page) +
                            " не перекодируется (понятны только 1251 и 866), тексты прочитаны как есть",
                        entry.code_page});
  }
  for (const StageCounts& stage : stages_) {
    const int64_t n = stage.duplicates.count;
    if (n == 0) continue;
    warnings.push_back({WarningKind::kDuplicateIdentifiers, ValueLoss::kTextCut, stage.source, stage.target, "", n,
                        &stage.duplicates.examples,
                        StageName(stage) + ": " + CountOf(n, "запись", "записи", "записей") + " " +
                            RussianPlural(n, "повторяет", "повторяют", "повторяют") +
                            " уже записанный идентификатор (" + FirstIds(stage.duplicates) + ")"});
  }
  if (const int64_t n = lines_without_document_.count; n > 0) {
    warnings.push_back({WarningKind::kLineWithoutDocument, ValueLoss::kTextCut, "FULLSTORAGE", "GOODS", "", n,
                        &lines_without_document_.examples,
                        "FULLSTORAGE -> GOODS: " + CountOf(n, "строка", "строки", "строк") + " товаров " +
                            RussianPlural(n, "ссылается", "ссылаются", "ссылаются") +
                            " на документ, которого нет в архиве (" + FirstIds(lines_without_document_) + ")"});
  }
  if (const int64_t n = lines_of_skipped_document_.count; n > 0) {
    warnings.push_back({WarningKind::kLineOfSkippedDocument, ValueLoss::kTextCut, "FULLSTORAGE", "GOODS", "", n,
                        &lines_of_skipped_document_.examples,
                        "FULLSTORAGE -> GOODS: " + CountOf(n, "строка", "строки", "строк") + " товаров " +
                            RussianPlural(n, "относится", "относятся", "относятся") +
                            " к документу того типа, который не преобразуется (" +
                            FirstIds(lines_of_skipped_document_) + ")"});
  }
  return warnings;
}

std::vector<std::string> ConversionReport::WarningLines() const {
  std::vector<std::string> lines;
  for (const ReportWarning& warning : Warnings()) lines.push_back(warning.sentence);
  return lines;
}

void ConversionReport::NoteLegacyCodePage(LegacyCodePage entry) {
  for (const LegacyCodePage& known : legacy_code_pages_) {
    if (known.table == entry.table) return;
  }
  legacy_code_pages_.push_back(std::move(entry));
}

std::vector<std::string> ConversionReport::CodePageLines() const {
  std::vector<std::string> lines;
  for (const LegacyCodePage& entry : legacy_code_pages_) {
    lines.push_back("legacy table " + Cp1251ToUtf8(entry.table) + ": " + entry.description);
  }
  return lines;
}

std::vector<std::string> ConversionReport::CountLines() const {
  std::vector<std::string> lines;
  for (const StageCounts& stage : stages_) {
    std::string line = "stage " + std::to_string(stage.number) + " " + StageName(stage) + ": read " +
                       std::to_string(stage.read) + ", skipped " + std::to_string(stage.SkippedTotal());
    if (!stage.skipped.empty()) {
      line += " (";
      for (size_t i = 0; i < stage.skipped.size(); ++i) {
        if (i > 0) line += "; ";
        line += stage.skipped[i].first + ": " + std::to_string(stage.skipped[i].second);
      }
      line += ")";
    }
    line += dry_ ? ", to write " : ", written ";
    line += std::to_string(stage.written);
    lines.push_back(line);
  }
  return lines;
}

std::string ConversionReport::ToJson() const {
  std::string json = "{\n";
  json += "  \"mode\": " + Quote(dry_ ? "check" : "run") + ",\n";
  json += "  \"completed\": " + std::string(completed_ ? "true" : "false") + ",\n";
  json += "  \"error\": " + (error_.empty() ? std::string("null") : Quote(Cp1251ToUtf8(error_))) + ",\n";

  json += "  \"legacy_lock_files\": [";
  for (size_t i = 0; i < legacy_lock_files_.size(); ++i) {
    json += (i > 0 ? ", " : "") + Quote(Cp1251ToUtf8(legacy_lock_files_[i]));
  }
  json += "],\n";

  json += ObjectArray("legacy_code_pages", legacy_code_pages_, [](const LegacyCodePage& entry) {
    return "{\"table\": " + Quote(Cp1251ToUtf8(entry.table)) + ", \"code_page\": " + std::to_string(entry.code_page) +
           ", \"header_code_page\": " + (entry.header_field == 0 ? std::string("null") : std::to_string(entry.header_field)) +
           ", \"decided_by\": " + Quote(entry.basis) + ", \"cp866_letters\": " + std::to_string(entry.dos_letters) +
           ", \"cp1251_letters\": " + std::to_string(entry.windows_letters) +
           ", \"read_as\": " + Quote(entry.Translated() ? "translated_to_1251" : entry.Foreign() ? "unchanged" : "1251") +
           ", \"reason\": " + Quote(entry.description) + "}";
  });

  json += ObjectArray("stages", stages_, [](const StageCounts& stage) {
    std::string object = "{\"number\": " + std::to_string(stage.number) +
                         ", \"source\": " + (stage.source.empty() ? std::string("null") : Quote(Cp1251ToUtf8(stage.source))) +
                         ", \"target\": " + Quote(Cp1251ToUtf8(stage.target)) + ", \"read\": " + std::to_string(stage.read) +
                         ", \"skipped\": " + std::to_string(stage.SkippedTotal()) + ", \"skipped_by_reason\": [";
    for (size_t k = 0; k < stage.skipped.size(); ++k) {
      object += (k > 0 ? ", " : "") + std::string("{\"reason\": ") + Quote(stage.skipped[k].first) +
                ", \"count\": " + std::to_string(stage.skipped[k].second) + "}";
    }
    return object + "], \"written\": " + std::to_string(stage.written) +
           ", \"duplicate_identifiers\": " + IdList(stage.duplicates) + "}";
  });

  json += ObjectArray("value_losses", ValueLosses(), [](const ValueLossCount& entry) {
    return "{\"table\": " + Quote(Cp1251ToUtf8(entry.table)) + ", \"field\": " + Quote(Cp1251ToUtf8(entry.field)) +
           ", \"loss\": " + Quote(ValueLossName(entry.loss)) + ", \"width\": " + std::to_string(entry.width) +
           ", \"count\": " + std::to_string(entry.count) + ", \"examples\": " + Examples(entry.examples) + "}";
  });

  // Every warning as the log words it, with what it is about, for scripts that show them.
  json += ObjectArray("warnings", Warnings(), [](const ReportWarning& warning) {
    return "{\"kind\": " + Quote(warning.KindName()) +
           ", \"source\": " + (warning.source.empty() ? std::string("null") : Quote(Cp1251ToUtf8(warning.source))) +
           ", \"table\": " + Quote(Cp1251ToUtf8(warning.table)) +
           ", \"field\": " + (warning.field.empty() ? std::string("null") : Quote(Cp1251ToUtf8(warning.field))) +
           ", \"count\": " + std::to_string(warning.count) +
           (warning.code_page != 0 ? ", \"code_page\": " + std::to_string(warning.code_page) : std::string()) +
           ", \"text\": " + Quote(warning.sentence) + "}";
  });

  json += "  \"orphan_goods_lines\": {\"document_missing\": " + IdList(lines_without_document_) +
          ", \"document_skipped\": " + IdList(lines_of_skipped_document_) + "}";
  if (verification_) json += ",\n  \"verification\": " + VerificationJson(*verification_);
  if (control_totals_) json += ",\n  \"control_totals\": " + ControlTotalsJson(*control_totals_);
  json += "\n}\n";
  return json;
}

}  // namespace ks
