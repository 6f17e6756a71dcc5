// Painting of the console view and the drawn title bar.
#include "app/globals.h"
#include "console/appearance.h"
#include "console/console_state.h"
#include "console/console_window.h"
#include "console/layout.h"

namespace qv {

namespace {

LayoutMetrics CurrentMetrics() { return {CurrentDpi, Console().lineHeight, Console().charWidth}; }

constexpr UINT kCentred = DT_VCENTER | DT_CENTER;

}  // namespace

void PaintConsoleView(HDC dc, int width, int height) {
  const ConsoleState& console = Console();
  const LayoutMetrics metrics = CurrentMetrics();
  const RECT client{0, 0, width, height};
  FillRect(dc, &client, SharedBrushes.background);
  const Panels panels = ComputePanels(width, height, metrics);
  FillRect(dc, &panels.output, SharedBrushes.dim);
  FrameRect(dc, &panels.output, SharedBrushes.border);

  const InputRowParts row = ComputeInputRow(panels.inputRow, metrics);
  const bool focused = console.inputLine && GetFocus() == console.inputLine;
  DrawTextLine(dc, console.uiFont, L">", row.prompt, focused ? kTextColor : kDimTextColor, 0);

  FillRect(dc, &row.menuButton, console.menuOpen ? SharedBrushes.highlight : SharedBrushes.background);
  FrameRect(dc, &row.menuButton, SharedBrushes.border);
  DrawTextLine(dc, console.uiFont, L"v", row.menuButton, kTextColor, kCentred);
}

void PaintTitleBar(HDC dc, int width) {
  const ConsoleState& console = Console();
  const TitleButtons buttons = ComputeTitleButtons(width, CurrentDpi);
  FillRect(dc, &buttons.bar, SharedBrushes.background);
  if (console.pinned) FillRect(dc, &buttons.pin, SharedBrushes.highlight);
  for (const RECT& button : {buttons.minimize, buttons.pin, buttons.close}) {
    const RECT line{button.left, 0, button.left + 1, buttons.bar.bottom};
    FillRect(dc, &line, SharedBrushes.border);
  }
  const RECT bottomLine{0, buttons.bar.bottom - 1, width, buttons.bar.bottom};
  FillRect(dc, &bottomLine, SharedBrushes.border);

  const RECT title{Scale(14), 0, buttons.minimize.left - Scale(8), buttons.bar.bottom};
  DrawTextLine(dc, console.titleFont ? console.titleFont : console.uiFont, kProgramTitle, title, kTextColor,
               DT_VCENTER);
  DrawTextLine(dc, console.uiFont, L"-", buttons.minimize, kTextColor, kCentred);
  DrawTextLine(dc, console.uiFont, L"pin", buttons.pin, console.pinned ? kTextColor : kDimTextColor, kCentred);
  DrawTextLine(dc, console.uiFont, L"x", buttons.close, kTextColor, kCentred);
}

}  // namespace qv
