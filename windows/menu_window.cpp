// The drop-up menu: a hidden child of the console window, shown by the "v"
// button. It holds the mouse capture while open, so clicks outside it arrive
// here and close it.
#include "windows/menu_window.h"

#include <windowsx.h>

#include <optional>
#include <string>

#include "console/globals.h"
#include "base/handles.h"
#include "console/command_line.h"
#include "console/appearance.h"
#include "console/console_state.h"
#include "console/console_window.h"
#include "windows/layout.h"

namespace qv {

namespace {

constexpr COLORREF kMenuTextColor = kTextColor;
constexpr COLORREF kEmptyMenuTextColor = kDimTextColor;

// Where the open menu's list is scrolled to, and a drag of its thumb.
struct MenuView {
  int top = 0;
  bool dragging = false;
  int grabOffset = 0;
};

MenuView& View() {
  static MenuView view;
  return view;
}

int EntryCount() { return GlobalHost ? static_cast<int>(GlobalHost->menuItems.size()) : 0; }

int VisibleEntries() { return VisibleMenuEntryCount(static_cast<std::size_t>(EntryCount())); }

int CurrentRowHeight() { return MenuRowHeight(Console().lineHeight, CurrentDpi); }

ListScroll CurrentList() {
  ListScroll list{EntryCount(), VisibleEntries(), 0};
  list.top = ClampScrollTop(list, View().top);
  return list;
}

RECT TrackRect(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  return ScrollTrackRect(MenuListRect(client, VisibleEntries(), CurrentRowHeight(), CurrentDpi), CurrentDpi);
}

int MinThumb() { return ScaleAt(kMinScrollThumb, CurrentDpi); }

void ScrollTo(HWND window, int top) {
  const int clamped = ClampScrollTop(CurrentList(), top);
  if (clamped == View().top) return;
  View().top = clamped;
  InvalidateRect(window, nullptr, FALSE);
}

void OnPaint(HWND window) {
  const UniquePaintDC paint = PaintDC(window);
  const HDC dc = paint.get();
  const RECT client = PaintFramedClient(dc, window, SharedBrushes.dim.get());
  const HFONT font = Console().uiFont.get();
  const int rowHeight = CurrentRowHeight();
  const ListScroll list = CurrentList();
  if (list.visible > 0) {
    const int highlighted = Console().highlightedRow;
    for (int slot = 0; slot < list.visible && list.top + slot < list.count; ++slot) {
      const int index = list.top + slot;
      const RECT row = MenuRowRect(client, slot, rowHeight, CurrentDpi);
      if (index == highlighted) FillRect(dc, &row, SharedBrushes.highlight.get());
      DrawTextLine(dc, font, GlobalHost->menuItems[static_cast<size_t>(index)].label,
                   MenuLabelRect(row, CurrentDpi, Scrolls(list)), kMenuTextColor, DT_VCENTER);
    }
    if (Scrolls(list)) {
      const RECT track = TrackRect(window);
      FillRect(dc, &track, SharedBrushes.highlight.get());
      const RECT thumb = ScrollThumbRect(track, list, MinThumb());
      FillRect(dc, &thumb, SharedBrushes.border.get());
    }
  } else {
    DrawTextLine(dc, font, L"没有可用的菜单项", MenuEmptyTextRect(client, rowHeight, CurrentDpi), kEmptyMenuTextColor,
                 DT_VCENTER | DT_CENTER);
  }
}

LRESULT OnMouseMove(HWND window, LPARAM lParam) {
  if (View().dragging) {
    const int thumbTop = GET_Y_LPARAM(lParam) - View().grabOffset;
    ScrollTo(window, ScrollTopForThumb(TrackRect(window), CurrentList(), MinThumb(), thumbTop));
    return 0;
  }
  const int row = MenuItemAt(GET_Y_LPARAM(lParam));
  if (row != Console().highlightedRow) {
    Console().highlightedRow = row;
    InvalidateRect(window, nullptr, FALSE);
  }
  return 0;
}

// True when the click was on the scroll bar: the thumb starts a drag, the
// track above or below it pages.
bool OnScrollBarClick(HWND window, POINT point) {
  const ListScroll list = CurrentList();
  const RECT track = TrackRect(window);
  if (!Scrolls(list) || point.x < track.left || point.x >= track.right + ScaleAt(kScrollBarGap, CurrentDpi) ||
      point.y < track.top || point.y >= track.bottom) {
    return false;
  }
  const RECT thumb = ScrollThumbRect(track, list, MinThumb());
  if (point.y < thumb.top) {
    ScrollTo(window, *ScrollTopForKey(list, VK_PRIOR));
  } else if (point.y >= thumb.bottom) {
    ScrollTo(window, *ScrollTopForKey(list, VK_NEXT));
  } else {
    View().dragging = true;
    View().grabOffset = point.y - thumb.top;
  }
  return true;
}

LRESULT OnLeftButtonDown(HWND window, LPARAM lParam) {
  if (OnScrollBarClick(window, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)})) return 0;
  const int row = MenuItemAt(GET_Y_LPARAM(lParam));
  if (row >= 0) {
    ChooseMenuItem(row);
  } else if (Console().menuOpen) {
    HideMenuWindow(true);
  }
  return 0;
}

