#include "app/stage_frame.h"

#include "common/codepage.h"

namespace ks {

StageFrame::StageFrame(IMainWindow& window, const char* first_line_utf8, const char* last_line_utf8)
    : window_(window), last_line_(W(last_line_utf8)) {
  window_.AddLogLine(W(first_line_utf8));
}

void StageFrame::Begin(TLegacyTable& source) {
  source.Open();
  source.First();
  window_.SetProgressPosition(0);
  window_.SetProgressMax(source.RecordCount());
}

void StageFrame::Walk(TLegacyTable& source, const std::function<void(int row)>& process) {
  int row = 0;
  while (!source.Eof()) {
    process(row);
    ++row;
    window_.SetProgressPosition(row);
    source.Next();
  }
}

void StageFrame::Finish() {
  window_.AddLogLine(last_line_);
  window_.AddLogLine("---");
  window_.AddLogLine("");
}

}  // namespace ks
