#include "app/cli/console_window.h"

#include "common/codepage.h"
#include "common/platform.h"

namespace ks {
namespace {

// The speed on the progress line is refreshed this often even when the bar does not move.
constexpr auto kRedrawInterval = std::chrono::milliseconds(500);

// Characters (not bytes) of a UTF-8 text, for blanking a line of it out.
size_t DisplayWidth(const std::string& utf8) {
  size_t width = 0;
  for (const char c : utf8) width += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return width;
}

}  // namespace

ConsoleWindow::ConsoleWindow(bool answer_yes, std::FILE* in, std::FILE* out, std::FILE* err)
    : answer_yes_(answer_yes), in_(in), out_(out), err_(err), progress_on_terminal_(IsConsole(err)) {}

ConsoleWindow::~ConsoleWindow() { FinishProgress(); }

void ConsoleWindow::Write(std::FILE* stream, const std::string& utf8) {
  WriteUtf8(stream, utf8);
  std::fflush(stream);
}

void ConsoleWindow::AddLogLine(const std::string& text) {
  FinishProgress();
  Write(out_, Cp1251ToUtf8(text) + "\n");
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

void ConsoleWindow::SetProgressStage(const std::string& stage) {
  stage_ = stage;
  stage_start_ = Clock::now();
  drawn_permille_ = -1;
}

std::string ConsoleWindow::ProgressLine(int position, int max, const std::string& stage, long records_per_second) {
  const int permille = max > 0 ? static_cast<int>(1000LL * position / max) : 0;
  constexpr int kWidth = 30;
  const int filled = permille * kWidth / 1000;
  std::string line = "[" + std::string(filled, '#') + std::string(kWidth - filled, ' ') + "] ";
  line += std::to_string(position) + "/" + std::to_string(max);
  if (!stage.empty()) line += "  " + Cp1251ToUtf8(stage);
  if (records_per_second >= 0) line += "  " + std::to_string(records_per_second) + " зап/с";
  return line;
}

void ConsoleWindow::DrawProgress() {
  if (!progress_on_terminal_) return;
  const int permille = max_ > 0 ? static_cast<int>(1000LL * position_ / max_) : 0;
  const Clock::time_point now = Clock::now();
  // Redraw when the bar moves, and now and then for the speed.
  if (permille == drawn_permille_ && now - drawn_at_ < kRedrawInterval) return;
  drawn_permille_ = permille;
  drawn_at_ = now;
  const double seconds = std::chrono::duration<double>(now - stage_start_).count();
  const long rate = stage_.empty() || seconds < 0.2 ? -1 : static_cast<long>(position_ / seconds);
  std::string line = ProgressLine(position_, max_, stage_, rate);
  const size_t width = DisplayWidth(line);
  // Blanks over the rest of a longer line drawn before (no terminal escapes: a Windows
  // console does not take them everywhere).
  if (width < drawn_width_) line += std::string(drawn_width_ - width, ' ');
  drawn_width_ = width;
  Write(err_, "\r" + line);
  progress_shown_ = true;
}

void ConsoleWindow::FinishProgress() {
  if (!progress_shown_) return;
  Write(err_, "\r" + std::string(drawn_width_, ' ') + "\r");
  progress_shown_ = false;
  drawn_permille_ = -1;
  drawn_width_ = 0;
}

bool ConsoleWindow::ConfirmOkCancel(const std::string& text) {
  if (answer_yes_) return true;
  if (!IsConsole(in_)) return false;  // nobody to ask: refuse
  FinishProgress();
  Write(err_, Cp1251ToUtf8(text) + " [y/N] ");
  char answer[16] = {};
  if (std::fgets(answer, sizeof answer, in_) == nullptr) return false;
  return answer[0] == 'y' || answer[0] == 'Y';
}

void ConsoleWindow::ShowErrorBox(const std::string& text) {
  FinishProgress();
  Write(err_, Cp1251ToUtf8(text) + "\n");
}

}  // namespace ks
