#include "app/win32/window_layout.h"

#include <algorithm>
#include <cstdint>

namespace ks {
namespace {

enum Anchor { kLeft = 1, kTop = 2, kRight = 4, kBottom = 8 };

// A control anchored to opposite edges stretches with the window; anchored only to the
// right or bottom edge, it moves with that edge.
ControlRect Anchored(ControlRect design, int anchors, int client_width, int client_height) {
  const int dx = client_width - kMainClientWidth;
  const int dy = client_height - kMainClientHeight;
  ControlRect r = design;
  if (anchors & kRight) ((anchors & kLeft) ? r.width : r.left) += dx;
  if (anchors & kBottom) ((anchors & kTop) ? r.height : r.top) += dy;
  r.width = std::max(r.width, 0);
  r.height = std::max(r.height, 0);
  return r;
}

}  // namespace

MainWindowLayout LayoutMainWindow(int w, int h) {
  MainWindowLayout layout;
  layout.log = Anchored({4, 4, 353, 273}, kLeft | kTop | kRight | kBottom, w, h);
  layout.progress = Anchored({4, 279, 353, 16}, kLeft | kRight | kBottom, w, h);
  layout.run = Anchored({185, 301, 84, 25}, kRight | kBottom, w, h);
  layout.exit = Anchored({273, 301, 84, 25}, kRight | kBottom, w, h);
  return layout;
}

Point CentredOrigin(const ControlRect& area, int width, int height) {
  return {area.left + std::max((area.width - width) / 2, 0), area.top + std::max((area.height - height) / 2, 0)};
}

int ProgressFillPixels(int max, int position, int width) {
  if (max <= 0 || width <= 0) return 0;
  const int64_t clamped = std::clamp(position, 0, max);
  return static_cast<int>(clamped * width / max);
}

}  // namespace ks
