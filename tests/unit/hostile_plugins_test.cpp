// Plugins written to hurt the program: each case runs one command of a
// hostile plugin and checks that it ends in time with an error of the
// expected kind, that the other plugin still works, that a reload works, and
// that the memory comes back once the states are closed.
#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <chrono>

#include "base/text.h"
#include "host/lua/state_context.h"
#include "host/commands.h"
#include "host/lua/call_limits.h"
#include "host/lua/sandbox.h"
#include "host/script_env.h"
#include "host_fixture.h"

namespace qv {
namespace {

using Clock = std::chrono::steady_clock;

std::size_t CommittedBytes() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return counters.PagefileUsage;  // committed memory (Wine leaves PrivateUsage at 0)
}

struct HostileCase {
  const char* body;      // the command's body
  const wchar_t* shows;  // text the output must contain
  double seconds;        // at most this long
  const char* atLoad = "";               // the plugin's body besides the command
  std::wstring arguments = std::wstring();  // typed after the command's name
  std::size_t stateLimit = kStateMemoryLimit;  // a smaller cap fills in a moment
};

// A state filled to its memory cap while it loads, the memory kept (in a
// chain, so no large block is left to fail last and leave room behind).
constexpr const char* kFillToTheCap =
    "for _, size in ipairs{ 65536, 4000, 100 } do\n"
    "  pcall(function() while true do hog = { hog, ('x'):rep(size) } end end)\n"
    "end";

std::wstring ManyWords(int count) {
  std::wstring words;
  for (int i = 0; i < count; ++i) words += L"参数" + std::to_wstring(i) + L" ";
  return words;
}

// The time-limit cases wait for the real 5-second limit.
constexpr double kLimitSeconds = kScriptTimeLimitMs / 1000.0 + 1.0;

const HostileCase kCases[] = {
    // A finalizer would run where no time limit reaches it, and while a state closes.
    {"setmetatable({}, { __gc = function() host.register{ name = 'late', run = print } end })", L"__gc", 1},
    // Lua runs a message handler raised from the hook with hooks switched off.
    {"xpcall(function() while true do end end, function(m) while true do end end)", L"超过 5 秒", kLimitSeconds},
    {"xpcall(error, function(m) while true do end end)", L"超过 5 秒", kLimitSeconds},
    // Memory: the state's cap, not the process's.
    {"local t = {} for i = 1, 1e9 do t[i] = i end", L"not enough memory", 30},
    {"local s = 'xy' while true do s = s .. s end", L"not enough memory", 10},
    {"local t = {} for i = 1, 1e9 do t[i] = ('x'):rep(1 << 20) .. i end", L"not enough memory", 10},
    // Host memory held for the plugin.
    {"for i = 1, 1000 do host.register{ name = 'c' .. i, run = print } end", L"最多注册 200 条命令", 1},
    {"for i = 1, 1000 do host.menu('菜单 ' .. i, 'ok') end", L"最多添加 50 个菜单项", 1},
    {"host.menu(('x'):rep(1 << 20), 'ok')", L"菜单文字太长", 1},
    {"host.register{ name = 'x', help = ('h'):rep(1 << 20), run = print }", L"说明太长", 1},
    // The arguments of a state at its cap are built where the error is caught.
    {"print('ran')", L"not enough memory", 10, kFillToTheCap, ManyWords(5000), std::size_t{16} << 20},
    // An error text of 120 MB is cut inside the state, before it is copied out.
    {"error(setmetatable({}, { __tostring = function() return ('x'):rep(120000000) end }))", L"错误信息过长", 10},
};

TEST(HostilePlugins, EveryCaseEndsInTimeAndLeavesTheHostWhole) {
  for (const HostileCase& c : kCases) {
    test::CapturedHost captured;
    captured.host.onStateCreated = [&c](lua_State* L) { ContextOf(L)->limit = c.stateLimit; };
    captured.folder.Write(L"basic.lua", "host.register{ name = 'ok', run = function() print('ok') end }\n"
                                        "host.menu('好', 'ok')");
    captured.folder.Write(L"hostile.lua", std::string("host.register{ name = 'go', run = function()\n") + c.body +
                                              "\nend }\n" + c.atLoad);
    captured.Load();
    const std::size_t before = CommittedBytes();
    const Clock::time_point start = Clock::now();
    const std::wstring output = captured.Run(L"go", c.arguments);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_EQ(output.rfind(L"插件错误：", 0), 0u) << c.body << "\n" << WideToUtf8(output);
    EXPECT_NE(output.find(c.shows), std::wstring::npos) << c.body << "\n" << WideToUtf8(output);
    EXPECT_LT(seconds, c.seconds) << c.body;
    EXPECT_EQ(captured.Run(L"ok"), L"ok\r\n") << c.body;
    EXPECT_FALSE(HasCommand(captured.host, L"late")) << c.body;
    captured.Load();
    EXPECT_EQ(captured.host.menuItems.size(), 1u) << c.body;
    EXPECT_EQ(captured.Run(L"ok"), L"ok\r\n") << c.body;
    CloseAllPlugins(captured.host);
    EXPECT_LT(CommittedBytes(), before + (std::size_t{32} << 20)) << c.body << ": the memory did not come back";
  }
}

TEST(HostilePlugins, PrintedTextIsCutToTheLogsCapacity) {
  test::CapturedHost captured;
  captured.folder.Write(L"basic.lua", "host.register{ name = 'big', run = function()\n"
                                      "  print(('x'):rep(60 * 1024 * 1024 - 3) .. 'end') end }");
  captured.Load();
  const std::wstring output = captured.Run(L"big");
  EXPECT_EQ(output.size(), kPrintedTextLimit + 2);
  EXPECT_EQ(output.substr(output.size() - 5), L"end\r\n");
}

TEST(HostilePlugins, AReloadAskedForByAPluginBodyIsDropped) {
  test::CapturedHost captured;
  captured.folder.Write(L"basic.lua", "host.register{ name = 'ok', run = function() print('ok') end }");
  captured.folder.Write(L"again.lua", "host.reload()");
  captured.Load();
  EXPECT_FALSE(TakeReloadRequest(captured.host));
  EXPECT_NE(captured.host.pendingLog.find(L"[插件] 已忽略 again.lua 在加载时请求的重新加载。"), std::wstring::npos)
      << WideToUtf8(captured.host.pendingLog);
  captured.Run(L"ok");
  EXPECT_FALSE(TakeReloadRequest(captured.host));
}

TEST(HostilePlugins, TextCollectedDuringALoadPassIsBounded) {
  test::CapturedHost captured;
  captured.folder.Write(L"basic.lua", "for i = 1, 20 do print(('y'):rep(100000)) end");
  captured.Load();
  EXPECT_LE(captured.host.pendingLog.size(), kPendingLogLimit + 100);
  EXPECT_NE(captured.host.pendingLog.find(L"加载时的输出过多"), std::wstring::npos);
}

}  // namespace
}  // namespace qv
