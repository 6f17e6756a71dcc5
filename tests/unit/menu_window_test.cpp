// The drop-up menu driven through its window procedure over a real plugin host.
#include "windows/menu_window.h"

#include <gtest/gtest.h>

#include <string>

#include "console/globals.h"
#include "console/console_state.h"
#include "window_fixture.h"

namespace qv {
namespace {

// 13 entries "Entry 1".."Entry 13" whose commands print their number.
void WriteMenuPlugins(test::GlobalHostScope& scope, int entries) {
  std::string body = "host.register{ name = 'run', run = function(args) print('ran ' .. args[1]) end }\n";
  body += "for i = 1, " + std::to_string(entries) + " do host.menu('Entry ' .. i, 'run ' .. i) end\n";
  scope.folder.Write(L"basic.lua", body);
}

// A menu child window as the console creates it, opened the way its "v" button opens it.
struct OpenMenu {
  explicit OpenMenu(const test::StandInConsole& console) {
    menu = CreateWindowExW(0, kMenuWindowClass, L"", WS_CHILD | WS_CLIPSIBLINGS, 0, 0, 0, 0, console.window(),
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(kMenuWindowId)), AppInstance, nullptr);
    Console().menuWindow = menu;
  }
  ~OpenMenu() {
    if (IsWindow(menu)) DestroyWindow(menu);
  }
  void Open() {
    SetWindowPos(menu, HWND_TOP, 100, 100, 210, 12 * 28 + 4, SWP_SHOWWINDOW | SWP_NOACTIVATE);
    Console().highlightedRow = 0;
    Console().menuOpen = true;
    SetCapture(menu);
    UpdateWindow(menu);
  }
  bool Showing() const { return IsWindowVisible(menu) != FALSE; }
  LRESULT Send(UINT message, WPARAM wParam, int y) { return SendMessageW(menu, message, wParam, MAKELPARAM(5, y)); }

  HWND menu = nullptr;
};

int RowTop(int row) { return 2 + 28 * row; }

TEST(MenuWindow, ChoosingRunsTheEntrysCommandAfterClosingTheMenu) {
  test::GlobalHostScope scope;
  WriteMenuPlugins(scope, 13);
  scope.Load();
  test::StandInConsole console(0, 0, 600, 500);
  OpenMenu menu(console);
  ASSERT_EQ(GetDlgItem(console.window(), kMenuWindowId), menu.menu);

  const struct {
    const char* what;
    UINT message;
    WPARAM key;
    int y;
    int highlightBefore;  // -2: leave as opened (row 0)
    const wchar_t* output;
  } cases[] = {
      {"Enter on opening runs the first entry", WM_KEYDOWN, VK_RETURN, 0, -2, L"ran 1\r\n"},
      {"Enter with no highlight runs the first entry", WM_KEYDOWN, VK_RETURN, 0, -1, L"ran 1\r\n"},
      {"Enter runs the highlighted entry", WM_KEYDOWN, VK_RETURN, 0, 6, L"ran 7\r\n"},
      {"click on the fifth row", WM_LBUTTONDOWN, 0, RowTop(4) + 3, -2, L"ran 5\r\n"},
      {"click on the twelfth row", WM_LBUTTONDOWN, 0, RowTop(11), -2, L"ran 12\r\n"},
      {"click where a thirteenth row would be", WM_LBUTTONDOWN, 0, RowTop(12) + 3, -2, L""},
      {"click above the menu", WM_LBUTTONDOWN, 0, -30, -2, L""},
      {"Escape", WM_KEYDOWN, VK_ESCAPE, 0, -2, L""},
  };
  for (const auto& c : cases) {
    menu.Open();
    if (c.highlightBefore != -2) Console().highlightedRow = c.highlightBefore;
    scope.output.clear();
    EXPECT_EQ(menu.Send(c.message, c.key, c.y), 0) << c.what;
    EXPECT_EQ(scope.output, c.output) << c.what;
    EXPECT_FALSE(Console().menuOpen) << c.what;
    EXPECT_EQ(Console().highlightedRow, -1) << c.what;
    EXPECT_FALSE(menu.Showing()) << c.what;
    EXPECT_NE(GetCapture(), menu.menu) << c.what;
  }

  // Past twelve entries the list scrolls: the keys and the wheel move the rows
  // under the pointer, and the thirteenth entry can be chosen.
  const struct {
    UINT message;
    WPARAM wParam;
    int entryInLastRow;  // index of the entry in row 12 afterwards
  } scrolls[] = {
      {WM_KEYDOWN, VK_DOWN, 12}, {WM_KEYDOWN, VK_DOWN, 12},  {WM_KEYDOWN, VK_UP, 11},
      {WM_KEYDOWN, VK_END, 12},  {WM_KEYDOWN, VK_HOME, 11},  {WM_KEYDOWN, VK_NEXT, 12},
      {WM_KEYDOWN, VK_PRIOR, 11}, {WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), 12},
      {WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 11},
  };
  menu.Open();
  EXPECT_EQ(MenuItemAt(RowTop(12)), -1);
  for (const auto& s : scrolls) {
    menu.Send(s.message, s.wParam, 0);
    EXPECT_EQ(MenuItemAt(RowTop(11) + 27), s.entryInLastRow) << s.message << " " << s.wParam;
    EXPECT_TRUE(Console().menuOpen);
  }
  menu.Send(WM_KEYDOWN, VK_END, 0);
  scope.output.clear();
  menu.Send(WM_LBUTTONDOWN, 0, RowTop(11) + 3);
  EXPECT_EQ(scope.output, L"ran 13\r\n");
}

