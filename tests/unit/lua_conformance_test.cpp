// Lua's own test files for the libraries a plugin gets and for the language,
// run in a plugin's state with the program's Lua (every change to those
// libraries and every function the sandbox replaces in place): ordinary
// programs still get Lua's results and Lua's error messages.
#include <gtest/gtest.h>

#include <string>

#include "base/text.h"
#include "host/plugin_host.h"
#include "host/lua/error_message.h"
#include "host/script_env.h"
#include "host_fixture.h"
#include "lauxlib.h"
#include "lua.h"
#include "lualib.h"
#include "tests/support/test_files.h"

namespace qv {
namespace {

// Adds stock base functions that the sandbox leaves out, without touching the
// ones it replaces: the base library is opened into a scratch globals table
// and only the named functions are taken from it.
void AddStockBaseFunctions(lua_State* L, std::initializer_list<const char*> names) {
  lua_rawgeti(L, LUA_REGISTRYINDEX, LUA_RIDX_GLOBALS);
  lua_newtable(L);
  lua_pushvalue(L, -1);
  lua_rawseti(L, LUA_REGISTRYINDEX, LUA_RIDX_GLOBALS);
  luaopen_base(L);
  lua_pop(L, 1);
  for (const char* name : names) {
    lua_getfield(L, -1, name);
    lua_setfield(L, -3, name);
  }
  lua_pop(L, 1);
  lua_rawseti(L, LUA_REGISTRYINDEX, LUA_RIDX_GLOBALS);
}

// What the test files use beyond a plugin's libraries; `_port` skips their
// checks of system locales.
void AddTestFileNeeds(lua_State* L) {
  AddStockBaseFunctions(L, {"load", "collectgarbage"});
  const luaL_Reg libraries[] = {
      {LUA_OSLIBNAME, luaopen_os},
      {LUA_IOLIBNAME, luaopen_io},
      {LUA_COLIBNAME, luaopen_coroutine},
      {LUA_DBLIBNAME, luaopen_debug},
      {LUA_LOADLIBNAME, luaopen_package},
  };
  for (const luaL_Reg& library : libraries) {
    luaL_requiref(L, library.name, library.func, 1);
    lua_pop(L, 1);
  }
  lua_pushboolean(L, 1);
  lua_setglobal(L, "_port");
}

class LuaTestFile : public testing::TestWithParam<const char*> {};

TEST_P(LuaTestFile, PassesInAPluginState) {
  const std::string name = std::string(GetParam()) + ".lua";
  const std::string source = test::ReadBytes(test::SourcePath(L"tests\\lua\\" + Utf8ToWide(name)));
  ASSERT_FALSE(source.empty()) << name;

  PluginHost host;
  test::ScriptState script(host);
  lua_State* L = script.record.luaState;
  AddTestFileNeeds(L);
  lua_pushcfunction(L, ErrorMessageHandler);
  ASSERT_EQ(luaL_loadbufferx(L, source.data(), source.size(), ("@" + name).c_str(), "t"), LUA_OK)
      << lua_tostring(L, -1);
  const int status = lua_pcall(L, 0, 0, -2);
  ASSERT_EQ(status, LUA_OK) << lua_tostring(L, -1);

  // Each file prints "OK" as its last line once every assertion held.
  std::wstring log = TakePendingLog(host);
  while (!log.empty() && (log.back() == L'\n' || log.back() == L'\r')) log.pop_back();
  const std::wstring last = log.substr(log.find_last_of(L'\n') + 1);
  EXPECT_EQ(ToLower(last), L"ok") << WideToUtf8(log);
}

INSTANTIATE_TEST_SUITE_P(LuaConformance, LuaTestFile,
                         testing::Values("pm", "strings", "sort", "tpack", "utf8", "nextvar", "math", "calls",
                                         "closure", "constructs", "coroutine", "errors", "events", "goto",
                                         "literals", "vararg"),
                         [](const testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

}  // namespace
}  // namespace qv
