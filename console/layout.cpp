#include "console/layout.h"

#include <algorithm>

namespace qv {

namespace {

// Console window (96-DPI pixels unless said otherwise).
constexpr int kTitleButtonWidth = 42;
constexpr int kTitleTextLeft = 14;
constexpr int kTitleTextGap = 8;  // between the title and the first button
constexpr int kPanelGap = 12;     // below the title bar and between the output panel and the input row
constexpr int kOutputPanelLeast = 48;  // the output panel's bottom stays this far below the title bar
constexpr int kInputRowBottomGap = 16;
constexpr int kInputRowPadding = 8;
constexpr int kInputRowMinHeight = 24;
constexpr int kMenuButtonWidth = 34;
constexpr int kMenuButtonGap = 10;  // between the input line and the menu button
constexpr int kPromptGap = 4;       // between the prompt glyph and the input line
constexpr int kPromptDrop = 1;      // the glyph sits this much lower than the input line
constexpr int kEditExtraHeight = 2;
constexpr int kOutputViewInsetX = 10;
constexpr int kOutputViewInsetY = 7;
constexpr int kWindowWorkAreaMargin = 40;  // the work area the main window may fill, less this
constexpr int kStartupTextInset = 18;
constexpr int kStartupLineGap = 6;
// In device pixels: the panels' one-pixel frame, and the least that the font
// metrics count for.
constexpr int kFrame = 1;
constexpr int kLeastPromptWidth = 4;
constexpr int kLeastLineHeight = 8;

}  // namespace

Panels ComputePanels(int width, int height, const LayoutMetrics& m) {
  const int dpi = m.dpi;
  const int margin = ScaleAt(kPanelMargin, dpi);
  const int bottom = height - ScaleAt(kInputRowBottomGap, dpi);
  const int rowHeight = std::max(m.lineHeight + ScaleAt(kInputRowPadding, dpi), ScaleAt(kInputRowMinHeight, dpi));
  const RECT row{margin, bottom - rowHeight, width - margin, bottom};
  const int titleBar = ScaleAt(kTitleBarHeight, dpi);
  const RECT output{margin, titleBar + ScaleAt(kPanelGap, dpi), width - margin,
                    std::max(titleBar + ScaleAt(kOutputPanelLeast, dpi),
                             static_cast<int>(row.top) - ScaleAt(kPanelGap, dpi))};
  return {output, row};
}

InputRowParts ComputeInputRow(const RECT& row, const LayoutMetrics& m, int measuredPrompt) {
  const int dpi = m.dpi;
  const int promptWidth = std::max({m.charWidth, kLeastPromptWidth, measuredPrompt});
  const int editHeight = ScaleAt(kEditExtraHeight, dpi) + std::max(m.lineHeight, kLeastLineHeight);
  const int editTop = row.top + (row.bottom - row.top - editHeight) / 2;
  const int buttonWidth = ScaleAt(kMenuButtonWidth, dpi);
  const int promptTop = editTop + ScaleAt(kPromptDrop, dpi);
  InputRowParts parts;
  parts.edit = {row.left + promptWidth + ScaleAt(kPromptGap, dpi), editTop,
                row.right - buttonWidth - ScaleAt(kMenuButtonGap, dpi), editTop + editHeight};
  parts.prompt = {row.left, promptTop, row.left + promptWidth, promptTop + editHeight};
  parts.menuButton = {row.right - buttonWidth, row.top, row.right, row.bottom};
  return parts;
}

TitleButtons ComputeTitleButtons(int width, int dpi) {
  const int bar = ScaleAt(kTitleBarHeight, dpi);
  const int button = ScaleAt(kTitleButtonWidth, dpi);
  const int firstButton = width - 3 * button;
  return {RECT{0, 0, width, bar},
          RECT{ScaleAt(kTitleTextLeft, dpi), 0, firstButton - ScaleAt(kTitleTextGap, dpi), bar},
          RECT{firstButton, 0, width - 2 * button, bar}, RECT{width - 2 * button, 0, width - button, bar},
          RECT{width - button, 0, width, bar}};
}

TitleHit HitTitleBar(POINT point, int width, int dpi) {
  const TitleButtons buttons = ComputeTitleButtons(width, dpi);
  if (!PtInRect(&buttons.bar, point)) return TitleHit::kOutside;
  if (PtInRect(&buttons.close, point)) return TitleHit::kClose;
  if (PtInRect(&buttons.minimize, point)) return TitleHit::kMinimize;
  if (PtInRect(&buttons.pin, point)) return TitleHit::kPin;
  return TitleHit::kCaption;
}

RECT ComputeOutputViewRect(const RECT& panel, int dpi) {
  const int insetX = ScaleAt(kOutputViewInsetX, dpi);
  const int insetY = ScaleAt(kOutputViewInsetY, dpi);
  const int x = panel.left + insetX + kFrame;
  const int y = panel.top + insetY + kFrame;
  const int width = std::max(static_cast<int>(panel.right - panel.left) - 2 * (insetX + kFrame), 1);
  const int height = std::max(static_cast<int>(panel.bottom) - insetY - kFrame - y, 1);
  return {x, y, x + width, y + height};
}

StartupReportLayout ComputeStartupReport(int width, int height, const LayoutMetrics& m) {
  const int dpi = m.dpi;
  const int margin = ScaleAt(kPanelMargin, dpi);
  const RECT panel{margin, ScaleAt(kTitleBarHeight, dpi) + margin, width - margin, height - margin};
  const int inset = ScaleAt(kStartupTextInset, dpi);
  const int step = m.lineHeight + ScaleAt(kStartupLineGap, dpi);
  return {panel, RECT{panel.left + inset, panel.top + inset, panel.right - inset, panel.top + inset + step}, step};
}

RECT ComputeOverlayRect(POINT clientOrigin, int width, int height, int dpi) {
  const int bar = ScaleAt(kTitleBarHeight, dpi);
  return {clientOrigin.x, clientOrigin.y + bar, clientOrigin.x + width,
          clientOrigin.y + bar + std::max(0, height - bar)};
}

RECT ComputeMainWindowPlacement(RECT work, SIZE screen, int frameWidth, int frameHeight, int dpi) {
  if (work.right <= work.left || work.bottom <= work.top) work = {0, 0, screen.cx, screen.cy};
  const int workWidth = work.right - work.left;
  const int workHeight = work.bottom - work.top;
  const int margin = ScaleAt(kWindowWorkAreaMargin, dpi);
  const int availableWidth = workWidth - margin;
  const int availableHeight = workHeight - margin;
  const int width = availableWidth <= 0 ? frameWidth : std::min(frameWidth, availableWidth);
  const int height = availableHeight <= 0 ? frameHeight : std::min(frameHeight, availableHeight);
  const int x = work.left + (workWidth - width) / 2;
  const int y = work.top + (workHeight - height) / 2;
  return {x, y, x + width, y + height};
}

}  // namespace qv
