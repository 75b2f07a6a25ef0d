#include "app/win32/button_glyphs.h"

namespace ks {
namespace {

// Draws the glyph with the DC's current pen and brush, scaled to the icon size.
void DrawGlyph(HDC dc, ButtonGlyph glyph, int size) {
  auto at = [size](int sixteenths) { return sixteenths * size / 16; };
  if (glyph == ButtonGlyph::kRun) {
    const POINT triangle[] = {{at(3), at(2)}, {at(12), at(8)}, {at(3), at(14)}};
    Polygon(dc, triangle, 3);
  } else {
    MoveToEx(dc, at(2), at(3), nullptr);
    LineTo(dc, at(12), at(13));
    MoveToEx(dc, at(11), at(3), nullptr);
    LineTo(dc, at(1), at(13));
  }
}

// Paints the glyph into a bitmap: in the colour on black for the picture, in black on
// white for the mask (white is where the button shows through).
void Paint(HDC dc, HBITMAP bitmap, ButtonGlyph glyph, int size, COLORREF ink, DWORD background) {
  const HGDIOBJ old_bitmap = SelectObject(dc, bitmap);
  PatBlt(dc, 0, 0, size, size, background);
  const HPEN pen = CreatePen(PS_SOLID, size >= 16 ? 2 * size / 16 : 1, ink);
  const HBRUSH brush = CreateSolidBrush(ink);
  const HGDIOBJ old_pen = SelectObject(dc, pen);
  const HGDIOBJ old_brush = SelectObject(dc, brush);
  DrawGlyph(dc, glyph, size);
  SelectObject(dc, old_brush);
  SelectObject(dc, old_pen);
  SelectObject(dc, old_bitmap);
  DeleteObject(brush);
  DeleteObject(pen);
}

}  // namespace

HICON CreateButtonGlyph(ButtonGlyph glyph, int size) {
  const HDC screen = GetDC(nullptr);
  const HDC dc = CreateCompatibleDC(screen);
  const HBITMAP colour = CreateCompatibleBitmap(screen, size, size);
  const HBITMAP mask = CreateBitmap(size, size, 1, 1, nullptr);
  Paint(dc, colour, glyph, size, GetSysColor(COLOR_BTNTEXT), BLACKNESS);
  Paint(dc, mask, glyph, size, RGB(0, 0, 0), WHITENESS);
  ICONINFO info{TRUE, 0, 0, mask, colour};
  const HICON icon = CreateIconIndirect(&info);
  DeleteObject(mask);
  DeleteObject(colour);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return icon;
}

}  // namespace ks
