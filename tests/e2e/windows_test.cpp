// The drop-up menu and the plugin manager window of the real program, with
// the shipped plugins.
#include <algorithm>

#include "tests/e2e/program_fixture.h"

namespace qv::e2e {
namespace {

const char kExtraPlugin[] =
    "print(\"extra 主体运行\")\n"
    "host.register{ name = \"extra\", run = function() print(\"额外的输出\") end }\n";
const char kBrokenPlugin[] = "error(\"坏了\")\n";

// The plugin folder's scripts in load order: basic.lua, then the rest by
// ordinal comparison of their names.
std::vector<std::wstring> LoadOrder(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW((folder + L"\\*.lua").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) names.push_back(entry.cFileName);
  } while (FindNextFileW(find, &entry));
  FindClose(find);
  std::sort(names.begin(), names.end());
  auto basic = std::find(names.begin(), names.end(), L"basic.lua");
  if (basic != names.end()) std::rotate(names.begin(), basic, basic + 1);
  return names;
}

class WindowsTest : public ProgramTest {
 protected:
  // The "v" button: the rightmost 34 pixels of the input row.
  void ClickMenuButton() {
    SIZE client = ClientSize(app.MainWindow());
    ClickAt(app.MainWindow(), client.cx - Scale(18) - Scale(17), client.cy - Scale(16) - Scale(10));
  }
  HWND WaitForMenu(bool shown) {
    HWND menu = app.MenuWindow();
    EXPECT_NE(menu, nullptr) << "no menu window";
    if (menu == nullptr) return nullptr;
    EXPECT_TRUE(WaitUntil([&] { return (IsWindowVisible(menu) != 0) == shown; }))
        << (shown ? "the menu did not open" : "the menu did not close");
    return menu;
  }
  HWND OpenManager() {
    app.Enter(L"manager");
    HWND manager = app.WaitForWindow(kManagerClass);
    EXPECT_NE(manager, nullptr) << "no plugin manager window";
    return manager;
  }
  void ClickRow(HWND manager, const std::wstring& name) {
    std::vector<std::wstring> order = LoadOrder(pluginsFolder);
    auto at = std::find(order.begin(), order.end(), name);
    ASSERT_NE(at, order.end()) << Narrow(name);
    int row = static_cast<int>(at - order.begin());
    ClickAt(manager, Scale(100), Scale(48) + Scale(34) * row + Scale(17));
    EXPECT_TRUE(WaitUntil([&] { return SendMessageTimeoutW(manager, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, nullptr); }));
  }
  // The "应用并重启" button, left of the "关闭" button in the footer.
  void ClickApply(HWND manager) {
    SIZE client = ClientSize(manager);
    int closeLeft = client.cx - Scale(14) - Scale(76);
    int applyRight = closeLeft - Scale(10);
    ClickAt(manager, applyRight - Scale(59), client.cy - Scale(12) - Scale(14));
  }
  bool WaitForDisabled(const std::string& content) {
    return WaitUntil([&] { return FileExists(DisabledFile()) && ReadBytes(DisabledFile()) == content; });
  }
  // Answers the message box that must now be open and returns its text.
  std::wstring Answer(int button, const wchar_t* caption) {
    HWND box = app.WaitForMessageBox();
    EXPECT_NE(box, nullptr) << "no message box";
    if (box == nullptr) return {};
    EXPECT_EQ(Narrow(TextOf(box)), Narrow(caption));
    std::wstring text = MessageBoxText(box);
    EXPECT_TRUE(PressMessageBoxButton(box, button));
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box); })) << "the message box stayed";
    return text;
  }
};