TEST(MenuWindow, TheHighlightFollowsTheMouseOnly) {
  test::GlobalHostScope scope;
  WriteMenuPlugins(scope, 3);
  scope.Load();
  test::StandInConsole console(0, 0, 600, 500);
  OpenMenu menu(console);
  menu.Open();
  const struct {
    UINT message;
    WPARAM key;
    int y;
    int highlight;
  } steps[] = {
      {WM_MOUSEMOVE, 0, RowTop(2) + 1, 2}, {WM_KEYDOWN, VK_UP, 0, 2},        {WM_KEYDOWN, VK_DOWN, 0, 2},
      {WM_MOUSEMOVE, 0, RowTop(1), 1},     {WM_MOUSEMOVE, 0, RowTop(3), -1}, {WM_MOUSEMOVE, 0, -8, -1},
      {WM_MOUSEMOVE, 0, 1, -1},            {WM_MOUSEMOVE, 0, 2, 0},
  };
  for (const auto& s : steps) {
    menu.Send(s.message, s.key, s.y);
    EXPECT_EQ(Console().highlightedRow, s.highlight) << "y " << s.y << " key " << s.key;
    EXPECT_TRUE(Console().menuOpen);
  }
  HideMenuWindow(false);
}

TEST(MenuWindow, LosingTheCaptureClosesTheMenu) {
  test::GlobalHostScope scope;
  WriteMenuPlugins(scope, 2);
  scope.Load();
  test::StandInConsole console(0, 0, 600, 500);
  OpenMenu menu(console);
  menu.Open();
  ASSERT_EQ(GetCapture(), menu.menu);
  SetCapture(console.window());  // another window takes the mouse
  EXPECT_FALSE(Console().menuOpen);
  EXPECT_EQ(Console().highlightedRow, -1);
  EXPECT_FALSE(menu.Showing());
  ReleaseCapture();
}

TEST(MenuWindow, AnEmptyMenuOrNoHostChoosesNothing) {
  for (const bool withHost : {true, false}) {
    test::GlobalHostScope scope;
    WriteMenuPlugins(scope, 0);
    scope.Load();
    if (!withHost) GlobalHost.reset();
    test::StandInConsole console(0, 0, 600, 500);
    OpenMenu menu(console);
    menu.Open();
    menu.Send(WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_TRUE(Console().menuOpen) << "Enter on an empty menu does nothing";
    EXPECT_TRUE(menu.Showing());
    EXPECT_EQ(MenuItemAt(RowTop(0) + 3), -1);
    menu.Send(WM_LBUTTONDOWN, 0, RowTop(0) + 3);
    EXPECT_FALSE(Console().menuOpen) << "a click on the empty row closes the menu";
    EXPECT_EQ(scope.output, L"");
  }
}

}  // namespace
}  // namespace qv
