// Painting of the console view and the drawn title bar.
#include "console/globals.h"
#include "console/appearance.h"
#include "console/console_state.h"
#include "console/console_window.h"
#include "console/input_actions.h"
#include "console/layout.h"

namespace qv {

namespace {

constexpr UINT kCentred = DT_VCENTER | DT_CENTER;

}  // namespace

void PaintConsoleView(HDC dc, int width, int height) {
  const ConsoleState& console = Console();
  const LayoutMetrics metrics = CurrentMetrics();
  const RECT client{0, 0, width, height};
  FillRect(dc, &client, SharedBrushes.background.get());
  const Panels panels = ComputePanels(width, height, metrics);
  FillRect(dc, &panels.output, SharedBrushes.dim.get());
  FrameRect(dc, &panels.output, SharedBrushes.border.get());

  const InputRowParts row = CurrentInputRow(MainWindow, panels.inputRow);
  const bool focused = console.inputLine && GetFocus() == console.inputLine;
  DrawTextLine(dc, console.uiFont.get(), PromptText(), row.prompt, focused ? kTextColor : kDimTextColor, 0);

  FillRect(dc, &row.menuButton, console.menuOpen ? SharedBrushes.highlight.get() : SharedBrushes.background.get());
  FrameRect(dc, &row.menuButton, SharedBrushes.border.get());
  DrawTextLine(dc, console.uiFont.get(), L"v", row.menuButton, kTextColor, kCentred);
}

void PaintTitleBar(HDC dc, int width) {
  const ConsoleState& console = Console();
  const TitleButtons buttons = ComputeTitleButtons(width, CurrentDpi);
  FillRect(dc, &buttons.bar, SharedBrushes.background.get());
  if (console.pinned) FillRect(dc, &buttons.pin, SharedBrushes.highlight.get());
  for (const RECT& button : {buttons.minimize, buttons.pin, buttons.close}) {
    const RECT line{button.left, 0, button.left + 1, buttons.bar.bottom};
    FillRect(dc, &line, SharedBrushes.border.get());
  }
  const RECT bottomLine{0, buttons.bar.bottom - 1, width, buttons.bar.bottom};
  FillRect(dc, &bottomLine, SharedBrushes.border.get());

  DrawTextLine(dc, TitleFont(), kProgramTitle, buttons.title, kTextColor, DT_VCENTER);
  DrawTextLine(dc, console.uiFont.get(), L"-", buttons.minimize, kTextColor, kCentred);
  DrawTextLine(dc, console.uiFont.get(), L"pin", buttons.pin, console.pinned ? kTextColor : kDimTextColor, kCentred);
  DrawTextLine(dc, console.uiFont.get(), L"x", buttons.close, kTextColor, kCentred);
}

}  // namespace qv
