// Geometry of the console window: every rectangle is a plain function of the
// client size, the DPI and the font metrics, so it can be checked without a window.
#pragma once

#include <windows.h>

#include "base/dpi.h"

namespace qv {

// The font metrics that count until the font is measured, and in place of a
// measurement that makes no sense (device pixels).
inline constexpr int kFallbackLineHeight = 16;
inline constexpr int kFallbackCharWidth = 8;

struct LayoutMetrics {
  int dpi = kBaseDpi;
  int lineHeight = kFallbackLineHeight;
  int charWidth = kFallbackCharWidth;
};

// Lengths that other parts of the program share (96-DPI pixels).
inline constexpr int kTitleBarHeight = 36;
// Between the client area's edges and the output panel, the input row and the menu.
inline constexpr int kPanelMargin = 18;
// The output view's text margins, left and right.
inline constexpr int kOutputTextMargin = 12;
// The client area that the main window opens with, and the least it can be sized to.
inline constexpr SIZE kMainClientSize{960, 640};
inline constexpr SIZE kMinClientSize{660, 460};

struct Panels {
  RECT output;
  RECT inputRow;
};
Panels ComputePanels(int width, int height, const LayoutMetrics& metrics);

struct InputRowParts {
  RECT prompt;      // the ">" glyph
  RECT edit;        // the input line
  RECT menuButton;  // the "v" button
};
// promptWidth is the prompt's measured width when it is more than one glyph
// (the Ctrl+R search), 0 for the usual one-character prompt.
InputRowParts ComputeInputRow(const RECT& row, const LayoutMetrics& metrics, int promptWidth = 0);

struct TitleButtons {
  RECT bar;
  RECT title;  // the program's name, left of the buttons
  RECT minimize;
  RECT pin;
  RECT close;
};
TitleButtons ComputeTitleButtons(int width, int dpi);

enum class TitleHit { kOutside, kCaption, kMinimize, kPin, kClose };
// Where a client point falls with respect to the title bar.
TitleHit HitTitleBar(POINT point, int width, int dpi);

// The output view inside the output panel (left, top, right, bottom).
RECT ComputeOutputViewRect(const RECT& panel, int dpi);

// The start-up report: its dark panel, where its first line is drawn and how
// far each next line is below the one before.
struct StartupReportLayout {
  RECT panel;
  RECT firstLine;
  int lineStep;
};
StartupReportLayout ComputeStartupReport(int width, int height, const LayoutMetrics& metrics);

// The fade overlay (screen coordinates) over the client area below the title bar.
RECT ComputeOverlayRect(POINT clientOrigin, int width, int height, int dpi);

// The main window centred in the work area; frameWidth/frameHeight are the
// outer size of the wanted client area. An empty work area means the screen.
RECT ComputeMainWindowPlacement(RECT workArea, SIZE screen, int frameWidth, int frameHeight, int dpi);

inline int Width(const RECT& r) { return r.right - r.left; }
inline int Height(const RECT& r) { return r.bottom - r.top; }

}  // namespace qv
