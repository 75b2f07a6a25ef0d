#include "app/stage_frame.h"

#include <vector>

#include "common/codepage.h"

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

}  // namespace

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
  source.First();
  window_.SetProgressPosition(0);
  window_.SetProgressMax(source.RecordCount());
}

void StageFrame::Walk(TLegacyTable& source, const std::function<void(int row)>& process) {
  std::vector<std::pair<const TLegacyField*, TLegacyFieldKind>> every_field;
  if (dry_) {
    for (const TLegacyFieldDef& def : source.FieldDefs()) every_field.emplace_back(&source.FieldByName(def.name), def.kind);
  }
  int row = 0;
  while (!source.Eof()) {
    if (dry_) ReadWholeRecord(every_field);
    process(row);
    ++row;
    ++counts_.read;
    window_.SetProgressPosition(row);
    source.Next();
  }
}

void StageFrame::Finish() {
  Log(last_line_);
  Log("---");
  Log("");
}

}  // namespace ks
