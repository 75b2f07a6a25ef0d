#pragma once
// The frame every copy stage shares: its first and last log lines, the walk over the legacy
// table with the row counter driving the progress bar, and the running maximum of the UIDs
// posted to the target table.

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>

#include "common/main_window.h"
#include "legacy/legacy_table.h"

namespace ks {

class StageFrame {
 public:
  // Logs the first line (a UTF-8 literal of the source).
  StageFrame(IMainWindow& window, const char* first_line_utf8, const char* last_line_utf8);

  // Opens the legacy table, moves to its first record and sets the bar to 0 of the table's
  // record count.
  void Begin(TLegacyTable& source);
  // Calls process(row) for every record of the opened table, row counting from 0, and
  // moves the bar; skipped records count too.
  void Walk(TLegacyTable& source, const std::function<void(int row)>& process);
  // Begin, then Walk.
  void Copy(TLegacyTable& source, const std::function<void(int row)>& process) {
    Begin(source);
    Walk(source, process);
  }

  int32_t RunningMaximum() const { return running_maximum_; }
  void SetRunningMaximum(int32_t value) { running_maximum_ = value; }
  void Raise(int32_t uid) { running_maximum_ = std::max(running_maximum_, uid); }

  // Logs the last line, "---" and an empty line.
  void Finish();

 private:
  IMainWindow& window_;
  std::string last_line_;
  int32_t running_maximum_ = 1000;
};

}  // namespace ks
