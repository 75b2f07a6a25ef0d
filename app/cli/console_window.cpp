#include "app/cli/console_window.h"

#include <unistd.h>

#include "common/codepage.h"

namespace ks {

ConsoleWindow::ConsoleWindow(bool answer_yes, std::FILE* in, std::FILE* out, std::FILE* err)
    : answer_yes_(answer_yes),
      in_(in),
      out_(out),
      err_(err),
      progress_on_terminal_(isatty(fileno(err)) != 0) {}

ConsoleWindow::~ConsoleWindow() { FinishProgress(); }

void ConsoleWindow::AddLogLine(const std::string& text) {
  FinishProgress();
  const std::string line = Cp1251ToUtf8(text) + "\n";
  std::fwrite(line.data(), 1, line.size(), out_);
  std::fflush(out_);
}

void ConsoleWindow::SetProgressMax(int max) {
  max_ = max;
  drawn_permille_ = -1;
  DrawProgress();
}

void ConsoleWindow::SetProgressPosition(int position) {
  position_ = position;
  DrawProgress();
}

void ConsoleWindow::DrawProgress() {
  if (!progress_on_terminal_) return;
  const int permille = max_ > 0 ? static_cast<int>(1000LL * position_ / max_) : 0;
  if (permille == drawn_permille_) return;  // redraw only when the bar changes
  drawn_permille_ = permille;
  constexpr int kWidth = 40;
  const int filled = permille * kWidth / 1000;
  std::string bar = "\r[" + std::string(filled, '#') + std::string(kWidth - filled, ' ') + "] ";
  bar += std::to_string(position_) + "/" + std::to_string(max_);
  std::fputs(bar.c_str(), err_);
  std::fflush(err_);
  progress_shown_ = true;
}

void ConsoleWindow::FinishProgress() {
  if (!progress_shown_) return;
  std::fputs("\r\033[K", err_);
  std::fflush(err_);
  progress_shown_ = false;
  drawn_permille_ = -1;
}

bool ConsoleWindow::ConfirmOkCancel(const std::string& text) {
  if (answer_yes_) return true;
  if (isatty(fileno(in_)) == 0) return false;  // nobody to ask: refuse
  FinishProgress();
  std::fprintf(err_, "%s [y/N] ", Cp1251ToUtf8(text).c_str());
  std::fflush(err_);
  char answer[16] = {};
  if (std::fgets(answer, sizeof answer, in_) == nullptr) return false;
  return answer[0] == 'y' || answer[0] == 'Y';
}

void ConsoleWindow::ShowErrorBox(const std::string& text) {
  FinishProgress();
  std::fprintf(err_, "%s\n", Cp1251ToUtf8(text).c_str());
  std::fflush(err_);
}

}  // namespace ks
