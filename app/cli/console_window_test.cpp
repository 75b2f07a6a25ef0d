#include "app/cli/console_window.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "common/codepage.h"

namespace ks {
namespace {

std::string ReadAll(std::FILE* f) {
  std::rewind(f);
  std::string text;
  char buf[256];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
  return text;
}

class ConsoleWindowTest : public ::testing::Test {
 protected:
  std::FILE* in_ = std::tmpfile();
  std::FILE* out_ = std::tmpfile();
  std::FILE* err_ = std::tmpfile();
  void TearDown() override {
    std::fclose(in_);
    std::fclose(out_);
    std::fclose(err_);
  }
};

TEST_F(ConsoleWindowTest, LogLinesGoToStandardOutputInUtf8) {
  ConsoleWindow w(false, in_, out_, err_);
  w.AddLogLine(W("Начало копирования"));
  w.AddLogLine("");
  w.AddLogLine("---");
  EXPECT_EQ(ReadAll(out_), "Начало копирования\n\n---\n");
}

TEST_F(ConsoleWindowTest, ProgressStaysOffWhenStandardErrorIsNoTerminal) {
  ConsoleWindow w(false, in_, out_, err_);
  w.SetProgressMax(10);
  w.SetProgressPosition(5);
  EXPECT_EQ(ReadAll(err_), "");
}

TEST(ConsoleProgressLine, NamesTheStageAndItsSpeed) {
  EXPECT_EQ(ConsoleWindow::ProgressLine(50, 200, W("Document -> Doc.dbf"), 1234),
            "[#######                       ] 50/200  Document -> Doc.dbf  1234 зап/с");
  // Before the first measurement, and for a bar without a stage, only what is known.
  EXPECT_EQ(ConsoleWindow::ProgressLine(0, 0, "", -1), "[                              ] 0/0");
  EXPECT_EQ(ConsoleWindow::ProgressLine(3, 3, "", -1), "[##############################] 3/3");
}

TEST_F(ConsoleWindowTest, QuestionIsRefusedWithoutTerminalAndAcceptedWithYes) {
  ConsoleWindow refusing(false, in_, out_, err_);
  EXPECT_FALSE(refusing.ConfirmOkCancel(W("Продолжить?")));
  ConsoleWindow agreeing(true, in_, out_, err_);
  EXPECT_TRUE(agreeing.ConfirmOkCancel(W("Продолжить?")));
}

TEST_F(ConsoleWindowTest, ErrorBoxGoesToStandardError) {
  ConsoleWindow w(false, in_, out_, err_);
  w.ShowErrorBox(W("Ошибка открытия таблицы LINES.DBF"));
  EXPECT_EQ(ReadAll(err_), "Ошибка открытия таблицы LINES.DBF\n");
}

}  // namespace
}  // namespace ks
