#pragma once
// The small pictures on the two buttons, drawn when the window is made: a triangle on
// "Старт", a cross on "Выход".

#include <windows.h>

namespace ks {

enum class ButtonGlyph { kRun, kExit };

// An icon of size x size pixels in the button text's colour; the caller destroys it.
HICON CreateButtonGlyph(ButtonGlyph glyph, int size);

}  // namespace ks
