#include "console/console_window.h"

#include <windowsx.h>

#include <memory>

#include "console/globals.h"
#include "base/handles.h"
#include "base/startup_trace.h"
#include "base/system_calls.h"
#include "console/appearance.h"
#include "console/call_wait.h"
#include "console/console_state.h"
#include "console/input_actions.h"
#include "console/input_line.h"
#include "console/layout.h"
#include "console/output_buffer.h"
#include "console/startup_animation.h"
#include "update/update_check.h"

namespace qv {

namespace {

constexpr int kOutputTextLimit = 1000000;

HWND CreateChild(HWND parent, const wchar_t* className, DWORD style, int id) {
  return CreateWindowExW(0, className, L"", WS_CHILD | WS_CLIPSIBLINGS | style, 0, 0, 10, 10, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), AppInstance, nullptr);
}

void RefreshFonts() {
  CreateUiFonts();
  MeasureFont();
  ApplyFonts();
  ApplyOutputMargins();
}

void HideMenuIfOpen(bool returnFocus) {
  if (Console().menuOpen) HideConsoleMenu(returnFocus);
}

void RelayoutAfterChange(HWND window) {
  if (Console().outputView && Console().inputLine) LayoutControls(window);
  PositionFadeOverlay();
  InvalidateRect(window, nullptr, FALSE);
}

void TogglePin(HWND window) {
  ConsoleState& console = Console();
  console.pinned = !console.pinned;
  SetWindowPos(window, console.pinned ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
               SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE);
  InvalidateRect(window, nullptr, FALSE);
}

// ---- Message handlers ----------------------------------------------------------

LRESULT OnCreate(HWND window) {
  ConsoleState& console = Console();
  MainWindow = window;
  const int dpi = DpiForWindow(window);
  CurrentDpi = dpi != 0 ? dpi : SystemDpi();
  CreateUiFonts();
  MeasureFont();
  MarkStartup("fonts");
  ApplyDarkTheme(window);

  console.outputView = CreateChild(window, L"EDIT",
                                   WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY | ES_NOHIDESEL,
                                   kOutputViewId);
  console.inputLine = CreateChild(window, L"EDIT", ES_AUTOHSCROLL, kInputLineId);
  console.menuWindow = CreateChild(window, kMenuWindowClass, 0, kMenuWindowId);
  if (!console.outputView || !console.inputLine || !console.menuWindow) return -1;

  SendMessageW(console.outputView, EM_SETLIMITTEXT, kOutputTextLimit, 0);
  SendMessageW(console.inputLine, EM_SETLIMITTEXT, kInputTextLimit, 0);
  ApplyDarkTheme(console.outputView);
  ApplyDarkTheme(console.inputLine);
  SubclassInputLine(console.inputLine);
  ApplyFonts();
  ApplyOutputMargins();
  MarkStartup("controls");
  BeginStartup(window);
  MarkStartup("startup_report");
  ApplyFrameColors(window);
  return 0;
}

LRESULT OnDestroy(HWND window) {
  ConsoleState& console = Console();
  StopStartup(window);
  if (console.pluginManagerWindow && IsWindow(console.pluginManagerWindow)) {
    DestroyWindow(console.pluginManagerWindow);
  }
  if (console.hotkeyId != 0) UnregisterHotKey(window, console.hotkeyId);
  console.hotkeyId = 0;
  console.menuOpen = false;
  console.pluginManagerWindow = nullptr;
  console.menuWindow = nullptr;
  DeleteUiFonts();
  console.inputLine = nullptr;
  console.outputView = nullptr;
  MainWindow = nullptr;
  PostQuitMessage(0);
  return 0;
}

LRESULT OnMove(HWND window, WPARAM wParam, LPARAM lParam) {
  PositionFadeOverlay();
  return DefWindowProcW(window, WM_MOVE, wParam, lParam);
}

LRESULT OnSize(HWND window, WPARAM kind) {
  if (kind == SIZE_MINIMIZED) return 0;
  HideMenuIfOpen(false);
  RelayoutAfterChange(window);
  return 0;
}

LRESULT OnActivate(HWND window, WPARAM wParam, LPARAM lParam) {
  if (LOWORD(wParam) == WA_INACTIVE) HideMenuIfOpen(false);
  InvalidateRect(window, nullptr, FALSE);
  return DefWindowProcW(window, WM_ACTIVATE, wParam, lParam);
}

LRESULT OnSetFocus(HWND window, WPARAM wParam, LPARAM lParam) {
  if (Console().inputLine == nullptr) return DefWindowProcW(window, WM_SETFOCUS, wParam, lParam);
  SetFocus(Console().inputLine);
  return 0;
}

void PaintView(HDC dc, int width, int height) {
  if (Console().startupPending) {
    PaintStartupView(dc, width, height);
  } else {
    PaintConsoleView(dc, width, height);
  }
  PaintTitleBar(dc, width);
}

LRESULT OnPaint(HWND window) {
  const UniquePaintDC paint = PaintDC(window);
  const HDC dc = paint.get();
  const SIZE size = ClientSize(window);
  if (size.cx > 0 && size.cy > 0) {
    const UniqueMemoryDC memory(CreateCompatibleDC(dc));
    const UniqueBitmap bitmap(memory ? CreateCompatibleBitmap(dc, size.cx, size.cy) : nullptr);
    if (bitmap) {
      const SelectedObject selected(memory.get(), bitmap.get());
      PaintView(memory.get(), size.cx, size.cy);
      BitBlt(dc, 0, 0, size.cx, size.cy, memory.get(), 0, 0, SRCCOPY);
    } else {
      const RECT client{0, 0, size.cx, size.cy};
      FillRect(dc, &client, SharedBrushes.background.get());
      PaintTitleBar(dc, size.cx);
    }
  }
  return 0;
}

// Closing waits for a running script call to end or be cut off.
LRESULT OnClose(HWND window) {
  if (ScriptCallRunning()) {
    DeferClose();
    return 0;
  }
  DestroyWindow(window);
  return 0;
}

LRESULT OnGetMinMaxInfo(LPARAM lParam) {
  RECT frame{0, 0, ScaleAt(kMinClientSize.cx, CurrentDpi), ScaleAt(kMinClientSize.cy, CurrentDpi)};
  AdjustFrameRect(frame, CurrentDpi);
  auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
  info->ptMinTrackSize = {Width(frame), Height(frame)};
  return 0;
}

LRESULT OnNcHitTest(HWND window, WPARAM wParam, LPARAM lParam) {
  POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  ScreenToClient(window, &point);
  const TitleHit hit = HitTitleBar(point, ClientSize(window).cx, CurrentDpi);
  if (hit == TitleHit::kOutside) return DefWindowProcW(window, WM_NCHITTEST, wParam, lParam);
  return hit == TitleHit::kCaption ? HTCAPTION : HTCLIENT;
}

LRESULT OnTimer(HWND window, WPARAM id, LPARAM lParam) {
  switch (id) {
    case kTypingTimer: OnTypingTimer(window); return 0;
    case kFadeTimer: OnFadeTimer(window); return 0;
    case kUpdateCheckTimer: OnUpdateCheckTimer(window); return 0;
    default: return DefWindowProcW(window, WM_TIMER, id, lParam);
  }
}

LRESULT OnControlColor(WPARAM wParam, LPARAM lParam) {
  const HDC dc = reinterpret_cast<HDC>(wParam);
  const bool input = reinterpret_cast<HWND>(lParam) == Console().inputLine;
  SetTextColor(dc, kTextColor);
  SetBkMode(dc, OPAQUE);
  SetBkColor(dc, input ? kBackgroundColor : kDimColor);
  return reinterpret_cast<LRESULT>(input ? SharedBrushes.input.get() : SharedBrushes.dim.get());
}

LRESULT OnLeftButtonDown(HWND window, LPARAM lParam) {
  const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  const SIZE client = ClientSize(window);
  const RECT menuButton = ComputeInputRow(ComputePanels(client.cx, client.cy, CurrentMetrics()).inputRow,
                                          CurrentMetrics()).menuButton;
  switch (HitTitleBar(point, client.cx, CurrentDpi)) {
    case TitleHit::kClose: PostMessageW(window, WM_CLOSE, 0, 0); return 0;
    case TitleHit::kMinimize: ShowWindow(window, SW_MINIMIZE); return 0;
    case TitleHit::kPin: TogglePin(window); return 0;
    default: break;
  }
  if (PtInRect(&menuButton, point)) {
    if (Console().menuOpen) {
      HideConsoleMenu(true);
    } else {
      if (ConsoleMenu.show) ConsoleMenu.show(menuButton);
    }
  } else if (Console().menuOpen) {
    HideConsoleMenu(true);
  } else if (Console().inputLine) {
    SetFocus(Console().inputLine);
  }
  return 0;
}

LRESULT OnDpiChanged(HWND window, WPARAM wParam, LPARAM lParam) {
  HideMenuIfOpen(false);
  CurrentDpi = HIWORD(wParam);
  RefreshFonts();
  if (const auto* suggested = reinterpret_cast<const RECT*>(lParam)) {
    SetWindowPos(window, nullptr, suggested->left, suggested->top, Width(*suggested), Height(*suggested),
                 SWP_NOACTIVATE | SWP_NOZORDER);
  }
  RelayoutAfterChange(window);
  return 0;
}

LRESULT OnUpdateChecked(WPARAM result) {
  ConsoleState& console = Console();
  const std::wstring failure = UpdateFailureText(static_cast<UpdateCheckResult>(result));
  console.updateCheck = {failure.empty() ? UpdateCheckStage::kNothingNewer : UpdateCheckStage::kFailed, failure};
  return 0;
}

LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam) {
  if (HIWORD(wParam) == EN_MAXTEXT && LOWORD(wParam) == kInputLineId) NoteInputCut();
  return DefWindowProcW(window, WM_COMMAND, wParam, lParam);
}