TEST_F(WindowsTest, MenuButtonOpensTheMenuAndRunsTheChosenEntry) {
  StartConsole();
  HWND main = app.MainWindow();
  SIZE client = ClientSize(main);
  ClickMenuButton();
  HWND menu = WaitForMenu(true);
  ASSERT_NE(menu, nullptr);
  // Two entries: 210 wide, two rows high, right-aligned above the button.
  RECT box{};
  GetWindowRect(menu, &box);
  MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&box), 2);
  int rowHeight = (box.bottom - box.top - Scale(4)) / 2;
  EXPECT_EQ(box.right - box.left, Scale(210));
  EXPECT_GE(rowHeight, Scale(26));
  EXPECT_EQ(box.bottom - box.top, 2 * rowHeight + Scale(4));
  EXPECT_EQ(box.right, client.cx - Scale(18));
  EXPECT_LT(box.bottom, client.cy - Scale(16) - Scale(24));
  // The second entry's command runs as if typed.
  ClickAt(menu, Scale(60), Scale(2) + rowHeight + rowHeight / 2);
  WaitForMenu(false);
  ASSERT_TRUE(app.WaitForLog(L"| 来自菜单二\r\n"));
  std::vector<LogLine> lines = Log();
  int echo = FindLine(lines, L"> echo 来自菜单二");
  ASSERT_GE(echo, 0);
  EXPECT_EQ(Narrow(lines[static_cast<size_t>(echo) + 1].text), "来自菜单二");
  EXPECT_NUMBERED(lines);

  // Enter right after opening runs the first (highlighted) entry.
  ClickMenuButton();
  WaitForMenu(true);
  app.PressKey(VK_RETURN, menu);
  WaitForMenu(false);
  EXPECT_TRUE(app.WaitForLog(L"| 来自菜单一\r\n"));

  // Escape closes it without running anything, and so does a second click on "v".
  for (int way = 0; way < 2; ++way) {
    ClickMenuButton();
    WaitForMenu(true);
    std::wstring before = app.ReadLog();
    if (way == 0) {
      app.PressKey(VK_ESCAPE, menu);
    } else {
      ClickMenuButton();
    }
    WaitForMenu(false);
    app.Settle();
    EXPECT_EQ(app.ReadLog(), before);
  }
  // The chosen entry went into the history like a typed line.
  app.PressKey(VK_UP);
  EXPECT_TRUE(app.WaitForInput(L"echo 来自菜单一"));
}

TEST_F(WindowsTest, PluginManagerTogglesRowsAndEscapeReverts) {
  CopyShippedPlugins();
  WritePlugin(L"extra.lua", kExtraPlugin);
  WritePlugin(L"broken.lua", kBrokenPlugin);
  StartConsole();
  Run(L"extra", L"额外的输出");

  // The shipped menu, for a look.
  ClickMenuButton();
  HWND menu = WaitForMenu(true);
  SaveScreenshot(L"menu-open");
  app.PressKey(VK_ESCAPE, menu);
  WaitForMenu(false);

  HWND manager = OpenManager();
  ASSERT_NE(manager, nullptr);
  EXPECT_EQ(Narrow(TextOf(manager)), "插件管理");
  size_t rows = LoadOrder(pluginsFolder).size();
  RECT frame{};
  GetWindowRect(manager, &frame);
  EXPECT_EQ(frame.right - frame.left, Scale(440));
  EXPECT_EQ(frame.bottom - frame.top, Scale(70) + Scale(34) * static_cast<int>(rows) + Scale(50));
  SaveScreenshot(L"manager-window");

  // A click switches the plugin at once and saves the choice.
  ClickRow(manager, L"extra.lua");
  ASSERT_TRUE(WaitForDisabled("extra.lua\r\n")) << ReadBytes(DisabledFile());
  Run(L"extra", L"未知命令：extra");
  // basic.lua cannot be switched off.
  ClickRow(manager, L"basic.lua");
  EXPECT_EQ(ReadBytes(DisabledFile()), "extra.lua\r\n");
  Run(L"echo 基本命令还在", L"基本命令还在");
  // A plugin whose loading failed cannot be switched.
  ClickRow(manager, L"broken.lua");
  EXPECT_EQ(ReadBytes(DisabledFile()), "extra.lua\r\n");
  // Switched on again, the plugin's body runs and its print shows at once.
  int bodyRuns = CountOccurrences(app.ReadLog(), L"extra 主体运行");
  ClickRow(manager, L"extra.lua");
  EXPECT_TRUE(WaitForDisabled("")) << ReadBytes(DisabledFile());
  EXPECT_TRUE(app.WaitForLogMatch(
      [&](const std::wstring& log) { return CountOccurrences(log, L"extra 主体运行") == bodyRuns + 1; }));
  Run(L"extra", L"额外的输出");
  // Off again, and the manager itself: entries in load order.
  ClickRow(manager, L"plugin-manager.lua");
  ClickRow(manager, L"extra.lua");
  EXPECT_TRUE(WaitForDisabled("extra.lua\r\nplugin-manager.lua\r\n")) << ReadBytes(DisabledFile());

  // Escape asks; No keeps the window and the changes.
  PostMessageW(manager, WM_KEYDOWN, VK_ESCAPE, 1);
  std::wstring question = Answer(IDNO, L"插件管理");
  EXPECT_EQ(Narrow(question), Narrow(L"放弃本次修改并关闭？\n\n本次对插件启用状态的更改不会被保存。"));
  EXPECT_TRUE(IsWindowVisible(manager));
  EXPECT_EQ(ReadBytes(DisabledFile()), "extra.lua\r\nplugin-manager.lua\r\n");
  // Yes restores the state from when the window opened, and closes it.
  PostMessageW(manager, WM_KEYDOWN, VK_ESCAPE, 1);
  Answer(IDYES, L"插件管理");
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(manager); })) << "the manager stayed open";
  EXPECT_TRUE(WaitForDisabled("")) << ReadBytes(DisabledFile());
  Run(L"extra", L"额外的输出");
  app.Enter(L"manager");
  HWND reopened = app.WaitForWindow(kManagerClass);
  EXPECT_NE(reopened, nullptr) << "the manager command is gone after the revert";
  EXPECT_NUMBERED(Log());
}

