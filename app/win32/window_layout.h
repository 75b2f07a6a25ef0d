#pragma once
// Where the controls of the main window sit for a given client area. The layout is drawn
// for 361 x 330; each control keeps its distances to the edges it is anchored to.

namespace ks {

constexpr int kMainClientWidth = 361;
constexpr int kMainClientHeight = 330;

struct ControlRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const ControlRect&) const = default;
};

struct MainWindowLayout {
  ControlRect log;       // anchored left, top, right, bottom
  ControlRect progress;  // left, right, bottom
  ControlRect run;       // right, bottom
  ControlRect exit;      // right, bottom
};

// Sizes that would turn negative in a very small window are 0.
MainWindowLayout LayoutMainWindow(int client_width, int client_height);

// The origin that centres a window of the given size in an area; the window's top-left
// corner stays inside the area when the window is larger.
struct Point {
  int x = 0;
  int y = 0;
  bool operator==(const Point&) const = default;
};
Point CentredOrigin(const ControlRect& area, int width, int height);

// The filled pixels of a bar of the given width at position of [0, max]; positions
// outside the range count as its nearest end.
int ProgressFillPixels(int max, int position, int width);

}  // namespace ks
