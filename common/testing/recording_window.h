#pragma once
// A main window for tests: it keeps, in UTF-8, every log line, question and error box it is
// shown, and the progress calls; it answers questions with `answer`.

#include <string>
#include <vector>

#include "common/codepage.h"
#include "common/main_window.h"

namespace ks::testing {

class RecordingWindow : public IMainWindow {
 public:
  explicit RecordingWindow(bool answer = true) : answer_(answer) {}
  void AddLogLine(const std::string& text) override { lines.push_back(Cp1251ToUtf8(text)); }
  void SetProgressMax(int max) override { maxima.push_back(max); }
  void SetProgressPosition(int position) override { positions.push_back(position); }
  bool ConfirmOkCancel(const std::string& text) override {
    questions.push_back(Cp1251ToUtf8(text));
    return answer_;
  }
  void ShowErrorBox(const std::string& text) override { errors.push_back(Cp1251ToUtf8(text)); }

  std::vector<std::string> lines;
  std::vector<int> maxima;
  std::vector<int> positions;
  std::vector<std::string> questions;
  std::vector<std::string> errors;

 private:
  bool answer_;
};

}  // namespace ks::testing
