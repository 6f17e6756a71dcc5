// The console's main window (class QuorvantLineWindow): drawn title bar,
// output panel, input row with prompt glyph and menu button.
#pragma once

#include <windows.h>

namespace qv {

LRESULT CALLBACK ConsoleWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

// Moves the output view and the input line to their places.
void LayoutControls(HWND window);

// Drawing into a device context of the client size.
void PaintConsoleView(HDC dc, int width, int height);
void PaintTitleBar(HDC dc, int width);

}  // namespace qv