TEST_F(WindowsTest, DisablingTheManagerWarnsAndRestartKeepsTheState) {
  CopyShippedPlugins();
  StartConsole();
  DWORD firstId = app.id();
  HWND manager = OpenManager();
  ASSERT_NE(manager, nullptr);
  ClickRow(manager, L"plugin-manager.lua");
  ASSERT_TRUE(WaitForDisabled("plugin-manager.lua\r\n")) << ReadBytes(DisabledFile());

  // "应用并重启" warns with the full path of disabled.txt; No keeps everything open.
  ClickApply(manager);
  std::wstring warning = Answer(IDNO, L"插件管理");
  EXPECT_EQ(Narrow(warning),
            Narrow(L"插件管理器本身也被禁用了。\n\n重启后将无法再通过界面打开它。要恢复，请用记事本打开：\n\n" +
                   pluginsFolder +
                   L"\\plugin-manager\\disabled.txt\n\n删除其中的 plugin-manager.lua 这一行并保存。\n\n仍要重启吗？"));
  EXPECT_TRUE(IsWindowVisible(manager));
  EXPECT_TRUE(app.Running());

  // Yes: this copy ends and a new one starts with the saved state.
  ClickApply(manager);
  Answer(IDYES, L"插件管理");
  EXPECT_EQ(app.WaitForExit(), 0);
  DWORD newId = 0;
  ASSERT_TRUE(WaitUntil([&] {
    HWND found = FindWindowW(kMainClass, nullptr);
    if (found == nullptr) return false;
    GetWindowThreadProcessId(found, &newId);
    return newId != firstId;
  })) << "no new copy started";
  AppProcess restarted;
  ASSERT_TRUE(restarted.Attach(newId));
  wchar_t image[1024] = {};
  DWORD size = 1024;
  ASSERT_TRUE(QueryFullProcessImageNameW(restarted.handle(), 0, image, &size));
  EXPECT_EQ(_wcsicmp(image, exePath.c_str()), 0) << Narrow(image);
  ASSERT_TRUE(restarted.WaitForConsole());
  ASSERT_TRUE(restarted.WaitForLog(L"个已禁用"));
  EXPECT_NE(restarted.ReadLog().find(L"，跳过 1 个已禁用，"), std::wstring::npos) << Narrow(restarted.ReadLog());
  restarted.Enter(L"manager");
  EXPECT_TRUE(restarted.WaitForLog(L"未知命令：manager"));
  EXPECT_EQ(ReadBytes(DisabledFile()), "plugin-manager.lua\r\n");
  SIZE client = ClientSize(restarted.MainWindow());
  ClickAt(restarted.MainWindow(), client.cx - Scale(21), Scale(18));
  EXPECT_EQ(restarted.WaitForExit(), 0);
}