// The global hotkey: in front it hides the window, otherwise it brings the
// window back, restored, in front, with the focus in the input line.
LRESULT OnHotkey(HWND window) {
  const bool visible = IsWindowVisible(window) != FALSE;
  switch (DecideHotkeyAction(visible, IsIconic(window) != FALSE, GetForegroundWindow() == window)) {
    case HotkeyAction::kHide:
      HideMenuIfOpen(false);
      ShowWindow(window, SW_HIDE);
      return 0;
    case HotkeyAction::kShow:
      if (!visible) ShowWindow(window, SW_SHOW);
      if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
      SetForegroundWindow(window);
      if (Console().inputLine) SetFocus(Console().inputLine);
      return 0;
  }
  return 0;
}

LRESULT OnUpdateAvailable(LPARAM lParam) {
  const std::unique_ptr<UpdateNotice> notice = TakeUpdateNotice(lParam);
  ConsoleState& console = Console();
  if (notice == nullptr || console.updateNoticeShown) return 0;
  console.updateNoticeShown = true;
  console.updateDownloadUrl = notice->pageUrl;
  console.updateCheck = {UpdateCheckStage::kNothingNewer, {}};
  AppendOutput(L"[更新] 发现新版本 v" + notice->latestVersion + L"（当前 v" + kProgramVersion + L"）\r\n");
  AppendOutput(L"[更新] 输入 update 打开下载页面。\r\n\r\n");
  return 0;
}

}  // namespace

