// The functions of the host table, with and without a host behind them.
#include <gtest/gtest.h>

#include "base/text.h"
#include "host/execute.h"
#include "host/lua/interruption.h"
#include "host/script_env.h"
#include "host/api/host_api.h"
#include "lauxlib.h"
#include "lua.h"
#include "host_fixture.h"
#include "lualib.h"

namespace qv {
namespace {

// Runs `chunk` in the only plugin of a captured host and returns what it printed.
struct ApiHost : test::CapturedHost {
  explicit ApiHost(const std::string& basic = "") {
    folder.Write(L"basic.lua", basic);
    Load();
    host.pendingLog.clear();
  }
  std::wstring Exec(const std::string& chunk) {
    output.clear();
    PluginRecord& record = *host.plugins[0];
    lua_State* L = record.luaState;
    if (luaL_loadbufferx(L, chunk.data(), chunk.size(), "=api", "t") != LUA_OK ||
        CallWithTimeLimit(L, 0, 0) != LUA_OK) {
      const std::wstring error = L"error: " + Utf8ToWide(test::ErrorWithoutTraceback(L));
      lua_pop(L, 1);
      return error;
    }
    return output;
  }
};

TEST(HostApi, PrintJoinsValuesWithTabs) {
  ApiHost api;
  const struct {
    const char* chunk;
    const wchar_t* printed;
  } cases[] = {
      {"print()", L"\r\n"},
      {"print(1, nil, true)", L"1\tnil\ttrue\r\n"},
      {"print('ends\\n')", L"ends\n"},
      {"host.print('中文', 2.5)", L"中文\t2.5\r\n"},
      {"print(setmetatable({}, {__tostring = function() return 'T' end}))", L"T\r\n"},
      {"print(setmetatable({}, {__name = 'Thing'}))", L"Thing: "},
  };
  for (const auto& c : cases) {
    const std::wstring printed = api.Exec(c.chunk);
    EXPECT_EQ(printed.rfind(c.printed, 0), 0u) << c.chunk << " printed " << WideToUtf8(printed);
  }
  EXPECT_NE(api.Exec("print(setmetatable({}, {__tostring = function() error('nope') end}))").find(L"error: "),
            std::wstring::npos);
}

TEST(HostApi, ActionsReachTheirCallables) {
  ApiHost api;
  EXPECT_EQ(api.Exec("host.clear() host.exit() host.plugin_manager() host.reload() host.reload() host.skip_loading()"),
            L"");
  EXPECT_EQ(api.clears, 1);
  EXPECT_EQ(api.exits, 1);
  EXPECT_EQ(api.managerOpens, 1);
  EXPECT_TRUE(TakeReloadRequest(api.host));
  EXPECT_FALSE(TakeReloadRequest(api.host));  // two requests, one reload
  EXPECT_TRUE(api.host.skipLoadingRequested);
  // Without installed actions nothing happens and nothing fails.
  api.host.onClear = nullptr;
  api.host.onExit = nullptr;
  api.host.onOpenPluginManager = nullptr;
  EXPECT_EQ(api.Exec("host.clear() host.exit() host.plugin_manager() print('ok')"), L"ok\r\n");
}

TEST(HostApi, CommandAndPluginRows) {
  test::CapturedHost captured;
  captured.folder.Write(L"basic.lua", "host.register{ name = 'Ls', help = '列表', run = print }");
  captured.folder.Write(L"broken.lua", "host.register{ name = 'half', run = print } error('x')");
  captured.folder.Write(L"off.lua", "host.register{ name = 'never', run = print }");
  captured.folder.Write(L"plugin-manager\\disabled.txt", "off.lua\r\n");
  captured.Load();
  captured.output.clear();
  ExecuteCommand(captured.host, L"ls", L"");
  PluginRecord& basic = *captured.host.plugins[0];
  const std::string chunk = R"(
    local out = {}
    for i, c in ipairs(host.commands()) do out[#out + 1] = i .. ':' .. c.name .. '/' .. c.help .. '/' .. c.plugin end
    for i, p in ipairs(host.plugins()) do
      out[#out + 1] = i .. ':' .. p.name .. '/' .. p.commands .. '/' .. tostring(p.ok) .. '/' .. math.type(p.commands)
        .. '/' .. tostring(p.enabled) .. '/' .. (p.path == host.directory() .. '\\' .. p.name and 'path' or p.path)
    end
    print(table.concat(out, ' '))
  )";
  lua_State* L = basic.luaState;
  ASSERT_EQ(luaL_loadbufferx(L, chunk.data(), chunk.size(), "=rows", "t"), LUA_OK);
  captured.output.clear();
  ASSERT_EQ(CallWithTimeLimit(L, 0, 0), LUA_OK) << lua_tostring(L, -1);
  EXPECT_EQ(captured.output,
            L"1:Ls/列表/basic.lua 2:half//broken.lua 1:basic.lua/1/true/integer/true/path "
            L"2:broken.lua/1/false/integer/true/path 3:off.lua/0/true/integer/false/path\r\n");
  EXPECT_EQ(captured.host.pluginList[2].enabled, false);
  EXPECT_EQ(captured.host.pluginList[1].enabled, true);
}

TEST(HostApi, FoldersAndSources) {
  ApiHost api;
  const std::wstring dir = api.folder.path();
  api.folder.Write(L"empty.lua", "");
  api.folder.Write(L"bom.lua", "\xEF\xBB\xBF");
  api.folder.Write(L"text.lua", "\xEF\xBB\xBF-- hi\r\nprint(1)\r\n");
  api.Load();
  EXPECT_EQ(api.Exec("print(host.directory())"), dir + L"\r\n");
  EXPECT_EQ(api.Exec("print(host.data_dir())"), dir + L"\\basic\r\n");
  EXPECT_TRUE(test::FolderExists(dir + L"\\basic"));
  const struct {
    const char* argument;
    const wchar_t* result;
  } cases[] = {
      {"'BASIC.LUA'", L"string 0"},  {"'basic'", L"nil"},          {"''", L"nil"},
      {"", L"nil"},                  {"nil", L"nil"},              {"'empty.lua'", L"string 0"},
      {"'bom.lua'", L"string 0"},    {"'text.lua'", L"string 17"}, {"'C:\\\\x\\\\basic.lua'", L"nil"},
  };
  for (const auto& c : cases) {
    const std::string chunk = std::string("local s = host.source(") + c.argument +
                              ") print(s == nil and 'nil' or (type(s) .. ' ' .. #s))";
    EXPECT_EQ(api.Exec(chunk), std::wstring(c.result) + L"\r\n") << c.argument;
  }
  EXPECT_EQ(api.Exec("print(host.source('text.lua'))"), L"-- hi\r\nprint(1)\r\n");
  EXPECT_NE(api.Exec("host.source({})").find(L"bad argument #1 to 'source' (string expected, got table)"),
            std::wstring::npos);
}

TEST(HostApi, DataFolderNames) {
  const struct {
    const wchar_t* script;
    const wchar_t* folder;
    bool created;  // a script named ".lua" is itself in the way of its folder
  } cases[] = {
      {L"plugin-manager.lua", L"plugin-manager", true},
      {L"Notes.LUA", L"Notes", true},
      {L".lua", L".lua", false},
  };
  for (const auto& c : cases) {
    test::CapturedHost captured;
    captured.folder.Write(L"basic.lua", "");
    captured.folder.Write(c.script, "print(host.data_dir())");
    captured.Load();
    EXPECT_NE(captured.host.pendingLog.find(captured.folder.path() + L"\\" + c.folder + L"\r\n"), std::wstring::npos)
        << WideToUtf8(c.script) << ": " << WideToUtf8(captured.host.pendingLog);
    EXPECT_EQ(test::FolderExists(captured.folder.Child(c.folder)), c.created) << WideToUtf8(c.script);
  }
}

TEST(HostApi, ClockTextsHaveTheirFixedForm) {
  ApiHost api;
  const std::wstring text = api.Exec("print(host.time(), #host.time(), host.date(), #host.date())");
  SYSTEMTIME now{};
  GetLocalTime(&now);
  EXPECT_EQ(text.size(), 8 + 1 + 1 + 1 + 10 + 1 + 2 + 2u) << WideToUtf8(text);
  EXPECT_EQ(text.substr(9, 2), L"8\t");
  EXPECT_EQ(text.substr(11, 4), std::to_wstring(now.wYear));
  EXPECT_EQ(text.substr(2, 1), L":");
}

TEST(HostApi, SystemTableHasNineteenStrings) {
  ApiHost api;
  const char* chunk = R"(
    local t, n, strings = host.system(), 0, 0
    for k, v in pairs(t) do n = n + 1 if type(v) == 'string' then strings = strings + 1 end end
    local other = host.system() other.pid = 'changed'
    print(n, strings, #t, t.pid, t.machineCode, host.system().pid)
  )";
  EXPECT_EQ(api.Exec(chunk), L"19\t19\t0\t\t\t\r\n");
  api.host.onSystemInfo = [] {
    SystemInfo info;
    info.pid = L"1234";
    info.machineCode = L"QL-0000-0000-0000-0000";
    return info;
  };
  EXPECT_EQ(api.Exec(chunk), L"19\t19\t0\t1234\tQL-0000-0000-0000-0000\t1234\r\n");
}

TEST(HostApi, MenuEntries) {
  ApiHost api;
  EXPECT_EQ(api.Exec("host.menu('标签', 'ls -l') host.menu('n', 42) host.menu('', '') host.menu('z\\0cut', 'c')"), L"");
  ASSERT_EQ(api.host.menuItems.size(), 4u);
  EXPECT_EQ(api.host.menuItems[0].label, L"标签");
  EXPECT_EQ(api.host.menuItems[0].command, L"ls -l");
  EXPECT_EQ(api.host.menuItems[0].plugin, L"basic.lua");
  EXPECT_EQ(api.host.menuItems[1].command, L"42");
  EXPECT_EQ(api.host.menuItems[3].label, std::wstring(L"z\0cut", 5));  // text keeps its length
  EXPECT_NE(api.Exec("host.menu('only label')").find(L"bad argument #2 to 'menu'"), std::wstring::npos);
  EXPECT_NE(api.Exec("host.menu({}, {})").find(L"bad argument #1 to 'menu'"), std::wstring::npos);
  EXPECT_EQ(api.host.menuItems.size(), 4u);
}

// A state with the host table but no host in its registry: every function
// takes its fallback, none raises, and nothing is written anywhere.
TEST(HostApi, FallbacksWithoutAHost) {
  const struct {
    const char* chunk;
    const char* result;
  } cases[] = {
      {R"(host.print('x') host.clear() host.exit() host.reload() host.skip_loading() host.plugin_manager()
          host.register{ name = 'nowhere', run = print } host.menu('nowhere', 'nowhere')
          local n = 0 for _ in pairs(host.system()) do n = n + 1 end
          result = table.concat({ #host.commands(), #host.plugins(), '[' .. host.directory() .. ']',
            tostring(host.data_dir()), tostring(host.source('basic.lua')), n, #host.time(), #host.date(),
            tostring(host.menu_remove('nowhere')) }, ' '))",
       "0 0 [] nil nil 19 8 10 false"},
      {R"(local out = {}
          local function add(...) for i = 1, select('#', ...) do out[#out + 1] = tostring((select(i, ...))) end end
          add(host.read_file('a.txt')) add(host.write_file('a.txt', 'x')) add(#host.list_files())
          add(host.clipboard()) add(host.clipboard('x')) add(host.open('https://example.com'))
          add(host.store.get('a')) add(host.store.set('a', 1)) add(host.store.keys())
          add(type(host.clock())) add(host.after(10, print)) add(host.cancel(1)) add(host.notify('x'))
          result = table.concat(out, '|'))",
       "nil|没有宿主，无法读取文件|nil|没有宿主，无法写入文件|0|nil|剪贴板里没有文字|nil|无法写入剪贴板（可能正被其他程序占用）|"
       "nil|无法打开：https://example.com|nil|没有宿主，存储不可用|nil|没有宿主，存储不可用|nil|"
       "没有宿主，存储不可用|number|nil|没有宿主，定时器不可用|false|nil|没有宿主，无法显示通知"},
  };
  for (const auto& c : cases) {
    lua_State* L = luaL_newstate();
    luaL_requiref(L, LUA_GNAME, luaopen_base, 1);
    luaL_requiref(L, LUA_TABLIBNAME, luaopen_table, 1);
    lua_pop(L, 2);
    PushHostTable(L);
    lua_setglobal(L, "host");
    ASSERT_EQ(luaL_dostring(L, c.chunk), LUA_OK) << lua_tostring(L, -1);
    lua_getglobal(L, "result");
    EXPECT_STREQ(lua_tostring(L, -1), c.result);
    lua_close(L);
  }
}

}  // namespace
}  // namespace qv
