// The plugin manager ("插件管理"): a small owned pop-up listing every plugin.
// A click on a row switches that plugin at once and saves the disabled list;
// Escape (confirmed) goes back to the state of the moment the window opened.
#include "windows/manager_window.h"

#include <windowsx.h>

#include <optional>
#include <string>

#include "base/files.h"
#include "console/globals.h"
#include "base/handles.h"
#include "console/appearance.h"
#include "console/console_state.h"
#include "console/output_buffer.h"
#include "windows/layout.h"
#include "windows/menu_window.h"
#include "host/commands.h"
#include "host/enable_state.h"
#include "host/loading.h"

namespace qv {

namespace {

constexpr wchar_t kManagerTitle[] = L"插件管理";
constexpr wchar_t kManagerScript[] = L"plugin-manager.lua";
constexpr wchar_t kDiscardQuestion[] = L"放弃本次修改并关闭？\n\n本次对插件启用状态的更改不会被保存。";
constexpr wchar_t kHintText[] = L"点击行切换，Esc 放弃修改";
// Started when the owner, the console, becomes active (as right after the
// "manager" command, which gives the focus back to the input line); when it
// fires the window is raised above the console again. Windows keeps an owned
// window above its owner anyway; Wine lets the activated owner cover it a
// moment after the activation, so the raise has to wait a little.
constexpr UINT_PTR kKeepAboveOwnerTimer = 1;
constexpr UINT kKeepAboveOwnerDelayMs = 100;

// The one manager window's list: how many rows fit (fixed when it opens, so
// that the window stays inside the work area) and where it is scrolled to,
// and a drag of the scroll bar's thumb.
struct ManagerView {
  int visibleRows = 0;
  int top = 0;
  bool dragging = false;
  int grabOffset = 0;  // from the thumb's top to the pointer
};

ManagerView& View() {
  static ManagerView view;
  return view;
}

ListScroll CurrentList() {
  ListScroll list;
  list.count = GlobalHost ? static_cast<int>(GlobalHost->pluginList.size()) : 0;
  list.visible = View().visibleRows;
  list.top = ClampScrollTop(list, View().top);
  return list;
}

RECT ClientRect(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  return client;
}

RECT TrackRect(HWND window) {
  return ScrollTrackRect(ManagerListRect(ClientRect(window), View().visibleRows, CurrentDpi), CurrentDpi);
}

void ScrollTo(HWND window, int top) {
  const int clamped = ClampScrollTop(CurrentList(), top);
  if (clamped == View().top) return;
  View().top = clamped;
  InvalidateRect(window, nullptr, FALSE);
}

void DrawScrollBar(HDC dc, const RECT& client, const ListScroll& list) {
  if (!Scrolls(list)) return;
  const RECT track = ScrollTrackRect(ManagerListRect(client, list.visible, CurrentDpi), CurrentDpi);
  FillRect(dc, &track, SharedBrushes.highlight.get());
  const RECT thumb = ScrollThumbRect(track, list, ScaleAt(kMinScrollThumb, CurrentDpi));
  FillRect(dc, &thumb, SharedBrushes.border.get());
}

void DrawButton(HDC dc, const RECT& button, const wchar_t* text) {
  FrameRect(dc, &button, SharedBrushes.border.get());
  DrawTextLine(dc, Console().uiFont.get(), text, button, kTextColor, DT_VCENTER | DT_CENTER);
}

void DrawRow(HDC dc, const RECT& client, int index, const PluginSummary& summary) {
  const RECT row = ManagerRowRect(client, index, CurrentDpi);
  if (!summary.enabled) FillRect(dc, &row, SharedBrushes.dim.get());
  DrawTextLine(dc, Console().uiFont.get(), PluginRowLabel(summary), ManagerLabelRect(row, CurrentDpi),
               summary.enabled ? kTextColor : kDimTextColor, DT_VCENTER);
  DrawTextLine(dc, Console().uiFont.get(), PluginStateText(summary), ManagerStateRect(row, CurrentDpi), kDimTextColor,
               DT_VCENTER | DT_RIGHT);
  const RECT separator = ManagerSeparatorRect(row);
  FillRect(dc, &separator, SharedBrushes.border.get());
}

void OnPaint(HWND window) {
  const UniquePaintDC paint = PaintDC(window);
  const HDC dc = paint.get();
  const RECT client = PaintFramedClient(dc, window, SharedBrushes.background.get());
  DrawTextLine(dc, TitleFont(), kManagerTitle, ManagerTitleRect(client, CurrentDpi), kTextColor, DT_VCENTER);
  if (GlobalHost) {
    const auto& rows = GlobalHost->pluginList;
    const ListScroll list = CurrentList();
    for (int slot = 0; slot < list.visible && list.top + slot < list.count; ++slot) {
      DrawRow(dc, client, slot, rows[static_cast<size_t>(list.top + slot)]);
    }
    DrawScrollBar(dc, client, list);
    const ManagerFooter footer = ManagerFooterRects(client, CurrentDpi);
    DrawTextLine(dc, Console().uiFont.get(), kHintText, footer.hint, kDimTextColor, DT_VCENTER);
    DrawButton(dc, footer.apply, L"应用并重启");
    DrawButton(dc, footer.close, L"关闭");
  }
}

bool AskYesNo(HWND window, const std::wstring& text, UINT icon) {
  return MessageBoxW(window, text.c_str(), kManagerTitle, MB_YESNO | icon | MB_DEFBUTTON2) == IDYES;
}

void OnApply(HWND window) {
  const bool managerDisabled = GlobalHost && IsPluginDisabled(kManagerScript);
  const UINT icon = managerDisabled ? MB_ICONWARNING : MB_ICONQUESTION;
  if (AskYesNo(window, RestartQuestionText(managerDisabled, PluginsDirectory()), icon)) RestartProgram();
}

void OnRowClick(HWND window, int index) {
  if (ScriptCallRunning()) return;
  // A copy: switching rebuilds the list that the row lives in.
  const PluginSummary row = GlobalHost->pluginList[static_cast<size_t>(index)];
  if (IsBasicScript(row.name)) return;
  if (Console().menuOpen) HideMenuWindow(false);
  SetPluginEnabledAndSave(*GlobalHost, row.name, !row.enabled);
  InvalidateRect(window, nullptr, TRUE);
  if (MainWindow) InvalidateRect(MainWindow, nullptr, FALSE);
}

// A click on the thumb starts a drag; above or below it pages.
void OnScrollBarClick(HWND window, int y) {
  const ListScroll list = CurrentList();
  const RECT thumb = ScrollThumbRect(TrackRect(window), list, ScaleAt(kMinScrollThumb, CurrentDpi));
  if (y < thumb.top) {
    ScrollTo(window, *ScrollTopForKey(list, VK_PRIOR));
  } else if (y >= thumb.bottom) {
    ScrollTo(window, *ScrollTopForKey(list, VK_NEXT));
  } else {
    View().dragging = true;
    View().grabOffset = y - thumb.top;
    SetCapture(window);
  }
}

LRESULT OnLeftButtonDown(HWND window, LPARAM lParam) {
  const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  const ManagerHit hit = ManagerHitTest(ClientRect(window), point, CurrentList(), GlobalHost != nullptr, CurrentDpi);
  switch (hit.target) {
    case ManagerTarget::Apply: OnApply(window); break;
    case ManagerTarget::Close: DestroyWindow(window); break;
    case ManagerTarget::Row: OnRowClick(window, hit.row); break;
    case ManagerTarget::ScrollBar: OnScrollBarClick(window, point.y); break;
    case ManagerTarget::Nothing: break;
  }
  return 0;
}

LRESULT OnMouseMove(HWND window, LPARAM lParam) {
  if (!View().dragging) return 0;
  const int thumbTop = GET_Y_LPARAM(lParam) - View().grabOffset;
  ScrollTo(window, ScrollTopForThumb(TrackRect(window), CurrentList(), ScaleAt(kMinScrollThumb, CurrentDpi), thumbTop));
  return 0;
}

LRESULT OnLeftButtonUp() {
  if (View().dragging) ReleaseCapture();
  return 0;
}

LRESULT OnCaptureChanged() {
  View().dragging = false;
  return 0;
}

LRESULT OnMouseWheel(HWND window, WPARAM wParam) {
  ScrollTo(window, ScrollTopForWheel(CurrentList(), GET_WHEEL_DELTA_WPARAM(wParam)));
  return 0;
}

LRESULT OnKeyDown(HWND window, WPARAM key, LPARAM lParam) {
  if (const std::optional<int> top = ScrollTopForKey(CurrentList(), static_cast<UINT>(key))) {
    ScrollTo(window, *top);
    return 0;
  }
  if (key != VK_ESCAPE) return DefWindowProcW(window, WM_KEYDOWN, key, lParam);
  if (ScriptCallRunning()) return 0;
  if (AskYesNo(window, kDiscardQuestion, MB_ICONQUESTION)) {
    if (GlobalHost) RevertToEnableSnapshot(*GlobalHost);
    DestroyWindow(window);
    if (MainWindow) InvalidateRect(MainWindow, nullptr, FALSE);
  }
  return 0;
}

LRESULT OnActivate(HWND window, WPARAM wParam, LPARAM lParam) {
  const HWND activated = reinterpret_cast<HWND>(lParam);
  if (LOWORD(wParam) == WA_INACTIVE && activated && activated == GetWindow(window, GW_OWNER)) {
    SetTimer(window, kKeepAboveOwnerTimer, kKeepAboveOwnerDelayMs, nullptr);
  }
  return DefWindowProcW(window, WM_ACTIVATE, wParam, lParam);
}

LRESULT OnTimer(HWND window, WPARAM id) {
  if (id != kKeepAboveOwnerTimer) return 0;
  KillTimer(window, kKeepAboveOwnerTimer);
  SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  return 0;
}

LRESULT OnNcDestroy(HWND window, WPARAM wParam, LPARAM lParam) {
  if (Console().pluginManagerWindow == window) Console().pluginManagerWindow = nullptr;
  return DefWindowProcW(window, WM_NCDESTROY, wParam, lParam);
}

void ReportRestartFailure(const std::wstring& executable) {
  AppendOutput(L"无法重新启动程序：" + executable + L"\r\n\r\n");
}

}  // namespace

LRESULT CALLBACK ManagerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  switch (message) {
    case WM_PAINT: OnPaint(window); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_KEYDOWN: return OnKeyDown(window, wParam, lParam);
    case WM_LBUTTONDOWN: return OnLeftButtonDown(window, lParam);
    case WM_LBUTTONUP: return OnLeftButtonUp();
    case WM_MOUSEMOVE: return OnMouseMove(window, lParam);
    case WM_MOUSEWHEEL: return OnMouseWheel(window, wParam);
    case WM_CAPTURECHANGED: return OnCaptureChanged();
    case WM_NCDESTROY: return OnNcDestroy(window, wParam, lParam);
    case WM_ACTIVATE: return OnActivate(window, wParam, lParam);
    case WM_TIMER: return OnTimer(window, wParam);
    default: return DefWindowProcW(window, message, wParam, lParam);
  }
}