LayoutMetrics CurrentMetrics() { return {CurrentDpi, Console().lineHeight, Console().charWidth}; }

SIZE ClientSize(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  return {client.right - client.left, client.bottom - client.top};
}

InputRowParts CurrentInputRow(HWND window, const RECT& row) {
  const std::wstring prompt = PromptText();
  int promptWidth = 0;
  if (prompt.size() > 1) {
    const UniqueWindowDC dc = WindowDC(window);
    const SelectedObject font(dc.get(), Console().uiFont.get());
    SIZE size{};
    if (dc && GetTextExtentPoint32W(dc.get(), prompt.c_str(), static_cast<int>(prompt.size()), &size)) {
      promptWidth = size.cx;
    }
  }
  return ComputeInputRow(row, CurrentMetrics(), promptWidth);
}

HotkeyAction DecideHotkeyAction(bool visible, bool minimized, bool foreground) {
  return visible && !minimized && foreground ? HotkeyAction::kHide : HotkeyAction::kShow;
}

void LayoutControls(HWND window) {
  const ConsoleState& console = Console();
  const SIZE client = ClientSize(window);
  const Panels panels = ComputePanels(client.cx, client.cy, CurrentMetrics());
  const RECT view = ComputeOutputViewRect(panels.output, CurrentDpi);
  const RECT edit = CurrentInputRow(window, panels.inputRow).edit;
  if (console.outputView) MoveWindow(console.outputView, view.left, view.top, Width(view), Height(view), TRUE);
  if (console.inputLine) {
    MoveWindow(console.inputLine, edit.left, edit.top, Width(edit) > 0 ? Width(edit) : 1, Height(edit), TRUE);
  }
}

LRESULT CALLBACK ConsoleWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  switch (message) {
    case WM_CREATE: return OnCreate(window);
    case WM_DESTROY: return OnDestroy(window);
    case WM_MOVE: return OnMove(window, wParam, lParam);
    case WM_SIZE: return OnSize(window, wParam);
    case WM_ACTIVATE: return OnActivate(window, wParam, lParam);
    case WM_SETFOCUS: return OnSetFocus(window, wParam, lParam);
    case WM_PAINT: return OnPaint(window);
    case WM_CLOSE: return OnClose(window);
    case WM_ERASEBKGND: return 1;
    case WM_GETMINMAXINFO: return OnGetMinMaxInfo(lParam);
    case WM_NCHITTEST: return OnNcHitTest(window, wParam, lParam);
    case WM_TIMER: return OnTimer(window, wParam, lParam);
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: return OnControlColor(wParam, lParam);
    case WM_LBUTTONDOWN: return OnLeftButtonDown(window, lParam);
    case WM_DPICHANGED: return OnDpiChanged(window, wParam, lParam);
    case UpdateAvailableMessage: return OnUpdateAvailable(lParam);
    case UpdateCheckedMessage: return OnUpdateChecked(wParam);
    case WM_COMMAND: return OnCommand(window, wParam, lParam);
    case WM_HOTKEY: return OnHotkey(window);
    case kReplayDeferredMessage: ReplayNextDeferredMessage(); return 0;
    default: return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace qv
