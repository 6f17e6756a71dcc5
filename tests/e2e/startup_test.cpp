// Start-up of the real program: the two start-up reports, the basic.lua gate,
// the single-instance rule, closing during the animation, and the window size
// at a higher DPI, and the icons of the main window's class.
#include <memory>

#include "tests/e2e/icon_probe.h"
#include "tests/e2e/program_fixture.h"

namespace qv::e2e {
namespace {

std::wstring TodayText() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  wchar_t text[16];
  swprintf(text, 16, L"%u-%02u-%02u", now.wYear, now.wMonth, now.wDay);
  return text;
}

const char kQuietPlugin[] = "host.register{ name = \"quiet\", run = function() end }\n";
const char kSilentPlugin[] = "-- registers nothing\n";

TEST_F(ProgramTest, SkipModePrintsLoadingReportThenStartupReport) {
  WritePlugin(L"basic.lua", TestBasicScript(true));
  WritePlugin(L"extra.lua", kQuietPlugin);
  WritePlugin(L"silent.lua", kSilentPlugin);
  ASSERT_TRUE(Start());
  ASSERT_NE(app.WaitForMainWindow(), nullptr);
  ASSERT_TRUE(app.WaitForConsole());
  ASSERT_TRUE(app.WaitForLog(L"已跳过加载动画"));
  // Nothing else arrives later (no update notice from a closed port).
  std::vector<LogLine> lines = Log();
  const std::vector<std::wstring> expected = {
      L"[插件] 目录：" + pluginsFolder,
      L"[插件] 已加载 3/3 个脚本，注册 9 条命令。",
      TodayText(),
      L"[plugin] basic.lua 已加载（8 条命令）",
      L"[plugin] extra.lua 已加载（1 条命令）",
      L"[plugin] silent.lua 已加载",
      L"已跳过加载动画",
  };
  ASSERT_GE(lines.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(lines[i].number, static_cast<int>(i) + 1);
    EXPECT_EQ(Narrow(lines[i].text), Narrow(expected[i])) << "line " << i + 1;
  }
  EXPECT_NUMBERED(lines);
  // The skip-mode report has neither the "> " prompt nor the version line.
  EXPECT_EQ(app.ReadLog().find(L"> v0.4.0"), std::wstring::npos);
  SaveScreenshot(L"skip-mode-startup");
}

TEST_F(ProgramTest, AnimatedStartupFadesIntoTheConsole) {
  WritePlugin(L"basic.lua", TestBasicScript(false));
  WritePlugin(L"extra.lua", kQuietPlugin);
  ASSERT_TRUE(Start());
  HWND main = app.WaitForMainWindow();
  ASSERT_NE(main, nullptr);
  // While the report is typed out the console's controls stay hidden.
  EXPECT_FALSE(IsWindowVisible(app.InputLine()));
  EXPECT_FALSE(IsWindowVisible(app.OutputLog()));
  // The report is typed out, then a black overlay fades in and out again.
  // The last screenshot taken before the overlay shows the typed report.
  bool overlaySeen = false;
  ASSERT_TRUE(WaitUntil([&] {
    if (!TopLevelWindows(app.id(), L"QuorvantLineFadeOverlay").empty()) {
      overlaySeen = true;
    } else if (!overlaySeen) {
      SaveScreenshot(L"startup-report", 0);
    }
    return IsWindowVisible(app.InputLine()) != 0;
  })) << "the console never appeared";
  EXPECT_TRUE(overlaySeen) << "no fade overlay during the start-up";
  ASSERT_TRUE(app.WaitForLog(L"[插件] 已加载 2/2 个脚本，注册 9 条命令。"));
  // The overlay goes away after fading out.
  EXPECT_TRUE(WaitUntil([&] { return TopLevelWindows(app.id(), L"QuorvantLineFadeOverlay").empty(); }));
  std::vector<LogLine> lines = Log();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(Narrow(lines[0].text), Narrow(L"[插件] 目录：" + pluginsFolder));
  EXPECT_EQ(lines[0].number, 1);
  // The animated report is drawn, not printed.
  EXPECT_EQ(app.ReadLog().find(L"[plugin]"), std::wstring::npos);
  EXPECT_EQ(app.ReadLog().find(L"正在准备界面"), std::wstring::npos);
  // The console then takes commands.
  Run(L"echo 就绪", L"就绪");
  EXPECT_NUMBERED(Log());
}

// Clicks the close button while the report is typed, and while the overlay fades.
TEST_F(ProgramTest, ClosingDuringTheAnimationEndsCleanly) {
  WritePlugin(L"basic.lua", TestBasicScript(false));
  for (bool waitForOverlay : {false, true}) {
    AppProcess run;
    ASSERT_TRUE(run.Start(exePath, {{L"QUORVANTLINE_UPDATE_URL", L"http://127.0.0.1:9/"}}));
    HWND main = run.WaitForMainWindow();
    ASSERT_NE(main, nullptr);
    if (waitForOverlay) {
      ASSERT_TRUE(WaitUntil([&] { return !TopLevelWindows(run.id(), L"QuorvantLineFadeOverlay").empty(); }));
    }
    EXPECT_FALSE(IsWindowVisible(run.InputLine())) << "the start-up was already over";
    SIZE client = ClientSize(main);
    ClickAt(main, client.cx - Scale(21), Scale(18));
    EXPECT_EQ(run.WaitForExit(), 0) << (waitForOverlay ? "closed while fading" : "closed while typing");
  }
}

TEST_F(ProgramTest, MissingBasicLuaIsRefusedAndCreatesThePluginFolder) {
  ASSERT_FALSE(FolderExists(pluginsFolder));
  ASSERT_TRUE(Start());
  HWND box = app.WaitForMessageBox();
  ASSERT_NE(box, nullptr) << "no message box";
  EXPECT_EQ(Narrow(TextOf(box)), "quorvantline");
  std::wstring text = MessageBoxText(box);
  EXPECT_NE(text.find(L"缺少或无法加载 basic.lua，程序无法启动。\n\n所有命令都由这个脚本提供，请确认它存在、语法正确：\n" +
                      pluginsFolder + L"\\basic.lua"),
            std::wstring::npos)
      << Narrow(text);
  EXPECT_NE(text.find(L"\n\n详细信息：\n[插件] 缺少 basic.lua，程序无法启动。\r\n[插件] 未找到脚本：" + pluginsFolder +
                      L"\\*.lua"),
            std::wstring::npos)
      << Narrow(text);
  EXPECT_TRUE(TopLevelWindows(app.id(), kMainClass).empty()) << "a main window was created";
  EXPECT_TRUE(PressMessageBoxButton(box, IDOK));
  EXPECT_EQ(app.WaitForExit(), 1);
  EXPECT_TRUE(FolderExists(pluginsFolder));
}

TEST_F(ProgramTest, BrokenBasicLuaIsRefusedWithLuasMessage) {
  WritePlugin(L"basic.lua", "host.register{ name = \"ls\", run = function() end }\nlocal x = = 1\n");
  WritePlugin(L"extra.lua", kQuietPlugin);
  ASSERT_TRUE(Start());
  HWND box = app.WaitForMessageBox();
  ASSERT_NE(box, nullptr) << "no message box";
  std::wstring text = MessageBoxText(box);
  EXPECT_NE(text.find(L"缺少或无法加载 basic.lua，程序无法启动。"), std::wstring::npos) << Narrow(text);
  EXPECT_NE(text.find(pluginsFolder + L"\\basic.lua"), std::wstring::npos) << Narrow(text);
  EXPECT_NE(text.find(L"详细信息：\n[插件] basic.lua 加载失败："), std::wstring::npos) << Narrow(text);
  EXPECT_NE(text.find(L"unexpected symbol near '='"), std::wstring::npos) << Narrow(text);
  // The other script still loaded; the report says so.
  EXPECT_NE(text.find(L"[插件] 已加载 1/2 个脚本，注册 1 条命令。"), std::wstring::npos) << Narrow(text);
  EXPECT_TRUE(PressMessageBoxButton(box, IDOK));
  EXPECT_EQ(app.WaitForExit(), 1);
}

TEST_F(ProgramTest, BasicLuaFailingWhileRunningIsRefused) {
  WritePlugin(L"basic.lua", "error(\"起不来\")\n");
  ASSERT_TRUE(Start());
  HWND box = app.WaitForMessageBox();
  ASSERT_NE(box, nullptr) << "no message box";
  std::wstring text = MessageBoxText(box);
  EXPECT_NE(text.find(L"[插件] basic.lua 运行出错："), std::wstring::npos) << Narrow(text);
  EXPECT_NE(text.find(L"起不来"), std::wstring::npos) << Narrow(text);
  EXPECT_TRUE(PressMessageBoxButton(box, IDOK));
  EXPECT_EQ(app.WaitForExit(), 1);
}

TEST_F(ProgramTest, SecondInstanceRestoresTheFirstAndExitsWithZero) {
  StartConsole();
  HWND first = app.MainWindow();
  ShowWindow(first, SW_MINIMIZE);
  ASSERT_TRUE(WaitUntil([&] { return IsIconic(first) != 0; })) << "could not minimize the first window";

  AppProcess second;
  ASSERT_TRUE(second.Start(exePath, {{L"QUORVANTLINE_UPDATE_URL", L"http://127.0.0.1:9/"}}));
  HWND box = second.WaitForMessageBox();
  ASSERT_NE(box, nullptr) << "no message box from the second copy";
  EXPECT_EQ(Narrow(MessageBoxText(box)),
            Narrow(L"quorvantline 已经在运行。\n\n多开一个实例可能会导致配置文件冲突。\n\n请关闭现有实例后再尝试。"));
  EXPECT_TRUE(TopLevelWindows(second.id(), kMainClass).empty());
  SaveScreenshot(L"second-instance-box", 800);  // the box paints a moment after it appears
  EXPECT_TRUE(WaitUntil([&] { return IsIconic(first) == 0; })) << "the first window was not restored";
  EXPECT_TRUE(PressMessageBoxButton(box, IDOK));
  EXPECT_EQ(second.WaitForExit(), 0);
  // The first copy goes on working.
  ASSERT_TRUE(app.Running());
  Run(L"echo 还在", L"还在");
}

// The taskbar and Alt+Tab show the class icons. Wine answers GetClassLongPtr(GCLP_HICON)
// only inside the window's process, so a message hook loads a probe there (icon_probe.cpp).
TEST_F(ProgramTest, MainWindowClassCarriesTheProgramsOwnIcons) {
  StartConsole();
  const std::unique_ptr<HINSTANCE__, decltype(&FreeLibrary)> probe(
      LoadLibraryW(WindowsPath(QV_E2E_ICON_PROBE).c_str()), FreeLibrary);
  ASSERT_TRUE(probe);
  const auto hook = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(probe.get(), "IconProbeHook")));
  HHOOK installed =
      SetWindowsHookExW(WH_CALLWNDPROC, hook, probe.get(), GetWindowThreadProcessId(app.MainWindow(), nullptr));
  ASSERT_NE(installed, nullptr);
  const UINT ask = RegisterWindowMessageW(kIconProbeMessage);
  MSG answer{};
  PeekMessageW(&answer, nullptr, 0, 0, PM_NOREMOVE);  // this thread's queue, for the answer
  SendMessageTimeoutW(app.MainWindow(), ask, GetCurrentThreadId(), 0, SMTO_ABORTIFHUNG, 5000, nullptr);
  EXPECT_TRUE(WaitUntil([&] { return PeekMessageW(&answer, nullptr, ask, ask, PM_REMOVE) != 0; })) << "no answer";
  UnhookWindowsHookEx(installed);
  EXPECT_EQ(answer.wParam, 1u) << "large icon";
  EXPECT_EQ(answer.lParam, 1) << "small icon";
}

