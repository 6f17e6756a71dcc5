#include "windows/layout.h"

#include <algorithm>

#include "base/dpi.h"
#include "base/text.h"
#include "host/enable_state.h"
#include "host/loading.h"

namespace qv {

namespace {

// Menu window (96-DPI pixels).
constexpr int kMenuWidth = 210;
constexpr int kMenuTopInset = 2;
constexpr int kMenuFrameHeight = 4;
constexpr int kMenuMinRowHeight = 26;
constexpr int kMenuRowPadding = 12;
constexpr int kMenuLabelLeft = 12;
constexpr int kMenuLabelRight = 8;
constexpr int kMenuGapAboveButton = 6;

// Plugin manager window (96-DPI pixels).
constexpr int kManagerWidth = 440;
constexpr int kManagerHeaderHeight = 70;
constexpr int kManagerFooterHeight = 50;
constexpr int kManagerListTop = 48;
constexpr int kManagerRowHeight = 34;
constexpr int kManagerTextInset = 14;
constexpr int kManagerStateWidth = 200;
constexpr int kManagerTitleInset = 16;
constexpr int kManagerTitleTop = 10;
constexpr int kManagerTitleBottom = 38;
constexpr int kCloseButtonWidth = 76;
constexpr int kApplyButtonWidth = 118;
constexpr int kButtonHeight = 28;
constexpr int kButtonBottomGap = 12;
constexpr int kButtonGap = 10;
constexpr int kHintTop = 42;
constexpr int kHintBottom = 14;
constexpr int kHintGap = 12;

}  // namespace

RECT ScrollTrackRect(const RECT& list, int dpi) {
  const int right = list.right - ScaleAt(kScrollBarGap, dpi);
  return RECT{right - ScaleAt(kScrollBarWidth, dpi), list.top + ScaleAt(kScrollBarGap, dpi), right,
              list.bottom - ScaleAt(kScrollBarGap, dpi)};
}

// ---- Menu window --------------------------------------------------------------

int MenuRowHeight(int lineHeight, int dpi) {
  return std::max(lineHeight + ScaleAt(kMenuRowPadding, dpi), ScaleAt(kMenuMinRowHeight, dpi));
}

int VisibleMenuEntryCount(std::size_t itemCount) {
  return static_cast<int>(std::min<std::size_t>(itemCount, kMaxMenuRows));
}

SIZE MenuWindowSize(std::size_t itemCount, int lineHeight, int dpi) {
  const int rows = std::max(VisibleMenuEntryCount(itemCount), 1);
  return SIZE{ScaleAt(kMenuWidth, dpi), rows * MenuRowHeight(lineHeight, dpi) + ScaleAt(kMenuFrameHeight, dpi)};
}

RECT ComputeMenuPlacement(const RECT& menuButton, int width, int height, int itemCount, const LayoutMetrics& m) {
  const int margin = ScaleAt(kPanelMargin, m.dpi);
  const SIZE size = MenuWindowSize(static_cast<std::size_t>(std::max(itemCount, 0)), m.lineHeight, m.dpi);
  const int menuWidth = size.cx;
  const int menuHeight = size.cy;
  int x = menuButton.right - menuWidth;
  if (menuButton.right > width - margin) x = width - margin - menuWidth;
  x = std::max(x, margin);
  int y = std::max(static_cast<int>(menuButton.top) - menuHeight - ScaleAt(kMenuGapAboveButton, m.dpi), margin);
  if (y + menuHeight > height - margin) y = std::max(height - margin - menuHeight, margin);
  return {x, y, x + menuWidth, y + menuHeight};
}

RECT MenuRowRect(const RECT& client, int index, int rowHeight, int dpi) {
  const int top = ScaleAt(kMenuTopInset, dpi) + rowHeight * index;
  return RECT{1, top, client.right - 1, top + rowHeight};
}

RECT MenuLabelRect(const RECT& row, int dpi, bool scrolls) {
  const int scrollBar = scrolls ? ScaleAt(kScrollBarWidth + kScrollBarGap, dpi) : 0;
  return RECT{row.left + ScaleAt(kMenuLabelLeft, dpi), row.top, row.right - ScaleAt(kMenuLabelRight, dpi) - scrollBar,
              row.bottom};
}

RECT MenuListRect(const RECT& client, int visibleCount, int rowHeight, int dpi) {
  const RECT first = MenuRowRect(client, 0, rowHeight, dpi);
  return RECT{first.left, first.top, first.right, first.top + rowHeight * visibleCount};
}

RECT MenuEmptyTextRect(const RECT& client, int rowHeight, int dpi) {
  const int top = ScaleAt(kMenuTopInset, dpi);
  return RECT{1, top, client.right - 1, top + rowHeight};
}

int MenuRowAt(int y, int visibleCount, int rowHeight, int dpi) {
  const int top = ScaleAt(kMenuTopInset, dpi);
  if (y < top || rowHeight <= 0) return -1;
  const int index = (y - top) / rowHeight;
  return index < visibleCount ? index : -1;
}

// ---- Plugin manager window ------------------------------------------------------

SIZE ManagerWindowSize(std::size_t rowCount, int dpi) {
  const int rows = static_cast<int>(rowCount);
  return SIZE{ScaleAt(kManagerWidth, dpi), ScaleAt(kManagerHeaderHeight, dpi) +
                                               ScaleAt(kManagerRowHeight, dpi) * rows +
                                               ScaleAt(kManagerFooterHeight, dpi)};
}

int ManagerVisibleRows(std::size_t rowCount, int maxHeight, int dpi) {
  const int fixed = ScaleAt(kManagerHeaderHeight, dpi) + ScaleAt(kManagerFooterHeight, dpi);
  const int fit = std::max((maxHeight - fixed) / ScaleAt(kManagerRowHeight, dpi), 1);
  return static_cast<int>(std::min<std::size_t>(rowCount, static_cast<std::size_t>(fit)));
}

POINT KeepInsideWorkArea(POINT origin, SIZE size, const RECT& workArea) {
  const auto keep = [](LONG at, LONG length, LONG low, LONG high) {
    return std::max(std::min(at, high - length), low);
  };
  return POINT{keep(origin.x, size.cx, workArea.left, workArea.right),
               keep(origin.y, size.cy, workArea.top, workArea.bottom)};
}

POINT ManagerWindowOrigin(const RECT& consoleClientOnScreen, SIZE size) {
  const int width = consoleClientOnScreen.right - consoleClientOnScreen.left;
  const int height = consoleClientOnScreen.bottom - consoleClientOnScreen.top;
  return POINT{consoleClientOnScreen.left + (width - size.cx) / 2, consoleClientOnScreen.top + (height - size.cy) / 2};
}

RECT ManagerTitleRect(const RECT& client, int dpi) {
  return RECT{ScaleAt(kManagerTitleInset, dpi), ScaleAt(kManagerTitleTop, dpi),
              client.right - ScaleAt(kManagerTitleInset, dpi), ScaleAt(kManagerTitleBottom, dpi)};
}

RECT ManagerRowRect(const RECT& client, int index, int dpi) {
  const int listTop = ScaleAt(kManagerListTop, dpi);
  const int rowHeight = ScaleAt(kManagerRowHeight, dpi);
  return RECT{ScaleAt(1, dpi), listTop + rowHeight * index, client.right - ScaleAt(1, dpi),
              listTop + rowHeight * (index + 1)};
}

RECT ManagerListRect(const RECT& client, int visibleRows, int dpi) {
  const RECT first = ManagerRowRect(client, 0, dpi);
  return RECT{first.left, first.top, first.right, first.top + ScaleAt(kManagerRowHeight, dpi) * visibleRows};
}

RECT ManagerLabelRect(const RECT& row, int dpi) {
  return RECT{row.left + ScaleAt(kManagerTextInset, dpi), row.top, row.right - ScaleAt(kManagerStateWidth, dpi),
              row.bottom};
}

RECT ManagerStateRect(const RECT& row, int dpi) {
  return RECT{row.right - ScaleAt(kManagerStateWidth, dpi), row.top, row.right - ScaleAt(kManagerTextInset, dpi),
              row.bottom};
}

RECT ManagerSeparatorRect(const RECT& row) { return RECT{row.left, row.bottom - 1, row.right, row.bottom}; }

ManagerFooter ManagerFooterRects(const RECT& client, int dpi) {
  ManagerFooter footer{};
  footer.close.right = client.right - ScaleAt(kManagerTextInset, dpi);
  footer.close.left = footer.close.right - ScaleAt(kCloseButtonWidth, dpi);
  footer.close.bottom = client.bottom - ScaleAt(kButtonBottomGap, dpi);
  footer.close.top = footer.close.bottom - ScaleAt(kButtonHeight, dpi);
  footer.apply.top = footer.close.top;
  footer.apply.bottom = footer.close.bottom;
  footer.apply.right = footer.close.left - ScaleAt(kButtonGap, dpi);
  footer.apply.left = footer.apply.right - ScaleAt(kApplyButtonWidth, dpi);
  footer.hint = RECT{ScaleAt(kManagerTitleInset, dpi), client.bottom - ScaleAt(kHintTop, dpi),
                     footer.apply.left - ScaleAt(kHintGap, dpi), client.bottom - ScaleAt(kHintBottom, dpi)};
  return footer;
}

int ManagerRowAt(int y, std::size_t slotCount, int dpi) {
  const int listTop = ScaleAt(kManagerListTop, dpi);
  if (y < listTop) return -1;
  const std::size_t index = static_cast<std::size_t>((y - listTop) / ScaleAt(kManagerRowHeight, dpi));
  return index < slotCount ? static_cast<int>(index) : -1;
}

ManagerHit ManagerHitTest(const RECT& client, POINT p, const ListScroll& list, bool hasHost, int dpi) {
  const ManagerFooter footer = ManagerFooterRects(client, dpi);
  if (PtInRect(&footer.apply, p)) return ManagerHit{ManagerTarget::Apply, -1};
  if (PtInRect(&footer.close, p)) return ManagerHit{ManagerTarget::Close, -1};
  if (!hasHost) return ManagerHit{};
  const int slots = std::min(list.visible, list.count);
  const RECT shown = ManagerListRect(client, slots, dpi);
  if (Scrolls(list) && PtInRect(&shown, p) && p.x >= ScrollTrackRect(shown, dpi).left) {
    return ManagerHit{ManagerTarget::ScrollBar, -1};
  }
  const int slot = ManagerRowAt(p.y, static_cast<std::size_t>(std::max(slots, 0)), dpi);
  if (slot < 0 || list.top + slot >= list.count) return ManagerHit{};
  return ManagerHit{ManagerTarget::Row, list.top + slot};
}

std::wstring PluginRowLabel(const PluginSummary& row) { return (row.enabled ? L"[x] " : L"[ ] ") + row.name; }

std::wstring PluginStateText(const PluginSummary& row) {
  if (IsBasicScript(row.name)) return L"必需，不可关闭";
  if (!row.enabled) return L"已禁用";
  if (!row.ok) return L"加载失败";
  return DecimalText(row.commands) + L" 条命令";
}

std::wstring RestartQuestionText(bool managerDisabled, const std::wstring& pluginsDir) {
  if (!managerDisabled) return L"保存修改并重启程序？\n\n程序会立即退出，然后自动重新启动。";
  return L"插件管理器本身也被禁用了。\n\n重启后将无法再通过界面打开它。要恢复，请用记事本打开：\n\n" +
         DisabledListPath(pluginsDir) + L"\n\n删除其中的 plugin-manager.lua 这一行并保存。\n\n仍要重启吗？";
}

}  // namespace qv
