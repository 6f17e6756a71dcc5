#include "console/appearance.h"

#include "console/globals.h"
#include "base/handles.h"
#include "base/threads.h"
#include "base/system_calls.h"
#include "console/console_state.h"
#include "console/layout.h"

namespace qv {

namespace {

constexpr int kPointsPerInch = 72;
constexpr int kUiFontPoints = 11;
constexpr int kTitleFontPoints = 12;
// Measured metrics below these are no real font's.
constexpr int kLeastCharWidth = 4;
constexpr int kLeastLineHeight = 8;

HFONT CreateConsolas(int points, int weight) {
  return CreateFontW(-MulDiv(points, CurrentDpi, kPointsPerInch), 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, 0, L"Consolas");
}

// DwmSetWindowAttribute attributes (dwmapi.h of Windows 11).
constexpr DWORD kUseImmersiveDarkMode = 20;
constexpr DWORD kUseImmersiveDarkModeBefore20H1 = 19;
constexpr DWORD kWindowCornerPreference = 33;
constexpr DWORD kBorderColorAttribute = 34;
constexpr DWORD kCaptionColor = 35;
constexpr DWORD kTextColorAttribute = 36;
constexpr DWORD kCornerRound = 2;

}  // namespace

void CreateUiFonts() {
  Console().uiFont = UniqueFont(CreateConsolas(kUiFontPoints, FW_NORMAL));
  Console().titleFont = UniqueFont(CreateConsolas(kTitleFontPoints, FW_BOLD));
}

void DeleteUiFonts() {
  Console().uiFont.reset();
  Console().titleFont.reset();
}

HFONT TitleFont() {
  const ConsoleState& console = Console();
  return console.titleFont ? console.titleFont.get() : console.uiFont.get();
}

void MeasureFont() {
  ConsoleState& console = Console();
  if (MainWindow == nullptr) return;
  const UniqueWindowDC dc = WindowDC(MainWindow);
  if (!dc) return;
  {
    const SelectedObject font(dc.get(), console.uiFont.get());
    TEXTMETRICW metrics{};
    if (GetTextMetricsW(dc.get(), &metrics)) console.lineHeight = metrics.tmHeight + metrics.tmExternalLeading;
    SIZE size{};
    if (GetTextExtentPoint32W(dc.get(), L"M", 1, &size) && size.cx > 0) console.charWidth = size.cx;
  }
  if (console.charWidth < kLeastCharWidth) console.charWidth = kFallbackCharWidth;
  if (console.lineHeight < kLeastLineHeight) console.lineHeight = kFallbackLineHeight;
}

void WarmUpUiFont() {
  // Nobody waits for it.
  StartThread([] {
    // A memory DC: unlike a screen DC it does not wait for the display
    // driver, which the window thread is starting meanwhile.
    const UniqueMemoryDC memory(CreateCompatibleDC(nullptr));
    const UniqueFont font(CreateFontW(-MulDiv(kUiFontPoints, SystemDpi(), kPointsPerInch), 0, 0, 0, FW_NORMAL, FALSE,
                                      FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                      CLEARTYPE_QUALITY, 0, L"Consolas"));
    if (memory && font) {
      const SelectedObject selected(memory.get(), font.get());
      TEXTMETRICW metrics{};
      GetTextMetricsW(memory.get(), &metrics);
    }
  });
}

void ApplyFonts() {
  const ConsoleState& console = Console();
  for (const HWND control : {console.outputView, console.inputLine}) {
    if (control) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(console.uiFont.get()), TRUE);
  }
}

void ApplyOutputMargins() {
  const HWND view = Console().outputView;
  if (view == nullptr) return;
  const int margin = ScaleAt(kOutputTextMargin, CurrentDpi);
  SendMessageW(view, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(margin, margin));
}

void ApplyDarkTheme(HWND window) {
  const UxTheme& uxTheme = UxTheme::Instance();
  uxTheme.AllowDarkModeForWindow(window);
  uxTheme.SetWindowTheme(window, L"DarkMode_Explorer");
}

void ApplyFrameColors(HWND window) {
  // Loaded once for the run: start-up colours the frame twice, and loading
  // and freeing dwmapi.dll each time costs more than the calls.
  static const DwmApi dwm;
  if (!dwm.Available()) return;
  if (FAILED(dwm.SetWindowAttribute(window, kUseImmersiveDarkMode, 1))) {
    dwm.SetWindowAttribute(window, kUseImmersiveDarkModeBefore20H1, 1);
  }
  dwm.SetWindowAttribute(window, kCaptionColor, kBackgroundColor);
  dwm.SetWindowAttribute(window, kTextColorAttribute, kTextColor);
  dwm.SetWindowAttribute(window, kBorderColorAttribute, kBorderColor);
  dwm.SetWindowAttribute(window, kWindowCornerPreference, kCornerRound);
}

RECT PaintFramedClient(HDC dc, HWND window, HBRUSH fill) {
  RECT client{};
  GetClientRect(window, &client);
  FillRect(dc, &client, fill);
  FrameRect(dc, &client, SharedBrushes.border.get());
  return client;
}

void DrawTextLine(HDC dc, HFONT font, std::wstring_view text, RECT area, COLORREF color, UINT format) {
  SelectedObject selected(dc, font);
  SetTextColor(dc, color);
  SetBkMode(dc, TRANSPARENT);
  DrawTextW(dc, text.data(), static_cast<int>(text.size()), &area, DT_NOPREFIX | DT_SINGLELINE | format);
}

}  // namespace qv
