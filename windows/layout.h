// Layout and texts of the menu and plugin manager windows, as plain functions
// of the DPI and the content, so that they can be checked without a window.
// Every length is given in 96-DPI pixels and scaled term by term.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

#include "console/layout.h"
#include "host/plugin_host.h"
#include "windows/list_scroll.h"

namespace qv {

// The menu shows at most this many rows at once; past that it scrolls.
inline constexpr int kMaxMenuRows = 12;

// The scroll bar of a list that scrolls: a track inside the list's right edge.
// Its width, its gap to that edge, and the shortest thumb (96-DPI pixels).
inline constexpr int kScrollBarWidth = 8;
inline constexpr int kScrollBarGap = 3;
inline constexpr int kMinScrollThumb = 20;
// The track beside a list rectangle.
RECT ScrollTrackRect(const RECT& list, int dpi);

// ---- Menu window --------------------------------------------------------------

// Height of one menu row: the larger of lineHeight + 12 and 26 (scaled).
int MenuRowHeight(int lineHeight, int dpi);
// Rows that the menu shows at once: the item count, at most kMaxMenuRows.
int VisibleMenuEntryCount(std::size_t itemCount);
// Size of the open menu: 210 wide, one row per visible entry (one row when
// there is none) plus 4 for the frame.
SIZE MenuWindowSize(std::size_t itemCount, int lineHeight, int dpi);
// The open menu above the console's menu button (client coordinates of a
// client area width x height), MenuWindowSize large, kept inside the client
// area's margins.
RECT ComputeMenuPlacement(const RECT& menuButton, int width, int height, int itemCount,
                          const LayoutMetrics& metrics);
// Row i of the menu inside its client rectangle (inset by one device pixel).
RECT MenuRowRect(const RECT& client, int index, int rowHeight, int dpi);
// Where a row's label is drawn (leaving room for the scroll bar when the menu scrolls).
RECT MenuLabelRect(const RECT& row, int dpi, bool scrolls = false);
// The rows of an open menu with visibleCount rows.
RECT MenuListRect(const RECT& client, int visibleCount, int rowHeight, int dpi);
// Where "没有可用的菜单项" is drawn in an empty menu.
RECT MenuEmptyTextRect(const RECT& client, int rowHeight, int dpi);
// The row slot (0 for the top row shown) at client height y, or -1. The x
// coordinate plays no part.
int MenuRowAt(int y, int visibleCount, int rowHeight, int dpi);

// ---- Plugin manager window ------------------------------------------------------

// Outer size of the manager window showing a number of plugin rows at once:
// 440 wide, 70 + 34 per row + 50 high.
SIZE ManagerWindowSize(std::size_t rowCount, int dpi);
// Rows the manager shows at once: every row, or as many whole rows as fit in
// an outer height of maxHeight (the work area of its monitor), at least one.
int ManagerVisibleRows(std::size_t rowCount, int maxHeight, int dpi);
// The top-left corner moved as little as needed to keep the window inside the work area.
POINT KeepInsideWorkArea(POINT origin, SIZE size, const RECT& workArea);
// Top-left corner that centres a window of the given size on the console's
// client area (given in screen coordinates); divisions truncate toward zero.
POINT ManagerWindowOrigin(const RECT& consoleClientOnScreen, SIZE size);
RECT ManagerTitleRect(const RECT& client, int dpi);
// Row slot i of the plugin list (0 for the top row shown).
RECT ManagerRowRect(const RECT& client, int index, int dpi);
// The rows shown at once, visibleRows high.
RECT ManagerListRect(const RECT& client, int visibleRows, int dpi);
// The "[x] name" part and the state text part of a row.
RECT ManagerLabelRect(const RECT& row, int dpi);
RECT ManagerStateRect(const RECT& row, int dpi);
// The one-pixel separator at the bottom of a row.
RECT ManagerSeparatorRect(const RECT& row);

struct ManagerFooter {
  RECT apply;  // "应用并重启"
  RECT close;  // "关闭"
  RECT hint;   // "点击行切换，Esc 放弃修改"
};
ManagerFooter ManagerFooterRects(const RECT& client, int dpi);

// The row slot at client height y, or -1 above the list or below its last slot.
int ManagerRowAt(int y, std::size_t slotCount, int dpi);

enum class ManagerTarget { Nothing, Apply, Close, Row, ScrollBar };
struct ManagerHit {
  ManagerTarget target = ManagerTarget::Nothing;
  int row = -1;  // the row index (in the whole list) when target is Row
};
// What a left click at p hits: the buttons first, then (only with a host) the
// scroll bar of a list that scrolls, then the row under the pointer.
ManagerHit ManagerHitTest(const RECT& client, POINT p, const ListScroll& list, bool hasHost, int dpi);

// "[x] name" or "[ ] name".
std::wstring PluginRowLabel(const PluginSummary& row);
// "必需，不可关闭" (the basic script), "已禁用", "加载失败" or "<n> 条命令".
std::wstring PluginStateText(const PluginSummary& row);
// The question that "应用并重启" asks; when the manager script itself is
// disabled it warns and names the disabled file under pluginsDir.
std::wstring RestartQuestionText(bool managerDisabled, const std::wstring& pluginsDir);

}  // namespace qv