TEST_F(WindowsTest, MenuShowsTwelveRowsAndScrollsPastTwelveEntries) {
  std::string script = TestBasicScript(true);
  for (int i = 1; i <= 13; ++i) {
    script += "host.menu(\"项目 " + std::to_string(i) + "\", \"echo 项目" + std::to_string(i) + "\")\n";
  }
  WritePlugin(L"basic.lua", script);  // 2 + 13 entries
  StartConsole();
  ClickMenuButton();
  HWND menu = WaitForMenu(true);
  ASSERT_NE(menu, nullptr);
  SIZE size = ClientSize(menu);
  int rowHeight = (size.cy - Scale(4)) / 12;
  EXPECT_EQ(size.cy, 12 * rowHeight + Scale(4)) << "not twelve rows high";
  EXPECT_GE(rowHeight, Scale(26));
  // The twelfth row runs its entry (the tenth of this script).
  ClickAt(menu, Scale(60), Scale(2) + 11 * rowHeight + rowHeight / 2);
  WaitForMenu(false);
  EXPECT_TRUE(app.WaitForLog(L"| 项目10\r\n"));
  // Below the last row nothing runs; the menu closes.
  ClickMenuButton();
  WaitForMenu(true);
  std::wstring before = app.ReadLog();
  ClickAt(menu, Scale(60), Scale(2) + 12 * rowHeight + rowHeight / 2);
  WaitForMenu(false);
  app.Settle();
  EXPECT_EQ(app.ReadLog(), before);
  // End scrolls to the last entry, which is then the twelfth row.
  ClickMenuButton();
  WaitForMenu(true);
  app.PressKey(VK_END, menu);
  app.Settle();
  SaveScreenshot(L"menu-scrolled");
  ClickAt(menu, Scale(60), Scale(2) + 11 * rowHeight + rowHeight / 2);
  WaitForMenu(false);
  EXPECT_TRUE(app.WaitForLog(L"| 项目13\r\n"));
}

TEST_F(WindowsTest, EmptyMenuIsOneRowAndEnterDoesNothing) {
  WritePlugin(L"basic.lua", "host.skip_loading()\nhost.register{ name = \"ls\", run = function() end }\n");
  StartConsole();
  ClickMenuButton();
  HWND menu = WaitForMenu(true);
  ASSERT_NE(menu, nullptr);
  SIZE size = ClientSize(menu);
  EXPECT_GE(size.cy - Scale(4), Scale(26));
  EXPECT_LT(size.cy - Scale(4), 2 * Scale(26)) << "more than one row";
  SaveScreenshot(L"menu-empty");
  std::wstring before = app.ReadLog();
  app.PressKey(VK_RETURN, menu);
  app.Settle();
  EXPECT_TRUE(IsWindowVisible(menu)) << "Enter closed the empty menu";
  EXPECT_EQ(app.ReadLog(), before);
  app.PressKey(VK_ESCAPE, menu);
  WaitForMenu(false);
}

// When the new copy cannot start, this one keeps running, says so, and still
// holds the single-instance rule.
TEST_F(WindowsTest, RestartThatCannotStartKeepsTheProgramRunning) {
  CopyShippedPlugins();
  StartConsole();
  HWND manager = OpenManager();
  ASSERT_NE(manager, nullptr);
  // The running executable is renamed: the restart finds nothing at its path.
  const std::wstring moved = folder.path() + L"\\moved.exe";
  if (!MoveFileW(exePath.c_str(), moved.c_str())) {
    GTEST_SKIP() << "the running executable cannot be renamed here (error " << GetLastError() << ")";
  }
  ClickApply(manager);
  std::wstring question = Answer(IDYES, L"插件管理");
  EXPECT_EQ(Narrow(question), Narrow(L"保存修改并重启程序？\n\n程序会立即退出，然后自动重新启动。"));
  ASSERT_TRUE(app.WaitForLog(L"无法重新启动程序：")) << "no message about the failed restart";
  EXPECT_TRUE(app.Running());
  std::vector<LogLine> lines = Log();
  int report = FindLineStarting(lines, L"无法重新启动程序：");
  ASSERT_GE(report, 0);
  EXPECT_EQ(Narrow(lines[static_cast<size_t>(report)].text), Narrow(L"无法重新启动程序：" + exePath));
  Run(L"echo 仍在运行", L"仍在运行");
  // A second copy is still refused.
  AppProcess second;
  ASSERT_TRUE(second.Start(moved, {{L"QUORVANTLINE_UPDATE_URL", L"http://127.0.0.1:9/"}}));
  HWND box = second.WaitForMessageBox();
  ASSERT_NE(box, nullptr) << "the second copy was not refused";
  EXPECT_NE(MessageBoxText(box).find(L"已经在运行"), std::wstring::npos);
  PressMessageBoxButton(box, IDOK);
  EXPECT_EQ(second.WaitForExit(), 0);
}

}  // namespace
}  // namespace qv::e2e
