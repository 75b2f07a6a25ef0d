#include "app/run/stage_frame.h"

#include <vector>

#include "common/codepage.h"
#include "common/non_copyable.h"

namespace ks {
namespace {

// Reads every field of the current record the way its kind is read, memos included, so
// that a dry check meets every damaged record the real run could meet.
void ReadWholeRecord(const std::vector<std::pair<const TLegacyField*, TLegacyFieldKind>>& fields) {
  for (const auto& [field, kind] : fields) {
    switch (kind) {
      case TLegacyFieldKind::kString:
      case TLegacyFieldKind::kMemo: (void)field->AsString(); break;
      case TLegacyFieldKind::kDate: (void)field->AsDateTime(); break;
      case TLegacyFieldKind::kBoolean: (void)field->AsBoolean(); break;
      case TLegacyFieldKind::kInteger:
      case TLegacyFieldKind::kSmallint: (void)field->AsInteger(); break;
      case TLegacyFieldKind::kFloat: (void)field->AsFloat(); break;
    }
  }
}

// Clears the report's record namer when the walk ends, also by an exception.
class RecordNamerScope : NonCopyable {
 public:
  RecordNamerScope(ConversionReport& report, std::function<LegacyRecordName()> namer) : report_(report) {
    report_.SetRecordNamer(std::move(namer));
  }
  ~RecordNamerScope() { report_.SetRecordNamer(nullptr); }

 private:
  ConversionReport& report_;
};

}  // namespace

std::string LegacyIdentifierField(const std::string& table_name) {
  static const struct {
    const char* table;
    const char* field;
  } kIdentifiers[] = {{"Group", "GroupID"}, {"Country", "CountryID"}, {"FirmRef", "RefID"},      {"Model", "ModelID"},
                      {"vol", "VolID"},     {"People", "PeopleID"},   {"Document", "DocumentID"}};
  for (const auto& known : kIdentifiers) {
    if (table_name == known.table) return known.field;
  }
  return std::string();
}

std::string BareTableName(const std::string& table_file) {
  const size_t dot = table_file.rfind('.');
  return UpperCp1251(dot == std::string::npos ? table_file : table_file.substr(0, dot));
}

StageFrame::StageFrame(const StageContext& context, const char* first_line_utf8, const char* last_line_utf8)
    : window_(context.window),
      report_(context.report),
      dry_(context.dry),
      counts_(context.report.AddStage()),
      last_line_(W(last_line_utf8)) {
  Log(W(first_line_utf8));
}

void StageFrame::Log(const std::string& line) {
  if (!dry_) window_.AddLogLine(line);
}

void StageFrame::Begin(TLegacyTable& source) {
  counts_.source = source.TableName();
  source.Open();
  NoteCodePage(source);
  source.First();
  window_.SetProgressPosition(0);
  window_.SetProgressMax(source.RecordCount());
}

void StageFrame::Walk(TLegacyTable& source, const std::function<void(int row)>& process) {
  std::vector<std::pair<const TLegacyField*, TLegacyFieldKind>> every_field;
  if (dry_) {
    for (const TLegacyFieldDef& def : source.FieldDefs()) every_field.emplace_back(&source.FieldByName(def.name), def.kind);
  }
  window_.SetProgressStage(counts_.source + " -> " + counts_.target);
  int row = 0;
  // The examples of the report name the record being converted: by its identifier, read
  // only when an example is taken, or by its number.
  const std::string id_name = LegacyIdentifierField(source.TableName());
  const TLegacyField* id_field = id_name.empty() ? nullptr : &source.FieldByName(id_name);
  RecordNamerScope naming(report_, [&source, &row, id_field, id_name] {
    return id_field != nullptr ? LegacyRecordName{source.TableName(), id_name, id_field->AsInteger()}
                               : LegacyRecordName{source.TableName(), std::string(), row + 1};
  });
  // Texts of a table in 866 that lost characters are counted record by record, so that
  // the examples name their records.
  const bool translated = source.CodePage().Translated();
  while (!source.Eof()) {
    try {
      if (dry_) ReadWholeRecord(every_field);
      process(row);
    } catch (...) {
      if (translated) NoteTextLosses(source);  // the report is written also when the run stops
      throw;
    }
    if (translated) NoteTextLosses(source);
    ++row;
    ++counts_.read;
    window_.SetProgressPosition(row);
    source.Next();
  }
}

void StageFrame::NoteCodePage(const TLegacyTable& source) {
  const ParadoxCodePage& code_page = source.CodePage();
  LegacyCodePage entry;
  entry.table = source.TableName();
  entry.code_page = code_page.code_page;
  entry.header_field = code_page.header_field;
  entry.basis = CodePageBasisName(code_page.basis);
  entry.dos_letters = code_page.letters.dos;
  entry.windows_letters = code_page.letters.windows;
  entry.description = DescribeCodePage(code_page);
  report_.NoteLegacyCodePage(std::move(entry));
}

void StageFrame::NoteTextLosses(TLegacyTable& source) {
  for (const auto& [field, count] : source.TakeTextLosses()) {
    ValueLossCount& entry = report_.ValueLossEntry(source.TableName(), field, ValueLoss::kMissingIn1251, 0);
    entry.count += count - 1;
    if (RecordExample* example = report_.CountValueLoss(entry)) {
      // Read again as translated (the record is not counted twice); 866's own form has
      // characters the report's texts cannot hold either.
      const std::string text = source.Active() && !source.Eof() ? source.FieldByName(field).AsString() : std::string();
      const size_t lost = text.find('?');
      example->held = example->stored = ExampleValue::Of(text, lost == std::string::npos ? 0 : lost);
    }
  }
}

void StageFrame::NoteDuplicate(int32_t uid) {
  counts_.duplicates.Add(uid);
  if (RecordExample* example = report_.AddExample(counts_.duplicates.examples, BareTableName(counts_.target), "UID")) {
    example->held = example->stored = ExampleValue::Of(std::to_string(uid));
  }
}

void StageFrame::Finish() {
  Log(last_line_);
  Log("---");
  Log("");
}

}  // namespace ks
