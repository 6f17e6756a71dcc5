// Geometry of the console window: every rectangle is a plain function of the
// client size, the DPI and the font metrics, so it can be checked without a window.
#pragma once

#include <windows.h>

namespace qv {

// A 96-DPI length at the given DPI.
inline int ScaleAt(int pixels, int dpi) { return MulDiv(pixels, dpi, 96); }

struct LayoutMetrics {
  int dpi = 96;
  int lineHeight = 16;
  int charWidth = 8;
};

// Height of the drawn title bar at 96 DPI.
inline constexpr int kTitleBarHeight = 36;

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
InputRowParts ComputeInputRow(const RECT& row, const LayoutMetrics& metrics);

struct TitleButtons {
  RECT bar;
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

// The drop-up menu above the menu button, kept inside the client area.
RECT ComputeMenuPlacement(const RECT& menuButton, int width, int height, int itemCount,
                          const LayoutMetrics& metrics);

// The fade overlay (screen coordinates) over the client area below the title bar.
RECT ComputeOverlayRect(POINT clientOrigin, int width, int height, int dpi);

// The main window centred in the work area; frameWidth/frameHeight are the
// outer size of the wanted client area. An empty work area means the screen.
RECT ComputeMainWindowPlacement(RECT workArea, SIZE screen, int frameWidth, int frameHeight, int dpi);

inline int Width(const RECT& r) { return r.right - r.left; }
inline int Height(const RECT& r) { return r.bottom - r.top; }

}  // namespace qv