void OpenPluginManager() {
  if (MainWindow == nullptr) return;
  ConsoleState& console = Console();
  if (console.pluginManagerWindow && IsWindow(console.pluginManagerWindow)) {
    SetForegroundWindow(console.pluginManagerWindow);
    return;
  }
  RECT client;
  GetClientRect(MainWindow, &client);
  POINT origin{0, 0};
  ClientToScreen(MainWindow, &origin);
  OffsetRect(&client, origin.x, origin.y);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  GetMonitorInfoW(MonitorFromWindow(MainWindow, MONITOR_DEFAULTTONEAREST), &monitor);
  const RECT& work = monitor.rcWork;
  const size_t rows = GlobalHost ? GlobalHost->pluginList.size() : 0;
  View() = ManagerView{};
  View().visibleRows = ManagerVisibleRows(rows, work.bottom - work.top, CurrentDpi);
  const SIZE size = ManagerWindowSize(static_cast<size_t>(View().visibleRows), CurrentDpi);
  const POINT position = KeepInsideWorkArea(ManagerWindowOrigin(client, size), size, work);
  if (GlobalHost) TakeEnableSnapshot(*GlobalHost);
  HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, kManagerWindowClass, kManagerTitle, WS_POPUP | WS_BORDER,
                                position.x, position.y, size.cx, size.cy, MainWindow, nullptr, AppInstance, nullptr);
  console.pluginManagerWindow = window;
  if (window == nullptr) return;
  ShowWindow(window, SW_SHOW);
  SetForegroundWindow(window);
  SetFocus(window);
  InvalidateRect(window, nullptr, TRUE);
}

bool IsPluginDisabled(const std::wstring& fileName) {
  if (!GlobalHost) return false;
  const PluginRecord* record = FindPlugin(*GlobalHost, fileName);
  return record != nullptr && record->disabled;
}

bool RestartProgramFrom(const std::wstring& executable) {
  InstanceGuard.reset();
  // The quoted path as the command line gives the new process a proper argv[0]
  // also when the path contains spaces.
  std::wstring commandLine = L"\"" + executable + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(executable.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    // This process goes on running, so it takes the single-instance rule back.
    InstanceGuard.reset(CreateMutexW(nullptr, FALSE, kInstanceMutexName));
    ReportRestartFailure(executable);
    return false;
  }
  // Nothing waits for the new process: its handles are closed right away.
  const UniqueHandle thread(process.hThread);
  const UniqueHandle newProcess(process.hProcess);
  if (MainWindow) PostMessageW(MainWindow, WM_CLOSE, 0, 0);
  return true;
}

void RestartProgram() {
  const std::wstring executable = ExecutablePath();
  if (executable == L"未知") return;  // the path could not be read: nothing is restarted or closed
  RestartProgramFrom(executable);
}

}  // namespace qv
