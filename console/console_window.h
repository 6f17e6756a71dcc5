// The console's main window (class QuorvantLineWindow): drawn title bar,
// output panel, input row with prompt glyph and menu button.
#pragma once

#include <windows.h>

#include "console/layout.h"

namespace qv {

LRESULT CALLBACK ConsoleWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

// The metrics the console is laid out with now: CurrentDpi and the font's.
LayoutMetrics CurrentMetrics();
// The client area's size.
SIZE ClientSize(HWND window);

// Moves the output view and the input line to their places.
void LayoutControls(HWND window);
// The input row's parts with the prompt as it is now (measured when it is wider than one glyph).
InputRowParts CurrentInputRow(HWND window, const RECT& row);

// What the global hotkey does to the main window.
enum class HotkeyAction { kShow, kHide };
HotkeyAction DecideHotkeyAction(bool visible, bool minimized, bool foreground);

// Drawing into a device context of the client size.
void PaintConsoleView(HDC dc, int width, int height);
void PaintTitleBar(HDC dc, int width);

}  // namespace qv
