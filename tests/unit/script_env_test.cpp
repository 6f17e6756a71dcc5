// The sandboxed script environment: what a script sees, isolation, output
// roads, error objects and the time limit.
#include <gtest/gtest.h>

#include <string>

#include "base/text.h"
#include "host/api/host_link.h"
#include "host/commands.h"
#include "host/script_env.h"
#include "host_fixture.h"

namespace qv {
namespace {

using test::ScriptState;

// Evaluates `expression` in a fresh plugin state and returns tostring of it.
std::string Evaluate(PluginHost& host, const std::string& expression) {
  ScriptState script(host);
  const int status = script.Run("__result = tostring(" + expression + ")");
  if (status != LUA_OK) return "error: " + script.error;
  lua_getglobal(script.record.luaState, "__result");
  std::string value = lua_tostring(script.record.luaState, -1);
  lua_pop(script.record.luaState, 1);
  return value;
}

TEST(ScriptEnvironment, SandboxOffersOnlyTheSafeLibraries) {
  PluginHost host;
  const struct {
    const char* expression;
    const char* expected;
  } cases[] = {
      {"require", "nil"},
      {"io", "nil"},
      {"os", "nil"},
      {"dofile", "nil"},
      {"loadfile", "nil"},
      {"load", "nil"},
      {"collectgarbage", "nil"},
      {"coroutine", "nil"},
      {"debug", "nil"},
      {"package", "nil"},
      {"type(host.version)", "string"},
      {"host.version", "1.0"},
      {"print == host.print", "true"},
      {"pcall(error, 'x')", "false"},
      {"select(2, xpcall(function() error('e', 0) end, function(m) return 'handled ' .. m end))", "handled e"},
      {"getmetatable(setmetatable({}, {__index = {a = 1}})).__index.a", "1"},
      {"string.format('%03d', 7)", "007"},
      {"table.concat({1, 2, 3}, ',')", "1,2,3"},
      {"math.floor(2.7)", "2"},
      {"utf8.char(25554)", "\xE6\x8F\x92"},
  };
  for (const auto& c : cases) EXPECT_EQ(Evaluate(host, c.expression), c.expected) << c.expression;
}

TEST(ScriptEnvironment, HostTableHasEveryFunctionInItsOrder) {
  PluginHost host;
  ScriptState script(host);
  ASSERT_EQ(script.Run("local keys = {} for k in pairs(host) do keys[#keys + 1] = k end table.sort(keys) "
                       "__keys = table.concat(keys, ' ')"),
            LUA_OK);
  lua_getglobal(script.record.luaState, "__keys");
  EXPECT_STREQ(lua_tostring(script.record.luaState, -1),
               "after cancel clear clipboard clock commands data_dir date directory every exit list_files menu "
               "menu_remove notify open plugin_manager plugins print read_file register reload skip_loading source "
               "store system time version write_file");
}

TEST(ScriptEnvironment, RegistryHoldsHostAndOwnRecord) {
  PluginHost host;
  ScriptState script(host);
  EXPECT_EQ(LinkOf(script.record.luaState).host, &host);
  EXPECT_EQ(LinkOf(script.record.luaState).record, &script.record);
  EXPECT_EQ(script.record.host, &host);
}

TEST(ScriptEnvironment, TwoPluginsDoNotShareGlobals) {
  PluginHost host;
  ScriptState first(host);
  ScriptState second(host);
  ASSERT_EQ(first.Run("shared = 'first'"), LUA_OK);
  ASSERT_EQ(second.Run("shared = 'second'"), LUA_OK);
  ASSERT_EQ(first.Run("assert(shared == 'first')"), LUA_OK) << first.error;
  ASSERT_EQ(second.Run("assert(shared == 'second')"), LUA_OK) << second.error;
}

TEST(ScriptEnvironment, ReplacingHostFieldsDoesNotConfuseTheHost) {
  PluginHost host;
  host.loading = false;
  std::wstring output;
  host.onOutput = [&](const std::wstring& text) { output += text; };
  ScriptState script(host);
  ASSERT_EQ(script.Run("local p = host.print host = nil p('still here')"), LUA_OK) << script.error;
  EXPECT_EQ(output, L"still here\r\n");
}

TEST(Output, EmitOutputAndAppendLogLineEndings) {
  const struct {
    const wchar_t* text;
    const wchar_t* emitted;
    const wchar_t* logged;
  } cases[] = {
      {L"", L"\r\n", L""},
      {L"a", L"a\r\n", L"a\r\n"},
      {L"a\n", L"a\n", L"a\n"},
      {L"a\r\n", L"a\r\n", L"a\r\n"},
      {L"a\r", L"a\r\r\n", L"a\r\r\n"},
      {L"a\nb", L"a\nb\r\n", L"a\nb\r\n"},
  };
  for (const auto& c : cases) {
    PluginHost host;
    host.loading = false;
    std::wstring received;
    host.onOutput = [&](const std::wstring& text) { received += text; };
    EmitOutput(host, c.text);
    EXPECT_EQ(received, c.emitted) << "emit of " << WideToUtf8(c.text);
    EXPECT_TRUE(host.pendingLog.empty());

    PluginHost logHost;
    AppendLog(logHost, c.text);
    EXPECT_EQ(logHost.pendingLog, c.logged) << "log of " << WideToUtf8(c.text);
  }
}

TEST(Output, EmitOutputCollectsWhileLoadingOrWithoutConsole) {
  PluginHost host;
  std::wstring received;
  host.onOutput = [&](const std::wstring& text) { received += text; };
  ASSERT_TRUE(host.loading);
  EmitOutput(host, L"during load");
  host.loading = false;
  host.onOutput = nullptr;
  EmitOutput(host, L"no console");
  EXPECT_TRUE(received.empty());
  EXPECT_EQ(TakePendingLog(host), L"during load\r\nno console\r\n");
  EXPECT_TRUE(host.pendingLog.empty());
}

// Runs `run` as a command's function and returns what the host printed.
std::wstring CommandOutput(const std::string& script) {
  test::CapturedHost captured;
  captured.folder.Write(L"basic.lua", "host.register{ name = 'go', run = function(args) " + script + " end }");
  captured.Load();
  return captured.Run(L"go");
}

TEST(ErrorObjects, EveryKindOfErrorBecomesOneReadableText) {
  const struct {
    const char* body;
    const wchar_t* starts;
    bool traceback;
  } cases[] = {
      {"error('boom')", L"插件错误：", true},
      {"error(42)", L"插件错误：", true},
      {"error(nil)", L"插件错误：(错误对象是 nil 类型)", true},
      {"error({})", L"插件错误：(错误对象是 table 类型)", true},
      {"error(setmetatable({}, {__tostring = function() return 'custom text' end}))", L"插件错误：custom text\r\n",
       false},
      {"error(setmetatable({}, {__tostring = function() error('inner') end}))", L"插件错误：(错误对象是 table 类型)",
       true},
      {"error(setmetatable({}, {__tostring = function() return 7 end}))", L"插件错误：(错误对象是 table 类型)", true},
      // The script is named by its file name; newcomers' errors get a hint in Chinese.
      {"os.exit()", L"插件错误：basic.lua:1: attempt to index a nil value (global 'os')\n提示：插件里没有 os。", true},
      {"require('json')", L"插件错误：basic.lua:1: attempt to call a nil value (global 'require')\n提示：插件里没有 require。",
       true},
      {"local s = 'xy' while true do s = s .. s end", L"插件错误：not enough memory\n提示：每个插件的 Lua 环境最多使用 256 MiB",
       false},
  };
  for (const auto& c : cases) {
    const std::wstring output = CommandOutput(c.body);
    EXPECT_EQ(output.rfind(c.starts, 0), 0u) << c.body << " gave " << WideToUtf8(output);
    EXPECT_EQ(output.find(L"stack traceback:") != std::wstring::npos, c.traceback) << c.body;
  }
  EXPECT_NE(CommandOutput("error('boom')").find(L"basic.lua:1: boom"), std::wstring::npos);
}

// A native function that owns C++ objects when it raises: compiled as C++,
// Lua unwinds through it and the destructors run.
int g_liveObjects = 0;
struct Counted {
  Counted() { ++g_liveObjects; }
  ~Counted() { --g_liveObjects; }
  std::wstring text = std::wstring(100, L'x');
};
int RaiseWithObjects(lua_State* L) {
  Counted held;
  std::wstring more(1000, L'y');
  return luaL_error(L, "raised while holding %d objects", g_liveObjects);
}

TEST(ErrorObjects, LuaErrorsUnwindNativeFramesAndRunDestructors) {
  PluginHost host;
  ScriptState script(host);
  lua_register(script.record.luaState, "raise", RaiseWithObjects);
  ASSERT_EQ(script.Run("for i = 1, 20000 do assert(not pcall(raise)) end"), LUA_OK) << script.error;
  EXPECT_EQ(g_liveObjects, 0);
}

TEST(ErrorObjects, ThousandsOfArgumentErrorsFromHostFunctionsLeaveTheStateSound) {
  test::CapturedHost captured;
  captured.folder.Write(L"basic.lua", R"(
    local bad = {
      function() host.register('not a table') end,
      function() host.register{ name = {}, run = print } end,
      function() host.register{ name = 'x', help = {}, run = print } end,
      function() host.register{ name = 'x' } end,
      function() host.menu({}, 'x') end,
      function() host.menu('x') end,
      function() host.source({}) end,
      function() print(setmetatable({}, {__tostring = function() error('no text') end})) end,
    }
    host.register{ name = 'storm', run = function()
      local failures = 0
      for i = 1, 5000 do
        for _, f in ipairs(bad) do
          if not pcall(f) then failures = failures + 1 end
        end
      end
      print(failures)
    end }
  )");
  captured.Load();
  EXPECT_EQ(captured.Run(L"storm"), L"40000\r\n");
  EXPECT_EQ(captured.host.commands.size(), 1u);
  EXPECT_TRUE(captured.host.menuItems.empty());
}

TEST(BadInput, MalformedTextNeverCrashes) {
  using namespace std::string_literals;
  const struct {
    const char* body;
    std::wstring expected;
  } cases[] = {
      {"print('a\\255b')", L"a\uFFFDb\r\n"},
      {"print('a\\0b')", L"a\0b\r\n"s},
      {"print('\\xE6\\x8F')", L"\uFFFD\r\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(CommandOutput(c.body), c.expected) << c.body;
}

TEST(BadInput, HugeAndBrokenCommandNames) {
  test::CapturedHost captured;
  captured.folder.Write(L"basic.lua",
                        "host.register{ name = string.rep('n', 64), run = function() print('big') end }\n"
                        "print(pcall(host.register, { name = string.rep('n', 65), run = print }))\n"
                        "host.register{ name = 'z\\0kept', run = function() print('zero') end }\n"
                        "print(pcall(host.register, { name = 'bad\\255name', run = print }))\n");
  captured.Load();
  ASSERT_TRUE(captured.host.basicLoaded) << WideToUtf8(captured.host.pendingLog);
  EXPECT_NE(captured.host.pendingLog.find(L"false\thost.register：命令名太长（最多 64 字节）"), std::wstring::npos)
      << WideToUtf8(captured.host.pendingLog);
  EXPECT_EQ(captured.Run(std::wstring(64, L'N')), L"big\r\n");
  // Names keep their length (a zero does not cut them); broken UTF-8 is refused.
  EXPECT_FALSE(HasCommand(captured.host, L"z"));
  EXPECT_TRUE(HasCommand(captured.host, std::wstring(L"z\0kept", 6)));
  EXPECT_NE(captured.host.pendingLog.find(L"false\thost.register 的 name 不是有效的 UTF-8 文本"),
            std::wstring::npos);
}

TEST(CloseAllPlugins, EmptiesStatesButKeepsThePluginList) {
  test::CapturedHost captured;
  captured.folder.Write(L"basic.lua", "host.register{ name = 'a', run = print } host.menu('m', 'a')");
  captured.Load();
  ASSERT_EQ(captured.host.pluginList.size(), 1u);
  CloseAllPlugins(captured.host);
  EXPECT_TRUE(captured.host.plugins.empty());
  EXPECT_TRUE(captured.host.commands.empty());
  EXPECT_TRUE(captured.host.commandList.empty());
  EXPECT_TRUE(captured.host.menuItems.empty());
  EXPECT_EQ(captured.host.pluginList.size(), 1u);
}

}  // namespace
}  // namespace qv
