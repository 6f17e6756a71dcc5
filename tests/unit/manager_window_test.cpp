// The plugin manager window driven through its window procedure, and the restart.
#include "windows/manager_window.h"

#include <gtest/gtest.h>

#include "console/globals.h"
#include "base/handles.h"
#include "base/text.h"
#include "console/console_state.h"
#include "window_fixture.h"
#include "windows/layout.h"
#include "host/commands.h"
#include "host/enable_state.h"

namespace qv {
namespace {

constexpr wchar_t kMutexName[] = L"Local\\quorvantline-single-instance-1f0a6d4e";

void WritePlugins(test::GlobalHostScope& scope) {
  scope.folder.Write(L"basic.lua", "host.register{ name = 'hello', run = function() end }\n");
  scope.folder.Write(L"a.lua", "host.register{ name = 'alpha', run = function() end }\n");
  scope.folder.Write(L"broken.lua", "error('boom')\n");
}

// Clicks at a point of the manager's client area.
void Click(HWND window, int x, int y) { SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y)); }

int RowMiddle(int row) { return 48 + 34 * row + 17; }

// The top-level window of this process with the class and title, as a driver
// finds it; test programs running beside this one may have their own.
HWND FindOwnTopLevelWindow(const wchar_t* className, const wchar_t* title) {
  for (HWND window = nullptr; (window = FindWindowExW(nullptr, window, className, title)) != nullptr;) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId()) return window;
  }
  return nullptr;
}

TEST(ManagerWindow, OpensCentredOnTheConsoleAtEachDpi) {
  const struct {
    int dpi, width, height;
  } cases[] = {{96, 440, 70 + 3 * 34 + 50}, {144, 660, 105 + 3 * 51 + 75}};
  for (const auto& c : cases) {
    test::GlobalHostScope scope;
    WritePlugins(scope);
    scope.Load();
    test::StandInConsole console(100, 100, 900, 700);
    CurrentDpi = c.dpi;
    OpenPluginManager();
    CurrentDpi = 96;
    const HWND manager = Console().pluginManagerWindow;
    ASSERT_NE(manager, nullptr);
    EXPECT_EQ(FindOwnTopLevelWindow(kManagerWindowClass, L"插件管理"), manager);
    EXPECT_EQ(GetWindow(manager, GW_OWNER), console.window());
    RECT frame;
    GetWindowRect(manager, &frame);
    EXPECT_EQ(frame.right - frame.left, c.width) << c.dpi;
    EXPECT_EQ(frame.bottom - frame.top, c.height) << c.dpi;
    EXPECT_EQ(frame.left, 100 + (900 - c.width) / 2) << c.dpi;
    EXPECT_EQ(frame.top, 100 + (700 - c.height) / 2) << c.dpi;
    DestroyWindow(manager);
    EXPECT_EQ(Console().pluginManagerWindow, nullptr);
  }
}

TEST(ManagerWindow, RowClicksSwitchAtOnceExceptBasicAndFailedPlugins) {
  test::GlobalHostScope scope;
  WritePlugins(scope);
  scope.Load();
  test::StandInConsole console(0, 0, 900, 700);
  OpenPluginManager();
  const HWND manager = Console().pluginManagerWindow;
  ASSERT_NE(manager, nullptr);
  const std::wstring disabledFile = DisabledListPath(scope.host());
  // Rows in load order: basic.lua, a.lua, broken.lua.
  const struct {
    const char* what;
    int x, y;
    std::string fileAfter;  // "-" for no file
    bool aDisabledAfter;
  } clicks[] = {
      {"basic.lua row", 50, RowMiddle(0), "-", false},
      {"failed plugin row", 50, RowMiddle(2), "-", false},
      {"title", 50, 20, "-", false},
      {"below the last row", 50, RowMiddle(3), "-", false},
      {"a.lua row", 50, RowMiddle(1), "a.lua\r\n", true},
      {"a.lua row, far right", 420, RowMiddle(1), "", false},
      {"a.lua row again", 50, RowMiddle(1), "a.lua\r\n", true},
  };
  for (const auto& c : clicks) {
    Click(manager, c.x, c.y);
    UpdateWindow(manager);  // paints the new state
    if (c.fileAfter == "-") {
      EXPECT_FALSE(test::FileExists(disabledFile)) << c.what;
    } else {
      EXPECT_EQ(test::ReadBytes(disabledFile), c.fileAfter) << c.what;
    }
    EXPECT_EQ(IsPluginDisabled(L"a.lua"), c.aDisabledAfter) << c.what;
    EXPECT_EQ(HasCommand(scope.host(), L"alpha"), !c.aDisabledAfter) << c.what;
    EXPECT_FALSE(IsPluginDisabled(L"basic.lua")) << c.what;
  }

  // A second opening only brings the window forward: the first snapshot stays.
  OpenPluginManager();
  EXPECT_EQ(Console().pluginManagerWindow, manager);
  ASSERT_EQ(scope.host().enableSnapshot.size(), 3u);
  EXPECT_FALSE(scope.host().enableSnapshot[1].wasDisabled);

  // The close button closes at once and keeps the changes.
  RECT client;
  GetClientRect(manager, &client);
  const ManagerFooter footer = ManagerFooterRects(client, CurrentDpi);
  Click(manager, footer.close.left + 5, footer.close.top + 5);
  EXPECT_FALSE(IsWindow(manager));
  EXPECT_EQ(Console().pluginManagerWindow, nullptr);
  EXPECT_TRUE(IsPluginDisabled(L"A.LUA"));
  EXPECT_EQ(test::ReadBytes(disabledFile), "a.lua\r\n");
}

