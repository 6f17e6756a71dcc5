// Plugins that act on their own in the real program: timers print without
// input (also while the window is minimised, and after a running command),
// notifications reach the notification area and a click on them shows the
// console, saving a script reloads once, and the plugin manager holds 60
// plugins inside the screen and scrolls.
#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>

#include "tests/e2e/program_fixture.h"

namespace qv::e2e {
namespace {

// The program's notification icon callback message and its events window.
constexpr UINT kNotifyIconMessage = WM_APP + 21;
constexpr wchar_t kEventsClass[] = L"QuorvantLinePluginEvents";

const char kBusyCommand[] =
    "host.register{ name = 'busy', run = function()\n"
    "  host.after(50, function() print('等到命令结束') end)\n"
    "  local t = host.clock()\n"
    "  while host.clock() - t < 1000 do end\n"
    "  print('忙完了')\n"
    "end }\n";

bool Before(const std::wstring& log, const std::wstring& first, const std::wstring& second) {
  const size_t a = log.find(first);
  const size_t b = log.find(second);
  return a != std::wstring::npos && b != std::wstring::npos && a < b;
}

using PluginEventsTest = ProgramTest;

TEST_F(PluginEventsTest, TimersPrintWithoutInputEvenMinimisedAndWaitForACommand) {
  WritePlugin(L"tick.lua",
              std::string(kBusyCommand) +
                  "host.after(600, function() print('一次性定时器') end)\n"
                  "local n, id = 0, nil\n"
                  "id = host.every(200, function() n = n + 1; print('重复定时器 ' .. n); if n == 3 then host.cancel(id) end end)\n");
  StartConsole();
  ShowWindow(app.MainWindow(), SW_MINIMIZE);
  ASSERT_TRUE(app.WaitForLog(L"| 一次性定时器\r\n"));
  ASSERT_TRUE(app.WaitForLog(L"| 重复定时器 3\r\n"));
  EXPECT_TRUE(IsIconic(app.MainWindow()));
  Sleep(600);
  EXPECT_EQ(app.ReadLog().find(L"重复定时器 4"), std::wstring::npos) << "the cancelled timer ran again";
  ShowWindow(app.MainWindow(), SW_RESTORE);
  // A timer due while a command runs waits for it.
  Run(L"busy", L"忙完了");
  ASSERT_TRUE(app.WaitForLog(L"| 等到命令结束\r\n"));
  EXPECT_TRUE(Before(app.ReadLog(), L"忙完了", L"等到命令结束"));
  EXPECT_NUMBERED(Log());
}

// A stand-in notification area: the top window of the taskbar's class, which
// the system's Shell_NotifyIcon hands each icon's data to (WM_COPYDATA).
class StandInTray {
 public:
  StandInTray() {
    thread_ = std::thread([this] { Run(); });
    WaitUntil([this] { return ready_.load(); });
  }
  ~StandInTray() {
    if (window_) PostMessageW(window_, WM_CLOSE, 0, 0);
    thread_.join();
  }
  // Whether any data handed over holds the text (as UTF-16).
  bool Received(const std::wstring& text) {
    std::lock_guard lock(mutex_);
    const std::string bytes(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    for (const std::string& data : received_) {
      if (data.find(bytes) != std::string::npos) return true;
    }
    return false;
  }

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<StandInTray*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_COPYDATA && self) {
      const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      std::lock_guard lock(self->mutex_);
      self->received_.emplace_back(static_cast<const char*>(copy->lpData), copy->cbData);
      return TRUE;
    }
    if (message == WM_CLOSE) {
      DestroyWindow(window);
      PostQuitMessage(0);
      return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
  }
  void Run() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"Shell_TrayWnd";
    RegisterClassW(&windowClass);
    window_ = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"Shell_TrayWnd", L"", WS_POPUP, 0, 0, 1, 1, nullptr,
                              nullptr, windowClass.hInstance, nullptr);
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ready_ = true;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    UnregisterClassW(L"Shell_TrayWnd", windowClass.hInstance);
  }

