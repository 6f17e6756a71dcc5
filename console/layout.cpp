#include "console/layout.h"

#include <algorithm>

namespace qv {

namespace {

int MenuButtonWidth(int dpi) { return ScaleAt(34, dpi); }
int PanelMargin(int dpi) { return ScaleAt(18, dpi); }

}  // namespace

Panels ComputePanels(int width, int height, const LayoutMetrics& m) {
  const int dpi = m.dpi;
  const int margin = PanelMargin(dpi);
  const int bottom = height - ScaleAt(16, dpi);
  const int rowHeight = std::max(m.lineHeight + ScaleAt(8, dpi), ScaleAt(24, dpi));
  const RECT row{margin, bottom - rowHeight, width - margin, bottom};
  const int titleBar = ScaleAt(kTitleBarHeight, dpi);
  const RECT output{margin, titleBar + ScaleAt(12, dpi), width - margin,
                    std::max(titleBar + ScaleAt(48, dpi), static_cast<int>(row.top) - ScaleAt(12, dpi))};
  return {output, row};
}

InputRowParts ComputeInputRow(const RECT& row, const LayoutMetrics& m) {
  const int dpi = m.dpi;
  const int promptWidth = std::max(m.charWidth, 4);
  const int editHeight = ScaleAt(2, dpi) + std::max(m.lineHeight, 8);
  const int editTop = row.top + (row.bottom - row.top - editHeight) / 2;
  InputRowParts parts;
  parts.edit = {row.left + promptWidth + ScaleAt(4, dpi), editTop,
                row.right - MenuButtonWidth(dpi) - ScaleAt(10, dpi), editTop + editHeight};
  parts.prompt = {row.left, editTop + ScaleAt(1, dpi), row.left + promptWidth, editTop + ScaleAt(1, dpi) + editHeight};
  parts.menuButton = {row.right - MenuButtonWidth(dpi), row.top, row.right, row.bottom};
  return parts;
}

TitleButtons ComputeTitleButtons(int width, int dpi) {
  const int bar = ScaleAt(kTitleBarHeight, dpi);
  const int button = ScaleAt(42, dpi);
  return {RECT{0, 0, width, bar}, RECT{width - 3 * button, 0, width - 2 * button, bar},
          RECT{width - 2 * button, 0, width - button, bar}, RECT{width - button, 0, width, bar}};
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
  const int x = panel.left + ScaleAt(10, dpi) + 1;
  const int y = panel.top + ScaleAt(7, dpi) + 1;
  int width = panel.right - (ScaleAt(10, dpi) + panel.left + ScaleAt(10, dpi) + 2);
  if (width <= 0) width = 1;
  int height = (panel.bottom - ScaleAt(7, dpi) - 1) - y;
  if (height <= 0) height = 1;
  return {x, y, x + width, y + height};
}

RECT ComputeMenuPlacement(const RECT& menuButton, int width, int height, int itemCount, const LayoutMetrics& m) {
  const int dpi = m.dpi;
  const int margin = PanelMargin(dpi);
  const int menuWidth = ScaleAt(210, dpi);
  const int rowHeight = std::max(m.lineHeight + ScaleAt(12, dpi), ScaleAt(26, dpi));
  const int rows = itemCount <= 0 ? 1 : std::min(itemCount, 12);
  const int menuHeight = rows * rowHeight + ScaleAt(4, dpi);
  int x = menuButton.right - menuWidth;
  if (menuButton.right > width - margin) x = width - margin - menuWidth;
  x = std::max(x, margin);
  int y = std::max(static_cast<int>(menuButton.top) - menuHeight - ScaleAt(6, dpi), margin);
  if (y + menuHeight > height - margin) y = std::max(height - margin - menuHeight, margin);
  return {x, y, x + menuWidth, y + menuHeight};
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
  const int margin = ScaleAt(40, dpi);
  const int availableWidth = workWidth - margin;
  const int availableHeight = workHeight - margin;
  const int width = availableWidth <= 0 ? frameWidth : std::min(frameWidth, availableWidth);
  const int height = availableHeight <= 0 ? frameHeight : std::min(frameHeight, availableHeight);
  const int x = work.left + (workWidth - width) / 2;
  const int y = work.top + (workHeight - height) / 2;
  return {x, y, x + width, y + height};
}

}  // namespace qv
