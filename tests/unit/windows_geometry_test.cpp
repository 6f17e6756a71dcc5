#include <gtest/gtest.h>

#include <string>

#include "tests/support/rect_matcher.h"
#include "windows/layout.h"

namespace qv {
namespace {

using test::RectIs;

// ---- Menu window --------------------------------------------------------------

TEST(MenuLayout, RowHeightIsTheLargerOfLinePlusPaddingAndMinimum) {
  struct Case {
    int dpi, lineHeight, rowHeight;
  } cases[] = {
      {96, 16, 28},   // 16 + 12
      {96, 10, 26},   // the minimum wins
      {144, 24, 42},  // 24 + 18
      {144, 12, 39},  // minimum 26 at 144 DPI
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MenuRowHeight(c.lineHeight, c.dpi), c.rowHeight) << c.dpi << " DPI, line " << c.lineHeight;
  }
}

TEST(MenuLayout, WindowShowsAtMostTwelveRowsAndOneRowWhenEmpty) {
  struct Case {
    int dpi, lineHeight;
    size_t items;
    int width, height;
  } cases[] = {
      {96, 16, 0, 210, 1 * 28 + 4},   {96, 16, 1, 210, 28 + 4},      {96, 16, 3, 210, 3 * 28 + 4},
      {96, 16, 12, 210, 12 * 28 + 4}, {96, 16, 13, 210, 12 * 28 + 4}, {96, 16, 40, 210, 12 * 28 + 4},
      {144, 24, 0, 315, 42 + 6},      {144, 24, 13, 315, 12 * 42 + 6},
  };
  for (const Case& c : cases) {
    const SIZE size = MenuWindowSize(c.items, c.lineHeight, c.dpi);
    EXPECT_EQ(size.cx, c.width) << c.items << " items at " << c.dpi;
    EXPECT_EQ(size.cy, c.height) << c.items << " items at " << c.dpi;
  }
  EXPECT_EQ(VisibleMenuEntryCount(13), 12);
  EXPECT_EQ(VisibleMenuEntryCount(0), 0);
}

TEST(MenuLayout, OpensAboveTheConsolesMenuButtonInsideItsClientArea) {
  const LayoutMetrics metrics{96, 16, 8};
  const RECT button{908, 600, 942, 624};
  // Row height max(16 + 12, 26) = 28.
  EXPECT_TRUE(RectIs(ComputeMenuPlacement(button, 960, 640, 0, metrics), {732, 562, 942, 594}));
  EXPECT_TRUE(RectIs(ComputeMenuPlacement(button, 960, 640, 3, metrics), {732, 506, 942, 594}));
  // Twenty entries show twelve rows.
  EXPECT_TRUE(RectIs(ComputeMenuPlacement(button, 960, 640, 20, metrics), {732, 254, 942, 594}));
  // In a narrow, low client area the menu is clamped to the margins.
  EXPECT_TRUE(RectIs(ComputeMenuPlacement({150, 80, 184, 104}, 200, 120, 20, metrics), {18, 18, 228, 358}));
}

TEST(MenuLayout, HitTestFindsVisibleRowsOnly) {
  struct Case {
    int dpi, rowHeight, visible, y, row;
  } cases[] = {
      {96, 28, 12, -40, -1},  // above the menu while the mouse is captured
      {96, 28, 12, 1, -1},    // the top frame
      {96, 28, 12, 2, 0},     {96, 28, 12, 29, 0},  {96, 28, 12, 30, 1},
      {96, 28, 12, 337, 11},  // last pixel of the twelfth row
      {96, 28, 12, 338, -1},  // a thirteenth row is never hit
      {96, 28, 0, 10, -1},    // the empty menu's text row chooses nothing
      {96, 28, 3, 86, -1},    // below the third row
      {144, 42, 12, 2, -1},   {144, 42, 12, 3, 0},  {144, 42, 12, 44, 0},
      {144, 42, 12, 45, 1},   {144, 42, 12, 506, 11}, {144, 42, 12, 507, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MenuRowAt(c.y, c.visible, c.rowHeight, c.dpi), c.row) << "y " << c.y << " at " << c.dpi;
  }
}

TEST(MenuLayout, RowsAreInsetByOneDevicePixel) {
  const RECT client96{0, 0, 210, 340};
  EXPECT_TRUE(RectIs(MenuRowRect(client96, 0, 28, 96), {1, 2, 209, 30}));
  EXPECT_TRUE(RectIs(MenuRowRect(client96, 11, 28, 96), {1, 310, 209, 338}));
  EXPECT_TRUE(RectIs(MenuLabelRect(MenuRowRect(client96, 1, 28, 96), 96), {13, 30, 201, 58}));
  EXPECT_TRUE(RectIs(MenuEmptyTextRect(client96, 28, 96), {1, 2, 209, 30}));

  const RECT client144{0, 0, 315, 510};
  EXPECT_TRUE(RectIs(MenuRowRect(client144, 2, 42, 144), {1, 87, 314, 129}));
  EXPECT_TRUE(RectIs(MenuLabelRect(MenuRowRect(client144, 2, 42, 144), 144), {19, 87, 302, 129}));
}

// ---- Plugin manager window ------------------------------------------------------

TEST(ManagerLayout, WindowSizeGrowsWithTheListTermByTerm) {
  struct Case {
    int dpi;
    size_t rows;
    int width, height;
  } cases[] = {
      {96, 0, 440, 120},  {96, 1, 440, 154},  {96, 10, 440, 460},
      {144, 0, 660, 180}, {144, 10, 660, 690},
      // At 120 DPI each term rounds on its own: 88 + 10 * 43 + 63, not Scale(460) = 575.
      {120, 10, 550, 581},
      {96, 30, 440, 1140},  // no upper bound
  };
  for (const Case& c : cases) {
    const SIZE size = ManagerWindowSize(c.rows, c.dpi);
    EXPECT_EQ(size.cx, c.width) << c.rows << " rows at " << c.dpi;
    EXPECT_EQ(size.cy, c.height) << c.rows << " rows at " << c.dpi;
  }
}

TEST(ManagerLayout, NeverTallerThanTheWorkAreaAndKeptInsideIt) {
  const struct {
    size_t rows;
    int workHeight, dpi;
    int visible, height;
  } cases[] = {
      {10, 1200, 96, 10, 460},    {60, 1200, 96, 31, 1174},  {60, 1200, 144, 20, 1200},
      {60, 768, 96, 19, 766},     {60, 728, 120, 13, 710},   {18, 768, 96, 18, 732},
      {60, 100, 96, 1, 154},  // a tiny work area still shows one row
      {0, 1200, 96, 0, 120},
  };
  for (const auto& c : cases) {
    const int visible = ManagerVisibleRows(c.rows, c.workHeight, c.dpi);
    EXPECT_EQ(visible, c.visible) << c.rows << " rows, " << c.workHeight << " at " << c.dpi;
    EXPECT_EQ(ManagerWindowSize(static_cast<size_t>(visible), c.dpi).cy, c.height) << c.rows << " at " << c.dpi;
  }
  const RECT work{0, 0, 1920, 1040};
  const struct {
    POINT origin;
    SIZE size;
    POINT kept;
  } places[] = {
      {{100, 100}, {440, 460}, {100, 100}},      {{100, -200}, {440, 1000}, {100, 0}},
      {{1700, 900}, {440, 460}, {1480, 580}},    {{-50, 30}, {440, 2000}, {0, 0}},
  };
  for (const auto& p : places) {
    const POINT kept = KeepInsideWorkArea(p.origin, p.size, work);
    EXPECT_EQ(kept.x, p.kept.x);
    EXPECT_EQ(kept.y, p.kept.y);
  }
}

TEST(ListScroll, KeysWheelAndScrollBar) {
  const ListScroll list{60, 31, 10};
  const struct {
    UINT key;
    int top;
  } keys[] = {{VK_UP, 9}, {VK_DOWN, 11}, {VK_PRIOR, 0}, {VK_NEXT, 29}, {VK_HOME, 0}, {VK_END, 29}};
  for (const auto& k : keys) EXPECT_EQ(ScrollTopForKey(list, k.key), std::optional<int>(k.top)) << k.key;
  EXPECT_EQ(ScrollTopForKey(list, VK_RETURN), std::nullopt);
  EXPECT_EQ(ScrollTopForKey(ListScroll{5, 12, 0}, VK_END), std::optional<int>(0));  // nothing to scroll
  const struct {
    int delta, top;
  } wheel[] = {{WHEEL_DELTA, 7}, {-WHEEL_DELTA, 13}, {-2 * WHEEL_DELTA, 16}, {40, 9}, {-40, 11}, {10 * WHEEL_DELTA, 0},
               {-20 * WHEEL_DELTA, 29}, {0, 10}};
  for (const auto& w : wheel) EXPECT_EQ(ScrollTopForWheel(list, w.delta), w.top) << w.delta;

  // A 300-pixel track: a 155-pixel thumb travels 145 pixels over 29 tops.
  const RECT track{0, 100, 8, 400};
  const struct {
    int top, thumbTop, thumbBottom;
  } thumbs[] = {{0, 100, 255}, {10, 150, 305}, {29, 245, 400}};
  for (const auto& t : thumbs) {
    const RECT thumb = ScrollThumbRect(track, ListScroll{60, 31, t.top}, 20);
    EXPECT_EQ(thumb.top, t.thumbTop) << t.top;
    EXPECT_EQ(thumb.bottom, t.thumbBottom) << t.top;
    EXPECT_EQ(ScrollTopForThumb(track, ListScroll{60, 31, 0}, 20, t.thumbTop), t.top) << t.top;
  }
  EXPECT_EQ(ScrollTopForThumb(track, list, 20, -500), 0);
  EXPECT_EQ(ScrollTopForThumb(track, list, 20, 5000), 29);
  EXPECT_EQ(ScrollThumbRect(track, ListScroll{1000, 12, 0}, 20).bottom, 120);  // never shorter than its minimum
  const RECT none = ScrollThumbRect(track, ListScroll{12, 12, 0}, 20);
  EXPECT_TRUE(IsRectEmpty(&none));
}

TEST(ManagerLayout, WindowIsCentredOnTheConsoleClientArea) {
  struct Case {
    RECT client;
    SIZE size;
    POINT origin;
  } cases[] = {
      {{100, 50, 900, 650}, {440, 460}, {280, 120}},
      {{0, 0, 301, 201}, {440, 460}, {-69, -129}},  // larger than the console: truncation toward zero
      {{-500, 10, 0, 511}, {440, 120}, {-470, 200}},
  };
  for (const Case& c : cases) {
    const POINT origin = ManagerWindowOrigin(c.client, c.size);
    EXPECT_EQ(origin.x, c.origin.x);
    EXPECT_EQ(origin.y, c.origin.y);
  }
}

TEST(ManagerLayout, RowsTitleAndFooterAt96And144Dpi) {
  // Client areas of the bordered 440 x 460 and 660 x 690 windows.
  const RECT client96{0, 0, 438, 458};
  EXPECT_TRUE(RectIs(ManagerTitleRect(client96, 96), {16, 10, 422, 38}));
  EXPECT_TRUE(RectIs(ManagerRowRect(client96, 0, 96), {1, 48, 437, 82}));
  EXPECT_TRUE(RectIs(ManagerRowRect(client96, 9, 96), {1, 354, 437, 388}));
  EXPECT_TRUE(RectIs(ManagerLabelRect(ManagerRowRect(client96, 0, 96), 96), {15, 48, 237, 82}));
  EXPECT_TRUE(RectIs(ManagerStateRect(ManagerRowRect(client96, 0, 96), 96), {237, 48, 423, 82}));
  EXPECT_TRUE(RectIs(ManagerSeparatorRect(ManagerRowRect(client96, 0, 96)), {1, 81, 437, 82}));
  const ManagerFooter footer96 = ManagerFooterRects(client96, 96);
  EXPECT_TRUE(RectIs(footer96.close, {348, 418, 424, 446}));
  EXPECT_TRUE(RectIs(footer96.apply, {220, 418, 338, 446}));
  EXPECT_TRUE(RectIs(footer96.hint, {16, 416, 208, 444}));

  const RECT client144{0, 0, 658, 688};
  EXPECT_TRUE(RectIs(ManagerTitleRect(client144, 144), {24, 15, 634, 57}));
  EXPECT_TRUE(RectIs(ManagerRowRect(client144, 2, 144), {2, 174, 656, 225}));
  EXPECT_TRUE(RectIs(ManagerSeparatorRect(ManagerRowRect(client144, 2, 144)), {2, 224, 656, 225}));
  const ManagerFooter footer144 = ManagerFooterRects(client144, 144);
  EXPECT_TRUE(RectIs(footer144.close, {523, 628, 637, 670}));
  EXPECT_TRUE(RectIs(footer144.apply, {331, 628, 508, 670}));
  EXPECT_TRUE(RectIs(footer144.hint, {24, 625, 313, 667}));
}

TEST(ManagerLayout, ClicksHitButtonsFirstThenRowsOnlyWithAHost) {
  const RECT client96{0, 0, 438, 458};
  const RECT client144{0, 0, 658, 688};
  struct Case {
    const char* what;
    RECT client;
    int dpi;
    POINT point;
    size_t rows;
    bool host;
    ManagerTarget target;
    int row;
  } cases[] = {
      {"first row", client96, 96, {200, 48}, 10, true, ManagerTarget::Row, 0},
      {"last pixel of row 0", client96, 96, {5, 81}, 10, true, ManagerTarget::Row, 0},
      {"row 1", client96, 96, {5, 82}, 10, true, ManagerTarget::Row, 1},
      {"last row", client96, 96, {430, 387}, 10, true, ManagerTarget::Row, 9},
      {"below the last row", client96, 96, {200, 388}, 10, true, ManagerTarget::Nothing, -1},
      {"between list and buttons", client96, 96, {100, 410}, 10, true, ManagerTarget::Nothing, -1},
      {"title", client96, 96, {100, 20}, 10, true, ManagerTarget::Nothing, -1},
      {"just above the list", client96, 96, {100, 47}, 10, true, ManagerTarget::Nothing, -1},
      {"row without host", client96, 96, {200, 60}, 10, false, ManagerTarget::Nothing, -1},
      {"apply", client96, 96, {220, 418}, 10, true, ManagerTarget::Apply, -1},
      {"apply without host", client96, 96, {337, 445}, 0, false, ManagerTarget::Apply, -1},
      {"close", client96, 96, {400, 430}, 10, true, ManagerTarget::Close, -1},
      {"gap between buttons", client96, 96, {343, 430}, 10, true, ManagerTarget::Nothing, -1},
      {"right of close", client96, 96, {424, 430}, 10, true, ManagerTarget::Nothing, -1},
      {"no plugins, list area", client96, 96, {100, 60}, 0, true, ManagerTarget::Nothing, -1},
      {"144: row 2", client144, 144, {300, 174}, 10, true, ManagerTarget::Row, 2},
      {"144: title", client144, 144, {300, 71}, 10, true, ManagerTarget::Nothing, -1},
      {"144: below row 9", client144, 144, {300, 582}, 10, true, ManagerTarget::Nothing, -1},
      {"144: close", client144, 144, {600, 650}, 10, true, ManagerTarget::Close, -1},
      {"144: apply", client144, 144, {331, 628}, 10, true, ManagerTarget::Apply, -1},
  };
  for (const Case& c : cases) {
    const ListScroll list{static_cast<int>(c.rows), static_cast<int>(c.rows), 0};
    const ManagerHit hit = ManagerHitTest(c.client, c.point, list, c.host, c.dpi);
    EXPECT_EQ(hit.target, c.target) << c.what;
    if (c.target == ManagerTarget::Row) {
      EXPECT_EQ(hit.row, c.row) << c.what;
    }
  }
  // 60 rows, 10 shown from row 20: a row slot toggles the row under it, the
  // scroll bar beside the rows is no row.
  const struct {
    POINT point;
    ManagerTarget target;
    int row;
  } scrolled[] = {
      {{200, 48}, ManagerTarget::Row, 20},        {{200, 387}, ManagerTarget::Row, 29},
      {{200, 388}, ManagerTarget::Nothing, -1},   {{426, 60}, ManagerTarget::ScrollBar, -1},
      {{425, 60}, ManagerTarget::Row, 20},        {{426, 388}, ManagerTarget::Nothing, -1},
      {{400, 430}, ManagerTarget::Close, -1},
  };
  for (const auto& c : scrolled) {
    const ManagerHit hit = ManagerHitTest(client96, c.point, ListScroll{60, 10, 20}, true, 96);
    EXPECT_EQ(hit.target, c.target) << c.point.x << "," << c.point.y;
    EXPECT_EQ(hit.row, c.row) << c.point.x << "," << c.point.y;
  }
}

TEST(ManagerLayout, RowTexts) {
  struct Case {
    const wchar_t* name;
    bool enabled, ok;
    int commands;
    const wchar_t* label;
    const wchar_t* state;
  } cases[] = {
      {L"basic.lua", true, true, 12, L"[x] basic.lua", L"必需，不可关闭"},
      {L"Basic.LUA", false, false, 0, L"[ ] Basic.LUA", L"必需，不可关闭"},
      {L"notes.lua", false, true, 3, L"[ ] notes.lua", L"已禁用"},
      {L"notes.lua", false, false, 0, L"[ ] notes.lua", L"已禁用"},
      {L"broken.lua", true, false, 2, L"[x] broken.lua", L"加载失败"},
      {L"clock.lua", true, true, 3, L"[x] clock.lua", L"3 条命令"},
      {L"clock.lua", true, true, 0, L"[x] clock.lua", L"0 条命令"},
      {L"odd.lua", true, true, -2, L"[x] odd.lua", L"-2 条命令"},
      {L"basic.lua.bak", true, true, 1, L"[x] basic.lua.bak", L"1 条命令"},
  };
  for (const Case& c : cases) {
    PluginSummary row;
    row.name = c.name;
    row.enabled = c.enabled;
    row.ok = c.ok;
    row.commands = c.commands;
    EXPECT_EQ(PluginRowLabel(row), c.label);
    EXPECT_EQ(PluginStateText(row), c.state) << row.name.size();
  }
}

TEST(ManagerLayout, RestartQuestionNamesTheDisabledFileOnlyWhenTheManagerIsOff) {
  const std::wstring folder = L"C:\\a very\\long folder\\plugins";
  const std::wstring warning = RestartQuestionText(true, folder);
  EXPECT_NE(warning.find(L"插件管理器本身也被禁用了。"), std::wstring::npos);
  EXPECT_NE(warning.find(L"：\n\nC:\\a very\\long folder\\plugins\\plugin-manager\\disabled.txt\n\n删除其中的"),
            std::wstring::npos);
  EXPECT_EQ(warning.substr(warning.size() - 6), L"仍要重启吗？");
  EXPECT_EQ(RestartQuestionText(false, folder), L"保存修改并重启程序？\n\n程序会立即退出，然后自动重新启动。");
}

}  // namespace
}  // namespace qv