  std::thread thread_;
  std::atomic<bool> ready_{false};
  HWND window_ = nullptr;
  std::mutex mutex_;
  std::vector<std::string> received_;
};

TEST_F(PluginEventsTest, NotificationReachesTheNotificationAreaAndAClickShowsTheConsole) {
  StandInTray tray;
  ASSERT_NE(FindWindowW(L"Shell_TrayWnd", nullptr), nullptr);
  WritePlugin(L"tell.lua",
              "host.register{ name = 'tell', run = function() print(host.notify('该喝水了', '提醒')) end }\n"
              "host.register{ name = 'flood', run = function()\n"
              "  local ok, reason\n"
              "  for i = 1, 10 do ok, reason = host.notify('第 ' .. i .. ' 条') end\n"
              "  print(ok, reason)\n"
              "end }\n");
  StartConsole();
  Run(L"tell", L"true");
  ASSERT_TRUE(WaitUntil([&] { return tray.Received(L"该喝水了") && tray.Received(L"提醒"); }))
      << "the notification area got no balloon with the text and title";
  // Without a title the program's name is the title.
  Run(L"flood", L"nil\t通知太频繁：每个插件每分钟最多 10 条");
  EXPECT_TRUE(tray.Received(L"第 9 条"));
  EXPECT_TRUE(tray.Received(L"quorvantline"));
  EXPECT_FALSE(tray.Received(L"第 10 条"));

  // A click on the balloon brings the minimised console back.
  ShowWindow(app.MainWindow(), SW_MINIMIZE);
  ASSERT_TRUE(WaitUntil([&] { return IsIconic(app.MainWindow()) != FALSE; }));
  HWND events = FindWindowExW(HWND_MESSAGE, nullptr, kEventsClass, nullptr);
  ASSERT_NE(events, nullptr);
  PostMessageW(events, kNotifyIconMessage, 1, NIN_BALLOONUSERCLICK);
  EXPECT_TRUE(WaitUntil([&] { return !IsIconic(app.MainWindow()) && IsWindowVisible(app.MainWindow()); }))
      << "the console stayed minimised";
}

TEST_F(PluginEventsTest, SavingAScriptReloadsOnceAndNeverDuringACommand) {
  WritePlugin(L"busy.lua", kBusyCommand);
  StartConsole();
  // An editor's save: the new text goes to a temporary file that replaces the script.
  const std::wstring script = pluginsFolder + L"\\watched.lua";
  ASSERT_TRUE(WriteBytes(script + L".tmp", "host.register{ name = 'watched', run = function() print('新命令') end }\n"));
  ASSERT_TRUE(MoveFileExW((script + L".tmp").c_str(), script.c_str(), MOVEFILE_REPLACE_EXISTING));
  const std::wstring notice = L"[插件] watched.lua 有改动，自动重新加载。";
  ASSERT_TRUE(app.WaitForLog(notice)) << "no reload after the save";
  ASSERT_TRUE(app.WaitForLogMatch([](const std::wstring& log) { return CountOccurrences(log, L"[插件] 已加载") == 2; }));
  EXPECT_TRUE(Before(app.ReadLog(), notice, L"[插件] 已加载 3/3 个脚本"));
  Run(L"watched", L"新命令");
  Sleep(1500);
  EXPECT_EQ(CountOccurrences(app.ReadLog(), notice), 1) << "one save, more than one reload";

  // A save while a command runs: the reload comes after the command.
  app.Enter(L"busy");
  Sleep(200);
  ASSERT_TRUE(WriteBytes(script, "host.register{ name = 'watched', run = function() print('改过了') end }\n"));
  ASSERT_TRUE(app.WaitForLogMatch([&](const std::wstring& log) { return CountOccurrences(log, notice) == 2; }));
  const std::wstring log = app.ReadLog();
  EXPECT_LT(log.find(L"忙完了"), log.rfind(notice)) << "the reload did not wait for the command";
  ASSERT_TRUE(app.WaitForLogMatch([](const std::wstring& log) { return CountOccurrences(log, L"[插件] 已加载") == 3; }));
  Run(L"watched", L"改过了");
  EXPECT_NUMBERED(Log());
}