// True when window a is above window b in the z-order of top-level windows.
bool IsAbove(HWND a, HWND b) {
  for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
    if (w == a) return true;
    if (w == b) return false;
  }
  return false;
}

TEST(ManagerWindow, StaysAboveTheConsoleWhenTheConsoleTakesTheFocusBack) {
  test::GlobalHostScope scope;
  WritePlugins(scope);
  scope.Load();
  test::StandInConsole console(0, 0, 900, 700);
  OpenPluginManager();
  const HWND manager = Console().pluginManagerWindow;
  ASSERT_NE(manager, nullptr);
  // As after the "manager" command: the focus goes back to the console.
  SetFocus(console.window());
  const ULONGLONG end = GetTickCount64() + 500;
  MSG message;
  while (GetTickCount64() < end) {
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    Sleep(10);
  }
  if (GetActiveWindow() != console.window()) {
    DestroyWindow(manager);
    GTEST_SKIP() << "the console could not be activated: another program holds the foreground";
  }
  EXPECT_TRUE(IsAbove(manager, console.window()));
  DestroyWindow(manager);
}

TEST(ManagerWindow, IsPluginDisabledLooksNamesUpIgnoringCase) {
  EXPECT_FALSE(IsPluginDisabled(L"a.lua")) << "no host";
  test::GlobalHostScope scope;
  WritePlugins(scope);
  scope.folder.Write(L"plugin-manager\\disabled.txt", "a.lua\r\n");
  scope.Load();
  const struct {
    const wchar_t* name;
    bool disabled;
  } cases[] = {{L"a.lua", true}, {L"A.Lua", true}, {L"basic.lua", false}, {L"broken.lua", false},
               {L"missing.lua", false}, {L"a", false}};
  for (const auto& c : cases) EXPECT_EQ(IsPluginDisabled(c.name), c.disabled) << WideToUtf8(c.name);
}

TEST(RestartProgram, WhenTheNewProcessCannotStartTheProgramKeepsRunning) {
  test::GlobalHostScope scope;
  test::StandInConsole console(0, 0, 400, 300);
  InstanceGuard.reset(CreateMutexW(nullptr, FALSE, kMutexName));
  ASSERT_TRUE(InstanceGuard);
  // A long path that does not exist: more than 260 characters.
  const std::wstring missing = scope.folder.path() + L"\\" + std::wstring(240, L'x') + L"\\quorvantline.exe";

  EXPECT_FALSE(RestartProgramFrom(missing));
  EXPECT_FALSE(console.TakeClose());
  ASSERT_TRUE(InstanceGuard);
  // The guard is the named mutex again: a second instance would find it.
  UniqueHandle second(CreateMutexW(nullptr, FALSE, kMutexName));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  const std::wstring log(Console().output.buffer.Text());
  EXPECT_NE(log.find(L"无法重新启动程序：" + missing + L"\r\n"), std::wstring::npos);

  InstanceGuard.reset();
}

TEST(RestartProgram, StartsTheNewProcessWithTheMutexReleasedAndClosesTheConsole) {
  wchar_t system[MAX_PATH];
  ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH), 0u);
  const std::wstring program = std::wstring(system) + L"\\hostname.exe";
  if (GetFileAttributesW(program.c_str()) == INVALID_FILE_ATTRIBUTES) GTEST_SKIP() << "no hostname.exe";
  test::StandInConsole console(0, 0, 400, 300);
  InstanceGuard.reset(CreateMutexW(nullptr, FALSE, kMutexName));
  ASSERT_TRUE(InstanceGuard);

  EXPECT_TRUE(RestartProgramFrom(program));
  EXPECT_FALSE(InstanceGuard);
  UniqueHandle probe(OpenMutexW(SYNCHRONIZE, FALSE, kMutexName));
  EXPECT_FALSE(probe) << "the single-instance mutex is released for the new process";
  EXPECT_TRUE(console.TakeClose());
}

}  // namespace
}  // namespace qv
