#pragma once
// The main window of the command line: log lines to standard output in UTF-8, the progress
// bar to standard error when that is a terminal, the question on the terminal.

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
  bool ConfirmOkCancel(const std::string& text) override;
  void ShowErrorBox(const std::string& text) override;

  // Ends the progress line before other output goes to standard error.
  void FinishProgress();

 private:
  void DrawProgress();

  bool answer_yes_;
  std::FILE* in_;
  std::FILE* out_;
  std::FILE* err_;
  bool progress_on_terminal_;
  bool progress_shown_ = false;
  int max_ = 100;
  int position_ = 0;
  int drawn_permille_ = -1;
};

}  // namespace ks
