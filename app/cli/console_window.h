#pragma once
// The main window of the command line: log lines to standard output (UTF-8, or UTF-16 on a
// Windows console), the progress bar to standard error when that is a console, with the
// stage it shows and its speed, the question on the console.

#include <chrono>
#include <cstdio>
#include <string>

#include "common/main_window.h"

namespace ks {

class ConsoleWindow : public IMainWindow {
 public:
  // answer_yes: --yes was given. in/out/err are injectable for tests.
  ConsoleWindow(bool answer_yes, std::FILE* in = stdin, std::FILE* out = stdout, std::FILE* err = stderr);
  ~ConsoleWindow() override;

  void AddLogLine(const std::string& text) override;
  void SetProgressMax(int max) override;
  void SetProgressPosition(int position) override;
  void SetProgressStage(const std::string& stage) override;
  bool ConfirmOkCancel(const std::string& text) override;
  void ShowErrorBox(const std::string& text) override;

  // Ends the progress line before other output goes to standard error.
  void FinishProgress();

  // The text of the progress line (UTF-8): the bar, the position, the stage (Windows-1251)
  // and the records per second.
  static std::string ProgressLine(int position, int max, const std::string& stage, long records_per_second);

 private:
  using Clock = std::chrono::steady_clock;
  void DrawProgress();
  void Write(std::FILE* stream, const std::string& utf8);

  bool answer_yes_;
  std::FILE* in_;
  std::FILE* out_;
  std::FILE* err_;
  bool progress_on_terminal_;
  bool progress_shown_ = false;
  int max_ = 100;
  int position_ = 0;
  int drawn_permille_ = -1;
  std::string stage_;
  Clock::time_point stage_start_ = Clock::now();
  Clock::time_point drawn_at_{};
  size_t drawn_width_ = 0;
};

}  // namespace ks
