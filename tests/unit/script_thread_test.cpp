// Calls into Lua run on the script thread while the owning thread stays free:
// output arrives while a call runs, a call can be stopped, host actions run on
// the owning thread, and a call stuck inside native code is cut off.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "base/text.h"
#include "host/lua/script_thread.h"
#include "host/lua/state_context.h"
#include "host/commands.h"
#include "host/execute.h"
#include "host/lua/call_limits.h"
#include "host/lua/sandbox.h"
#include "host/script_env.h"
#include "lauxlib.h"
#include "lua.h"
#include "host_fixture.h"

namespace qv {
namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// stay_native(ms): stands in for any native call that no hook reaches.
int StayNative(lua_State* L) {
  const auto until = Clock::now() + std::chrono::milliseconds(luaL_checkinteger(L, 1));
  while (Clock::now() < until) std::this_thread::yield();
  return 0;
}

// stall_next_allocation(ms): the state's next growing allocation sleeps, as a
// long collection step inside an allocation of a host function would.
int StallNextAllocation(lua_State* L) {
  ContextOf(L)->stallNextGrowthMs.store(static_cast<unsigned>(luaL_checkinteger(L, 1)));
  return 0;
}

// may_touch(): whether host data may be touched from here, in Lua and inside
// WithHostData.
int MayTouch(lua_State* L) {
  lua_pushboolean(L, MayTouchHostData());
  bool inside = false;
  WithHostData([&] { inside = MayTouchHostData(); });
  lua_pushboolean(L, inside);
  return 2;
}

struct ThreadedHost : test::CapturedHost {
  ThreadedHost() {
    host.onStateCreated = [](lua_State* L) {
      lua_register(L, "may_touch", MayTouch);
      lua_register(L, "stay_native", StayNative);
      lua_register(L, "stall_next_allocation", StallNextAllocation);
    };
  }
};

TEST(ScriptThread, OutputArrivesWhileTheCallRuns) {
  ThreadedHost captured;
  captured.folder.Write(L"basic.lua", "host.register{ name = 'slow', run = function()\n"
                                      "  print('first') stay_native(400) print('second') end }");
  captured.Load();
  std::vector<std::pair<std::wstring, double>> arrivals;
  const Clock::time_point start = Clock::now();
  captured.host.onOutput = [&](const std::wstring& text) { arrivals.emplace_back(text, SecondsSince(start)); };
  ExecuteCommand(captured.host, L"slow", L"");
  ASSERT_EQ(arrivals.size(), 2u);
  EXPECT_EQ(arrivals[0].first, L"first\r\n");
  EXPECT_LT(arrivals[0].second, 0.2) << "the first line waited for the call to end";
  EXPECT_GE(arrivals[1].second, 0.4);
}

// The thread contract's own check: in Lua on the script thread host data is
// out of reach except through WithHostData; the owning thread may always.
TEST(ScriptThread, HostDataIsOutOfReachInLuaExceptThroughWithHostData) {
  ThreadedHost captured;
  captured.folder.Write(L"basic.lua", "host.register{ name = 'touch', run = function() print(may_touch()) end }");
  captured.Load();
  EXPECT_EQ(captured.Run(L"touch", L""), L"false\ttrue\r\n");
  EXPECT_TRUE(MayTouchHostData());
}

TEST(ScriptThread, ActionsRunOnTheOwningThreadInOrderWithOutput) {
  ThreadedHost captured;
  captured.folder.Write(L"basic.lua", "host.register{ name = 'act', run = function()\n"
                                      "  print('a') host.system() host.clear() print('b') host.exit() end }");
  captured.Load();
  const DWORD owner = GetCurrentThreadId();
  std::wstring events;
  bool allOnOwner = true;
  const auto note = [&](const std::wstring& what) {
    events += what;
    allOnOwner = allOnOwner && GetCurrentThreadId() == owner;
  };
  captured.host.onOutput = [&](const std::wstring& text) { note(text); };
  captured.host.onClear = [&] { note(L"<clear>"); };
  captured.host.onSystemInfo = [&] { note(L"<system>"); return SystemInfo{}; };
  captured.host.onExit = [&] { note(L"<exit>"); };
  ExecuteCommand(captured.host, L"act", L"");
  EXPECT_EQ(events, L"a\r\n<system><clear>b\r\n<exit>");
  EXPECT_TRUE(allOnOwner);
}

TEST(ScriptThread, StopEndsTheCallAndTheNextOneWorks) {
  ThreadedHost captured;
  captured.folder.Write(L"basic.lua", "host.register{ name = 'spin', run = function() while true do end end }\n"
                                      "host.register{ name = 'ok', run = function() print('ok') end }");
  captured.Load();
  Clock::time_point start = Clock::now();
  double stoppedAfter = 0;
  captured.host.onCallWait = [&] {
    if (stoppedAfter == 0 && SecondsSince(start) > 0.3 && StopRunningCall(captured.host)) {
      stoppedAfter = SecondsSince(start);
    }
  };
  const std::wstring output = captured.Run(L"spin");
  const double elapsed = SecondsSince(start);
  // The user's own stop: one line naming the command, no traceback.
  EXPECT_EQ(output, L"已停止：spin\r\n");
  EXPECT_LT(elapsed - stoppedAfter, 0.5);
  EXPECT_FALSE(StopRunningCall(captured.host)) << "no call runs any more";
  EXPECT_EQ(captured.Run(L"ok"), L"ok\r\n");
}

TEST(ScriptThread, ASecondCallWhileOneRunsIsRefused) {
  ThreadedHost captured;
  captured.folder.Write(L"basic.lua", "host.register{ name = 'slow', run = function() stay_native(200) end }");
  captured.Load();
  std::wstring nested;
  captured.host.onCallWait = [&] {
    if (!nested.empty()) return;
    auto& outer = captured.host.onOutput;
    const auto saved = outer;
    outer = [&](const std::wstring& text) { nested += text; };
    ExecuteCommand(captured.host, L"slow", L"");
    outer = saved;
  };
  captured.Run(L"slow");
  EXPECT_EQ(nested, L"另一条命令正在运行。\r\n");
}

TEST(ScriptThread, ACommandStuckInNativeCodeIsCutOff) {
  ThreadedHost captured;
  captured.folder.Write(L"basic.lua", "host.register{ name = 'ok', run = function() print('ok') end }");
  captured.folder.Write(L"stuck.lua", "host.register{ name = 'stuck', run = function() stay_native(60000) end }\n"
                                      "host.menu('卡住', 'stuck')");
  captured.Load();
  ASSERT_EQ(captured.host.menuItems.size(), 1u);
  const Clock::time_point start = Clock::now();
  const std::wstring output = captured.Run(L"stuck");
  const double elapsed = SecondsSince(start);
  EXPECT_GE(elapsed, (kScriptTimeLimitMs + kStuckCallGraceMs) / 1000.0 - 0.05);
  EXPECT_LT(elapsed, (kScriptTimeLimitMs + kStuckCallGraceMs) / 1000.0 + 1.0);
  EXPECT_NE(output.find(L"stuck.lua 没有响应"), std::wstring::npos) << WideToUtf8(output);
  EXPECT_FALSE(HasCommand(captured.host, L"stuck"));
  EXPECT_TRUE(captured.host.menuItems.empty());
  const PluginSummary& row = captured.host.pluginList[1];
  EXPECT_EQ(row.name, L"stuck.lua");
  EXPECT_FALSE(row.ok);
  EXPECT_EQ(captured.Run(L"ok"), L"ok\r\n");
  // A reload brings the plugin back in a fresh state.
  captured.Load();
  EXPECT_TRUE(HasCommand(captured.host, L"stuck"));
}

TEST(ScriptThread, AHostFunctionCutOffMidwayNeverTouchesHostDataAgain) {
  // Each stalls inside the host function (converting a number argument) past
  // the cut-off; meanwhile the plugin is cut off and everything reloaded.
  const char* const bodies[] = {"host.menu(1, 2)", "host.register{ name = 1, run = print }", "print(1)",
                                "host.reload(host.directory(1))"};
  constexpr unsigned kStallMs = kScriptTimeLimitMs + kStuckCallGraceMs + 1000;
  struct Outcome {
    std::wstring cutOff, afterwards;
    std::size_t menuEntries = 0;
    bool strayCommand = true, reloadAsked = true;
  };
  std::vector<Outcome> outcomes(std::size(bodies));
  std::vector<std::thread> rows;
  for (std::size_t i = 0; i < std::size(bodies); ++i) {
    rows.emplace_back([&, i] {
      ThreadedHost captured;
      captured.folder.Write(L"basic.lua", "host.register{ name = 'ok', run = function() print('ok') end }\n"
                                          "host.menu('好', 'ok')");
      captured.folder.Write(L"stall.lua", "host.register{ name = 'go', run = function()\n  stall_next_allocation(" +
                                              std::to_string(kStallMs) + ") " + bodies[i] + "\nend }");
      captured.Load();
      Outcome& outcome = outcomes[i];
      outcome.cutOff = captured.Run(L"go");
      captured.Load();  // the record the stalled call belongs to is gone
      std::this_thread::sleep_for(std::chrono::milliseconds(kStallMs - kScriptTimeLimitMs - kStuckCallGraceMs + 1000));
      outcome.menuEntries = captured.host.menuItems.size();
      outcome.strayCommand = HasCommand(captured.host, L"1");
      outcome.reloadAsked = TakeReloadRequest(captured.host);
      outcome.afterwards = captured.Run(L"ok");
    });
  }
  for (std::thread& row : rows) row.join();
  for (std::size_t i = 0; i < std::size(bodies); ++i) {
    const Outcome& outcome = outcomes[i];
    EXPECT_NE(outcome.cutOff.find(L"stall.lua 没有响应"), std::wstring::npos) << bodies[i];
    EXPECT_EQ(outcome.menuEntries, 1u) << bodies[i];
    EXPECT_FALSE(outcome.strayCommand) << bodies[i];
    EXPECT_FALSE(outcome.reloadAsked) << bodies[i];
    EXPECT_EQ(outcome.afterwards, L"ok\r\n") << bodies[i];
  }
}

TEST(ScriptThread, ALoadPassGoesOnPastScriptsStuckInNativeCodeOrTheCompiler) {
  ThreadedHost captured;
  captured.folder.Write(L"basic.lua", "host.register{ name = 'ok', run = function() print('ok') end }");
  captured.folder.Write(L"m-stuck.lua", "host.register{ name = 'early', run = print } stay_native(60000)");
  // Compiling runs no instructions at all: 750 KB of chained `or` keeps the
  // compiler busy for half a minute.
  std::string chained = "local a = false\nlocal x = a";
  while (chained.size() < 750000) chained += " or a";
  captured.folder.Write(L"n-compile.lua", chained + "\n");
  captured.folder.Write(L"z-next.lua", "host.register{ name = 'after', run = function() print('after') end }");
  captured.Load();
  const std::wstring log = TakePendingLog(captured.host);
  EXPECT_NE(log.find(L"[插件] m-stuck.lua 加载失败：没有响应"), std::wstring::npos) << WideToUtf8(log);
  EXPECT_NE(log.find(L"[插件] n-compile.lua 加载失败：没有响应"), std::wstring::npos) << WideToUtf8(log);
  EXPECT_NE(log.find(L"已加载 2/4 个脚本，注册 2 条命令。"), std::wstring::npos) << WideToUtf8(log);
  EXPECT_FALSE(HasCommand(captured.host, L"early"));
  EXPECT_EQ(captured.Run(L"after"), L"after\r\n");
}

}  // namespace
}  // namespace qv