// 144 DPI is set in the registry for this test only; ctest runs it alone.
TEST_F(ProgramTest, HighDpiClientAreaIs1440By960) {
  constexpr int kDpi = 144;
  SIZE client{};
  RECT frame{};
  {
    ScopedDpi dpi(kDpi);
    WritePlugin(L"basic.lua", TestBasicScript(true));
    ASSERT_TRUE(Start());
    ASSERT_NE(app.WaitForMainWindow(), nullptr);
    ASSERT_TRUE(app.WaitForConsole());
  }
  client = ClientSize(app.MainWindow());
  EXPECT_EQ(client.cx, 1440);
  EXPECT_EQ(client.cy, 960);
  // Centred on the screen (the test display has no task bar).
  GetWindowRect(app.MainWindow(), &frame);
  int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  EXPECT_NEAR(frame.left, screenWidth - frame.right, 1);
  EXPECT_NEAR(frame.top, screenHeight - frame.bottom, 1);
  // The title bar buttons are 63 pixels wide: the close button sits in the last 63.
  ASSERT_TRUE(app.WaitForLog(L"已跳过加载动画"));
  Run(L"echo 高分辨率", L"高分辨率");
  SaveScreenshot(L"console-144dpi");
  ClickAt(app.MainWindow(), client.cx - ScaleFor(42, kDpi) + 2, ScaleFor(36, kDpi) - 2);
  EXPECT_EQ(app.WaitForExit(), 0);
}

}  // namespace
}  // namespace qv::e2e