// 60 plugins: basic.lua, p01.lua .. p58.lua and plugin-manager.lua, in load order.
void WriteSixtyPlugins(const std::wstring& folder) {
  CreateDirectoryW(folder.c_str(), nullptr);
  WriteBytes(folder + L"\\basic.lua", TestBasicScript(true));
  WriteBytes(folder + L"\\plugin-manager.lua",
             "host.register{ name = 'manager', run = function() host.plugin_manager() end }\n");
  for (int i = 1; i <= 58; ++i) {
    char name[16];
    std::snprintf(name, sizeof(name), "p%02d", i);
    WriteBytes(folder + L"\\" + Widen(name) + L".lua",
               std::string("host.register{ name = '") + name + "', run = function() end }\n");
  }
}

class ManagerTest : public ProgramTest {
 protected:
  // The disabled list once the program has handled the click (a click's
  // switch is a call, which holds back the posted marker until it ends). Read
  // once: a reader polling the file while the program replaces it can make the
  // replacement fail under Wine.
  std::string SavedDisabledList() {
    EXPECT_TRUE(app.Settle());
    return ReadBytes(DisabledFile());
  }
};

TEST_F(ManagerTest, WithSixtyPluginsItStaysOnTheScreenAndScrolls) {
  WriteSixtyPlugins(pluginsFolder);
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  for (const DWORD dpi : {96u, 144u}) {
    SCOPED_TRACE(dpi);
    {
      ScopedDpi scoped(dpi);
      ASSERT_TRUE(Start());
      ASSERT_NE(app.WaitForMainWindow(), nullptr);
      ASSERT_TRUE(app.WaitForConsole());
    }
    auto scale = [dpi](int pixels) { return ScaleFor(pixels, static_cast<int>(dpi)); };
    app.Enter(L"manager");
    HWND manager = app.WaitForWindow(kManagerClass);
    ASSERT_NE(manager, nullptr);
    RECT frame{};
    GetWindowRect(manager, &frame);
    const int height = frame.bottom - frame.top;
    std::printf("manager with 60 plugins at %lu DPI: %d x %d (work area %ld high)\n", dpi,
                static_cast<int>(frame.right - frame.left), height, work.bottom - work.top);
    EXPECT_LE(height, work.bottom - work.top);
    EXPECT_GE(frame.top, work.top);
    EXPECT_LE(frame.bottom, work.bottom);
    // Whole rows between the title and the footer, which stay in view.
    const int rows = (height - scale(70) - scale(50)) / scale(34);
    EXPECT_EQ(height, scale(70) + rows * scale(34) + scale(50));
    EXPECT_LT(rows, 60);
    SaveScreenshot(L"manager-60-top-" + std::to_wstring(dpi), 500);

    if (dpi == 96) {
      // One wheel notch down: three rows; the top row is now p03.lua.
      PostMessageW(manager, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), 0);
      ClickAt(manager, scale(100), scale(48) + scale(17));
      ASSERT_EQ(SavedDisabledList(), "p03.lua\r\n");
      // End: the last row is the manager's own script.
      app.PressKey(VK_END, manager);
      ClickAt(manager, scale(100), scale(48) + (rows - 1) * scale(34) + scale(17));
      ASSERT_EQ(SavedDisabledList(), "p03.lua\r\nplugin-manager.lua\r\n");
      SaveScreenshot(L"manager-60-end-96");
      // Home scrolls back; again the row under the pointer toggles.
      app.PressKey(VK_HOME, manager);
      app.Settle();
      SaveScreenshot(L"manager-60-home-96");
      ClickAt(manager, scale(100), scale(48) + 3 * scale(34) + scale(17));
      ASSERT_EQ(SavedDisabledList(), "plugin-manager.lua\r\n");
    }
    app.Kill();
    DeleteFileW(DisabledFile().c_str());
  }
}

}  // namespace
}  // namespace qv::e2e