LRESULT OnKeyDown(HWND window, WPARAM key, LPARAM lParam) {
  switch (key) {
    case VK_ESCAPE:
      if (Console().menuOpen) HideMenuWindow(true);
      return 0;
    case VK_RETURN: {
      const int row = Console().highlightedRow;
      ChooseMenuItem(row >= 0 ? row : 0);
      return 0;
    }
    default:
      // The keys scroll the list; the highlight follows the mouse only.
      if (const std::optional<int> top = ScrollTopForKey(CurrentList(), static_cast<UINT>(key))) {
        ScrollTo(window, *top);
        return 0;
      }
      return DefWindowProcW(window, WM_KEYDOWN, key, lParam);
  }
}

// Another window took the capture: close as after a click outside. Our own
// release in HideMenuWindow arrives here with menuOpen already false.
LRESULT OnCaptureChanged(HWND window) {
  ConsoleState& console = Console();
  if (!console.menuOpen) return 0;
  console.menuOpen = false;
  console.highlightedRow = -1;
  ShowWindow(window, SW_HIDE);
  if (MainWindow) InvalidateRect(MainWindow, nullptr, FALSE);
  if (console.inputLine) SetFocus(console.inputLine);
  return 0;
}

LRESULT OnNcDestroy(HWND window, WPARAM wParam, LPARAM lParam) {
  if (Console().menuWindow == window) Console().menuWindow = nullptr;
  return DefWindowProcW(window, WM_NCDESTROY, wParam, lParam);
}

}  // namespace

LRESULT CALLBACK MenuWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  switch (message) {
    case WM_PAINT: OnPaint(window); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_MOUSEMOVE: return OnMouseMove(window, lParam);
    case WM_LBUTTONDOWN: return OnLeftButtonDown(window, lParam);
    case WM_LBUTTONUP: View().dragging = false; return 0;
    case WM_MOUSEWHEEL: ScrollTo(window, ScrollTopForWheel(CurrentList(), GET_WHEEL_DELTA_WPARAM(wParam))); return 0;
    case WM_KEYDOWN: return OnKeyDown(window, wParam, lParam);
    case WM_CAPTURECHANGED: return OnCaptureChanged(window);
    case WM_NCDESTROY: return OnNcDestroy(window, wParam, lParam);
    default: return DefWindowProcW(window, message, wParam, lParam);
  }
}

void ShowMenuWindow(const RECT& menuButton) {
  ConsoleState& console = Console();
  // The menu lists host data that a running call may change; a click that
  // reaches here during a call (through a dialog's own message loop) opens nothing.
  if (console.menuWindow == nullptr || MainWindow == nullptr || ScriptCallRunning()) return;
  const SIZE client = ClientSize(MainWindow);
  const int items = GlobalHost ? static_cast<int>(GlobalHost->menuItems.size()) : 0;
  const RECT r = ComputeMenuPlacement(menuButton, client.cx, client.cy, items, CurrentMetrics());
  SetWindowPos(console.menuWindow, HWND_TOP, r.left, r.top, Width(r), Height(r), SWP_SHOWWINDOW | SWP_NOACTIVATE);
  console.highlightedRow = 0;
  View() = MenuView{};
  console.menuOpen = true;
  SetCapture(console.menuWindow);
  SetFocus(console.menuWindow);
  InvalidateRect(console.menuWindow, nullptr, TRUE);
  InvalidateRect(MainWindow, nullptr, FALSE);
}

void HideMenuWindow(bool returnFocus) {
  ConsoleState& console = Console();
  console.menuOpen = false;
  console.highlightedRow = -1;
  if (console.menuWindow) {
    if (GetCapture() == console.menuWindow) ReleaseCapture();
    ShowWindow(console.menuWindow, SW_HIDE);
  }
  if (returnFocus && console.inputLine) SetFocus(console.inputLine);
  if (MainWindow) InvalidateRect(MainWindow, nullptr, FALSE);
}

int MenuItemAt(int y) {
  if (!GlobalHost) return -1;
  const int slot = MenuRowAt(y, VisibleEntries(), CurrentRowHeight(), CurrentDpi);
  if (slot < 0) return -1;
  const ListScroll list = CurrentList();
  return list.top + slot < list.count ? list.top + slot : -1;
}

void ChooseMenuItem(int index) {
  if (!GlobalHost || index < 0 || index >= EntryCount()) return;
  // A copy: the command may change the menu list while it runs.
  const std::wstring command = GlobalHost->menuItems[index].command;
  if (Console().menuOpen) HideMenuWindow(true);
  ExecuteCommandLine(command);
}

}  // namespace qv
