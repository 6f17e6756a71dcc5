#include "host_fixture.h"

#include "base/text.h"
#include "lauxlib.h"
#include "lua.h"
#include "host/commands.h"
#include "host/execute.h"
#include "host/loading.h"
#include "host/lua/interruption.h"
#include "host/script_env.h"

namespace qv::test {

std::wstring SourcePath(const std::wstring& relative) {
  std::wstring path = Utf8ToWide(QV_SOURCE_DIR);
  for (wchar_t& c : path) c = c == L'/' ? L'\\' : c;
  if (!path.empty() && path[0] == L'\\') path = L"Z:" + path;
  return path + L"\\" + relative;
}

std::wstring SourcePluginsDir() { return SourcePath(L"plugins"); }

CapturedHost::CapturedHost() {
  host.pluginsDir = folder.path();
  host.onOutput = [this](const std::wstring& text) { output += text; };
  host.onClear = [this] { ++clears; };
  host.onExit = [this] { ++exits; };
  host.onOpenPluginManager = [this] { ++managerOpens; };
}

std::string ErrorWithoutTraceback(lua_State* L) {
  const char* message = lua_tostring(L, -1);
  const std::string text = message ? message : "";
  return text.substr(0, text.find("\nstack traceback:"));
}

void CapturedHost::Load() { LoadPlugins(host); }

std::wstring CapturedHost::Run(const std::wstring& word, const std::wstring& arguments) {
  output.clear();
  ExecuteCommand(host, word, arguments);
  return output;
}

std::wstring CapturedHost::Exec(const std::wstring& plugin, const std::string& chunk) {
  output.clear();
  PluginRecord* record = FindPlugin(host, plugin);
  if (record == nullptr || record->luaState == nullptr) return L"error: no plugin " + plugin;
  lua_State* L = record->luaState;
  if (luaL_loadbufferx(L, chunk.data(), chunk.size(), "=test", "t") != LUA_OK ||
      CallWithTimeLimit(L, 0, 0) != LUA_OK) {
    const std::wstring error = L"error: " + Utf8ToWide(ErrorWithoutTraceback(L));
    lua_pop(L, 1);
    return error;
  }
  return output;
}

ScriptState::ScriptState(PluginHost& host, std::wstring path) {
  record.path = std::move(path);
  CreateScriptEnvironment(host, record);
}

ScriptState::~ScriptState() {
  if (record.luaState) lua_close(record.luaState);
}

int ScriptState::Run(const std::string& chunk) {
  lua_State* L = record.luaState;
  error.clear();
  int status = luaL_loadbufferx(L, chunk.data(), chunk.size(), "=test", "t");
  if (status == LUA_OK) status = CallWithTimeLimit(L, 0, 0);
  if (status != LUA_OK) {
    error = ErrorWithoutTraceback(L);
    lua_pop(L, 1);
  }
  return status;
}

}  // namespace qv::test
