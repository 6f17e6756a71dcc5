// The 5-second limit on calls into script code. Each case here waits for the
// real limit, so there are few of them and each runs in a process of its own.
#include <gtest/gtest.h>

#include "base/text.h"
#include "host/lua/state_context.h"
#include "host/commands.h"
#include "host/lua/call_limits.h"
#include "host/lua/interruption.h"
#include "lauxlib.h"
#include "lua.h"
#include "host_fixture.h"

namespace qv {
namespace {

const std::wstring kLimitText = Utf8ToWide(kTimeLimitMessage);

bool NoLimitArmed(const PluginRecord& record) {
  return record.context->interruption == 0 && lua_gethook(record.luaState) == nullptr && ArmedTimeLimitCount() == 0;
}

TEST(TimeLimit, RunawayCommandIsStoppedAndThePluginStaysUsable) {
  test::CapturedHost captured;
  captured.folder.Write(L"basic.lua", R"(
    local runs = 0
    host.register{ name = 'spin', run = function() print('before') while true do end end }
    host.register{ name = 'count', run = function() runs = runs + 1 print(runs) end }
  )");
  captured.Load();
  const ULONGLONG start = GetTickCount64();
  const std::wstring output = captured.Run(L"spin");
  const ULONGLONG elapsed = GetTickCount64() - start;
  EXPECT_GE(elapsed, kScriptTimeLimitMs - 20);
  EXPECT_LT(elapsed, kScriptTimeLimitMs + 1000);  // interrupted near the deadline, not at some later look
  EXPECT_EQ(output.rfind(L"before\r\n插件错误：", 0), 0u) << WideToUtf8(output);
  EXPECT_NE(output.find(kLimitText), std::wstring::npos);
  EXPECT_NE(output.find(L"stack traceback:"), std::wstring::npos);
  EXPECT_TRUE(NoLimitArmed(*captured.host.plugins[0]));
  EXPECT_EQ(captured.Run(L"count"), L"1\r\n");
}

TEST(TimeLimit, CatchingTheInterruptionWithPcallDoesNotEscapeIt) {
  test::CapturedHost captured;
  captured.folder.Write(L"basic.lua", R"(
    host.register{ name = 'stubborn', run = function()
      while true do
        pcall(function() while true do end end)
        xpcall(function() while true do end end, function(m) return m end)
      end
    end }
  )");
  captured.Load();
  const std::wstring output = captured.Run(L"stubborn");
  EXPECT_EQ(output.rfind(L"插件错误：", 0), 0u) << WideToUtf8(output);
  EXPECT_NE(output.find(kLimitText), std::wstring::npos);
  EXPECT_TRUE(NoLimitArmed(*captured.host.plugins[0]));
}

TEST(TimeLimit, RunawayMainChunkFailsItsScriptAndTheLoadPassGoesOn) {
  test::CapturedHost captured;
  captured.folder.Write(L"basic.lua", "host.register{ name = 'ls', run = print }");
  captured.folder.Write(L"loop.lua", "while true do end");
  captured.folder.Write(L"next.lua", "host.register{ name = 'after', run = print }");
  captured.Load();
  const std::wstring log = captured.host.pendingLog;
  EXPECT_NE(log.find(L"[插件] loop.lua 运行出错："), std::wstring::npos) << WideToUtf8(log);
  EXPECT_NE(log.find(kLimitText), std::wstring::npos);
  EXPECT_NE(log.find(L"已加载 2/3 个脚本，注册 2 条命令。"), std::wstring::npos) << WideToUtf8(log);
  EXPECT_TRUE(HasCommand(captured.host, L"after"));
  for (const auto& record : captured.host.plugins) EXPECT_TRUE(NoLimitArmed(*record));
}

TEST(TimeLimit, CallsThatEndInTimeLeaveNothingArmed) {
  PluginHost host;
  test::ScriptState script(host);
  const char* chunks[] = {"local x = 0 for i = 1, 100000 do x = x + i end", "error('quick failure')",
                          "pcall(error, 'caught')"};
  for (const char* chunk : chunks) {
    script.Run(chunk);
    EXPECT_TRUE(NoLimitArmed(script.record)) << chunk;
  }
}

}  // namespace
}  // namespace qv
