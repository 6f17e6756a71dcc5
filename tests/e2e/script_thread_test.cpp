// The window while a plugin runs: live output, Esc, input during a call,
// closing during a call, a plugin stuck in native code, and hostile plugins
// that must neither crash the program nor stop it answering.
#include <windows.h>
#include <psapi.h>

#include <chrono>
#include <cstdio>

#include "tests/e2e/program_fixture.h"

namespace qv::e2e {
namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// 'slow' prints, then runs for one to two seconds; 'spin' never ends by itself;
// 'stuck' sits inside one table insert whose 2^18 keys all collide in one hash
// chain (minutes of native code that no hook reaches).
const char kBusyPlugin[] = R"lua(
host.register{ name = "slow", run = function()
  print("开始")
  for _ = 1, 2 do local t = host.time() while host.time() == t do end end
  print("结束")
end }
host.register{ name = "spin", run = function() while true do end end }
host.register{ name = "stuck", run = function()
  local t = {}
  for i = 1, 262144 do t[i * 524287] = true end
  t[0.5] = true
end }
)lua";

TEST_F(ProgramTest, OutputAppearsWhileTheCommandRuns) {
  WritePlugin(L"busy.lua", kBusyPlugin);
  StartConsole();
  app.Enter(L"slow");
  ASSERT_TRUE(app.WaitForLog(L"开始", std::chrono::milliseconds(900)));
  EXPECT_EQ(app.ReadLog().find(L"结束"), std::wstring::npos) << "the first line waited for the command's end";
  EXPECT_TRUE(app.WaitForLog(L"结束"));
}

TEST_F(ProgramTest, EscStopsTheRunningCommandAndTypedAheadLinesWait) {
  WritePlugin(L"busy.lua", kBusyPlugin);
  StartConsole();
  app.Enter(L"spin");
  Sleep(300);
  // Typed while the command runs: no second command starts until it ends.
  app.Enter(L"echo 第二条");
  Sleep(200);
  EXPECT_EQ(app.ReadLog().find(L"> echo 第二条"), std::wstring::npos);
  const Clock::time_point pressed = Clock::now();
  PostMessageW(app.InputLine(), WM_KEYDOWN, VK_ESCAPE, 1);
  ASSERT_TRUE(app.WaitForLog(L"已按 Esc 停止这条命令", std::chrono::milliseconds(2000)));
  const double seconds = SecondsSince(pressed);
  RecordProperty("esc_to_interruption_ms", static_cast<int>(seconds * 1000));
  EXPECT_LT(seconds, 0.5);
  const std::wstring log = app.ReadLog();
  EXPECT_NE(log.find(L"插件错误：已按 Esc 停止这条命令"), std::wstring::npos) << Narrow(log);
  EXPECT_LT(log.find(L"已按 Esc 停止这条命令"), log.find(L"> echo 第二条")) << Narrow(log);
  EXPECT_TRUE(app.WaitForLogMatch([](const std::wstring& text) { return CountOccurrences(text, L"第二条") == 2; }))
      << "the typed-ahead line did not run after the stop";
  Run(L"echo 之后", L"之后");
}

TEST_F(ProgramTest, ClosingDuringACommandTakesEffectWhenItEnds) {
  WritePlugin(L"busy.lua", kBusyPlugin);
  StartConsole();
  app.Enter(L"spin");
  Sleep(300);
  PostMessageW(app.MainWindow(), WM_CLOSE, 0, 0);
  Sleep(300);
  EXPECT_TRUE(app.Running()) << "closed while the command still ran";
  EXPECT_FALSE(app.ReadLog().empty()) << "the window did not answer during the command";
  EXPECT_EQ(app.WaitForExit(std::chrono::milliseconds(8000)), 0);
}

TEST_F(ProgramTest, APluginStuckInNativeCodeIsCutOffAndTheOthersGoOn) {
  WritePlugin(L"busy.lua", kBusyPlugin);
  StartConsole();
  const Clock::time_point start = Clock::now();
  app.Enter(L"stuck");
  ASSERT_TRUE(app.WaitForLog(L"busy.lua 没有响应", std::chrono::milliseconds(9000)));
  Run(L"echo 还在", L"还在");
  const double seconds = SecondsSince(start);
  RecordProperty("stuck_to_answer_ms", static_cast<int>(seconds * 1000));
  EXPECT_LT(seconds, 8.0);
  // Its commands are gone until a reload brings them back.
  Run(L"slow", L"未知命令：slow");
  Run(L"again", L"准备重新加载");
  Run(L"slow", L"结束");
  // The stuck thread still runs: ending the program does not wait for it.
  app.Enter(L"stuck");
  ASSERT_TRUE(app.WaitForLogMatch([](const std::wstring& log) { return CountOccurrences(log, L"busy.lua 没有响应") == 2; },
                                  std::chrono::milliseconds(9000)));
  app.Enter(L"bye");
  EXPECT_EQ(app.WaitForExit(std::chrono::milliseconds(5000)), 0);
}

TEST_F(ProgramTest, HostilePluginsNeitherCrashNorStopTheProgram) {
  WritePlugin(L"hostile.lua", R"lua(
host.register{ name = "gc", run = function() setmetatable({}, { __gc = function() host.reload() end }) end }
host.register{ name = "hog", run = function() local s = "xy" while true do s = s .. s end end }
host.register{ name = "clears", run = function() for i = 1, 10000 do host.clear() end print("清空完毕") end }
host.register{ name = "flicker", run = function()
  local start = host.clock()
  while host.clock() - start < 3000 do host.clear() print("闪") end
  print("交替完毕")
end }
host.register{ name = "longline", run = function() print(("长"):rep(199000)) print("长行完毕") end }
host.register{ name = "bigerror", run = function()
  error(setmetatable({}, { __tostring = function() return ("x"):rep(120000000) end }))
end }
)lua");
  StartConsole();
  const struct {
    const wchar_t* line;
    const wchar_t* shows;
    bool textOnly = false;  // the echo is cleared or pushed out of the log: wait for the text alone
  } cases[] = {
      {L"gc", L"__gc"},
      {L"hog", L"not enough memory"},
      // Floods: each is shown in bounded time, however it was queued.
      {L"clears", L"清空完毕", true},
      {L"flicker", L"交替完毕", true},
      {L"longline", L"长行完毕", true},
      {L"bigerror", L"错误信息过长", true},
  };
  for (const auto& c : cases) {
    const Clock::time_point start = Clock::now();
    if (c.textOnly) {
      app.Enter(c.line);
      EXPECT_TRUE(app.WaitForLog(c.shows)) << Narrow(c.line);
    } else {
      Run(c.line, c.shows);
    }
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(app.handle(), &memory, sizeof memory);
    std::printf("%s shown after %.2f s, peak committed so far %zu MiB\n", Narrow(c.line).c_str(), SecondsSince(start),
                static_cast<std::size_t>(memory.PeakPagefileUsage >> 20));
    Run(L"echo 下一条", L"下一条");
    ASSERT_TRUE(app.Running()) << Narrow(c.line);
  }
  Run(L"again", L"准备重新加载");
  Run(L"echo 重新加载之后", L"重新加载之后");
}

}  // namespace
}  // namespace qv::e2e
