#include "app/win32/window_layout.h"

#include <gtest/gtest.h>

#include <climits>

#include "app/win32/log_text.h"

namespace ks {
namespace {

TEST(MainWindowLayoutTest, DesignedClientAreaAndResize) {
  const MainWindowLayout design = LayoutMainWindow(kMainClientWidth, kMainClientHeight);
  EXPECT_EQ(design.log, (ControlRect{4, 4, 353, 273}));
  EXPECT_EQ(design.progress, (ControlRect{4, 279, 353, 16}));
  EXPECT_EQ(design.run, (ControlRect{185, 301, 84, 25}));
  EXPECT_EQ(design.exit, (ControlRect{273, 301, 84, 25}));

  // The log stretches both ways, the bar across and down with the bottom, the buttons
  // follow the bottom-right corner.
  const MainWindowLayout larger = LayoutMainWindow(500, 400);
  EXPECT_EQ(larger.log, (ControlRect{4, 4, 492, 343}));
  EXPECT_EQ(larger.progress, (ControlRect{4, 349, 492, 16}));
  EXPECT_EQ(larger.run, (ControlRect{324, 371, 84, 25}));
  EXPECT_EQ(larger.exit, (ControlRect{412, 371, 84, 25}));

  const MainWindowLayout tiny = LayoutMainWindow(0, 0);
  EXPECT_EQ(tiny.log, (ControlRect{4, 4, 0, 0}));
  EXPECT_EQ(tiny.progress, (ControlRect{4, -51, 0, 16}));
  EXPECT_EQ(tiny.exit, (ControlRect{-88, -29, 84, 25}));
}

TEST(MainWindowLayoutTest, CentredInTheWorkArea) {
  // A work area beside a task bar on the left.
  EXPECT_EQ(CentredOrigin({40, 0, 1240, 1024}, 377, 369), (Point{40 + 431, 327}));
  // Larger than the area: the title bar stays reachable.
  EXPECT_EQ(CentredOrigin({0, 30, 300, 200}, 377, 369), (Point{0, 30}));
}

TEST(MainWindowLayoutTest, ProgressFill) {
  EXPECT_EQ(ProgressFillPixels(100, 0, 353), 0);
  EXPECT_EQ(ProgressFillPixels(100, 50, 353), 176);
  EXPECT_EQ(ProgressFillPixels(100, 100, 353), 353);
  EXPECT_EQ(ProgressFillPixels(100, 150, 353), 353);
  EXPECT_EQ(ProgressFillPixels(100, -5, 353), 0);
  EXPECT_EQ(ProgressFillPixels(0, 0, 353), 0);  // an empty legacy table
  EXPECT_EQ(ProgressFillPixels(INT_MAX, INT_MAX - 1, 353), 352);
  EXPECT_EQ(ProgressFillPixels(100, 50, 0), 0);  // a window shrunk to nothing
}

TEST(LogTextTest, EveryLineEndsWithCrLf) {
  EXPECT_EQ(LogAppendText("OK"), "OK\r\n");
  EXPECT_EQ(LogAppendText(""), "\r\n");
  // Breaks inside a message of any kind become one CR LF each.
  EXPECT_EQ(LogAppendText("a\nb\r\nc\rd\n\ne"), "a\r\nb\r\nc\r\nd\r\n\r\ne\r\n");
  EXPECT_EQ(LogAppendText("\xCE\xCA"), "\xCE\xCA\r\n");  // 1251 bytes pass unchanged
}

}  // namespace
}  // namespace ks
