// Fonts, metrics and the dark look of the console window and its controls.
#pragma once

#include <windows.h>

#include <string_view>

namespace qv {

// UiFont (Consolas 11 pt) and TitleFont (Consolas 12 pt bold) at CurrentDpi,
// replacing the ones there were.
void CreateUiFonts();
// Lets go of both fonts (the window that used them is gone).
void DeleteUiFonts();
// The title font, or the UI font where that one could not be made.
HFONT TitleFont();
// CharWidth and LineHeight of UiFont, measured on the main window.
void MeasureFont();
// Realizes the UI font once on a thread of its own and lets it go. The first
// font a process realizes loads the system's font data (under Wine the largest
// single step of the start); begun first thing, that load runs beside the
// load pass and the window setup instead of inside MeasureFont.
void WarmUpUiFont();
// UiFont into both edit controls.
void ApplyFonts();
// The output view's left and right margins.
void ApplyOutputMargins();
// Dark controls: uxtheme's per-window dark mode and the dark Explorer theme.
void ApplyDarkTheme(HWND window);
// Dark frame, caption and border colours and round corners (Windows 11).
void ApplyFrameColors(HWND window);

// Fills the window's client area with the brush, frames it in the border
// colour and returns it.
RECT PaintFramedClient(HDC dc, HWND window, HBRUSH fill);

// One line of text in the font and colour, on a transparent background
// (DT_SINGLELINE | DT_NOPREFIX plus format); the DC's font is restored.
void DrawTextLine(HDC dc, HFONT font, std::wstring_view text, RECT area, COLORREF color, UINT format);

}  // namespace qv
