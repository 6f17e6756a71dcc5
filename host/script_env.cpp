// Creating a plugin's sandboxed Lua state, the message handler of command
// calls, closing every state, and the two roads by which text leaves the host.
#include <algorithm>
#include <string>
#include <string_view>
#include <utility>

#include "base/text.h"
#include "host/api/host_table.h"
#include "host/api/own_actions.h"
#include "host/lua/block_memory.h"
#include "host/lua/library_limits.h"
#include "host/lua/lua_glue.h"
#include "host/plugin_host.h"
#include "host/lua/script_thread.h"
#include "host/lua/state_context.h"
#include "lualib.h"

namespace qv {

// The order of the host table's fields is part of what scripts see (pairs).
const luaL_Reg kHostFunctions[] = {
    {"print", HostPrint},       {"register", HostRegister},       {"clear", HostClear},
    {"time", HostTime},         {"date", HostDate},               {"system", HostSystem},
    {"exit", HostExit},         {"reload", HostReload},           {"commands", HostCommands},
    {"plugins", HostPlugins},   {"directory", HostDirectory},     {"data_dir", HostDataDir},
    {"source", HostSource},     {"skip_loading", HostSkipLoading}, {"menu", HostMenu},
    {"plugin_manager", HostPluginManager},
    {nullptr, nullptr},
};

namespace {

void* RegistryPointer(lua_State* L, const char* key) {
  lua_getfield(L, LUA_REGISTRYINDEX, key);
  void* pointer = lua_touserdata(L, -1);
  lua_pop(L, 1);
  return pointer;
}

// False once the host has started closing the state or has given up on it.
bool StateIsLive(lua_State* L) {
  const StateContext* context = ContextOf(L);
  return context == nullptr || !context->closed.load();
}

void AppendPending(PluginHost& host, const std::wstring& text) {
  if (host.pendingLog.size() + text.size() <= kPendingLogLimit) {
    host.pendingLog += text;
  } else if (!host.pendingLogCut) {
    host.pendingLogCut = true;
    host.pendingLog += L"[插件] 加载时的输出过多，其余部分已省略。\r\n";
  }
}

}  // namespace

HostLink LinkOf(lua_State* L) {
  if (!StateIsLive(L)) return {};
  return HostLink{static_cast<PluginHost*>(RegistryPointer(L, kHostRegistryKey)),
                  static_cast<PluginRecord*>(RegistryPointer(L, kRecordRegistryKey))};
}

bool RunHostAction(lua_State* L, const std::function<void(PluginHost&)>& action) {
  const HostLink link = LinkOf(L);
  if (link.host == nullptr) return false;
  return RunOnOwner([&] { action(*link.host); });
}

PluginRecord::PluginRecord() = default;
PluginRecord::~PluginRecord() = default;


std::wstring PopErrorText(lua_State* L) {
  // Only a string is read: converting anything else would allocate outside
  // the protected call (the message handler has made every error a string).
  size_t length = 0;
  const char* message = lua_type(L, -1) == LUA_TSTRING ? lua_tolstring(L, -1, &length) : nullptr;
  std::wstring text = message ? Utf8ToWide(std::string_view(message, length)) : std::wstring();
  lua_pop(L, 1);
  return text;
}

PluginHost::PluginHost() = default;

PluginHost::~PluginHost() {
  CloseAllPlugins(*this);
  scriptThread.reset();
}

bool TakeReloadRequest(PluginHost& host) { return std::exchange(host.reloadRequested, false); }

namespace {

// Fills a new state inside a protected call: a state that cannot get the
// memory for its libraries fails to load instead of ending the process.
// [-1, +0]: the PluginRecord as light userdata.
int OpenEnvironment(lua_State* L) {
  PluginRecord& record = *static_cast<PluginRecord*>(lua_touserdata(L, 1));
  lua_pushlightuserdata(L, record.host);
  lua_setfield(L, LUA_REGISTRYINDEX, kHostRegistryKey);
  lua_pushlightuserdata(L, &record);
  lua_setfield(L, LUA_REGISTRYINDEX, kRecordRegistryKey);

  // io, os, package, coroutine and debug stay closed.
  const luaL_Reg libraries[] = {
      {LUA_GNAME, luaopen_base},         {LUA_TABLIBNAME, luaopen_table}, {LUA_STRLIBNAME, luaopen_string},
      {LUA_MATHLIBNAME, luaopen_math},   {LUA_UTF8LIBNAME, luaopen_utf8},
  };
  for (const luaL_Reg& library : libraries) {
    luaL_requiref(L, library.name, library.func, 1);
    lua_pop(L, 1);
  }
  InstallLibraryLimits(L);
  for (const char* removed : {"dofile", "loadfile", "load", "collectgarbage"}) {
    lua_pushnil(L);
    lua_setglobal(L, removed);
  }
  lua_pushcclosure(L, HostPrint, 0);
  lua_setglobal(L, "print");

  lua_createtable(L, 0, 0);
  lua_pushstring(L, "1.0");
  lua_setfield(L, -2, "version");
  luaL_setfuncs(L, kHostFunctions, 0);
  AddCapabilities(L);
  AddTimerFunctions(L);
  AddNotifyFunction(L);
  AddMenuRemoveFunction(L);
  lua_setglobal(L, "host");
  InstallSandboxGuards(L);
  if (record.host->onStateCreated) record.host->onStateCreated(L);
  return 0;
}

}  // namespace

bool CreateScriptEnvironment(PluginHost& host, PluginRecord& record) {
  auto context = std::make_unique<StateContext>();
  context->host = &host;
  context->record = &record;
  lua_State* L = NewCountedState(*context);
  if (L == nullptr) return false;
  record.context = std::move(context);
  record.luaState = L;
  record.host = &host;
  InstallWarningHandler(L);
  lua_pushcfunction(L, OpenEnvironment);
  lua_pushlightuserdata(L, &record);
  if (lua_pcall(L, 1, 0, 0) != LUA_OK) {
    CloseScriptState(record);
    return false;
  }
  return true;
}

namespace {

// The error text goes to the log like printed text: a longer one is cut (at a
// character's start) before anything copies it out of the state. [-0, +1]
void PushCappedMessage(lua_State* L, int index) {
  size_t length = 0;
  const char* message = lua_tolstring(L, index, &length);
  if (length <= kErrorTextLimit) {
    lua_pushvalue(L, index);
    return;
  }
  size_t kept = kErrorTextLimit;
  while (kept > 0 && (static_cast<unsigned char>(message[kept]) & 0xC0) == 0x80) --kept;
  lua_pushlstring(L, message, kept);
  lua_pushliteral(L, "……（错误信息过长，其余部分已省略）");
  lua_concat(L, 2);
}

// The message and the traceback of the script's own frames: the host's frame
// at the bottom (the C function that builds a command's arguments) is left out.
void PushTraceback(lua_State* L, const char* message) {
  luaL_traceback(L, L, message, 1);
  size_t length = 0;
  const char* text = lua_tolstring(L, -1, &length);
  constexpr std::string_view kHostFrame = "\n\t[C]: in ?";
  const std::string_view traceback(text, length);
  if (traceback.size() > kHostFrame.size() && traceback.substr(traceback.size() - kHostFrame.size()) == kHostFrame) {
    lua_pushlstring(L, text, length - kHostFrame.size());
    lua_remove(L, -2);
  }
}

}  // namespace

int ErrorMessageHandler(lua_State* L) {
  if (lua_type(L, 1) == LUA_TSTRING || lua_type(L, 1) == LUA_TNUMBER) {
    PushCappedMessage(L, 1);
    PushTraceback(L, lua_tostring(L, -1));
    return 1;
  }
  // The metamethod runs protected: one that raises falls back to the type text
  // below instead of turning into "error in error handling".
  if (luaL_getmetafield(L, 1, "__tostring") != LUA_TNIL) {
    lua_pushvalue(L, 1);
    if (lua_pcall(L, 1, 1, 0) == LUA_OK && lua_type(L, -1) == LUA_TSTRING) {
      PushCappedMessage(L, -1);
      return 1;
    }
    lua_pop(L, 1);
  }
  PushTraceback(L, lua_pushfstring(L, "(错误对象是 %s 类型)", luaL_typename(L, 1)));
  return 1;
}

void CloseScriptState(PluginRecord& record) {
  lua_State* L = record.luaState;
  if (L == nullptr) return;
  if (record.context) record.context->closed.store(true);
  // Closing frees every object of the state; with no finalizers allowed it
  // runs no script code, yet it is a stretch the owner may give up on.
  LeaveForLua();
  lua_close(L);
  if (!ReturnFromLua()) return;
  record.luaState = nullptr;
  record.context.reset();
}

void CloseAllPlugins(PluginHost& host) {
  // The lists are emptied only after every state is closed, and host
  // functions called while a state closes do nothing.
  const auto closeAll = [&host] {
    for (auto& record : host.plugins) {
      CloseScriptState(*record);
      if (ScriptThreadAbandoned()) return;
    }
    ReturnFreedMemory();
  };
  const bool anyOpen = std::any_of(host.plugins.begin(), host.plugins.end(),
                                   [](const auto& record) { return record->luaState != nullptr; });
  if (anyOpen) {
    const CallOutcome outcome = RunOnScriptThread(host, closeAll);
    if (outcome == CallOutcome::kRefused && !host.callRunning) closeAll();
    for (auto& record : host.plugins) {
      if (record->luaState) LeaveStateBehind(*record);
    }
  }
  host.timers.Clear();
  host.commands.clear();
  host.commandList.clear();
  host.menuItems.clear();
  host.plugins.clear();
}

void AppendLog(PluginHost& host, const std::wstring& text) {
  if (text.empty()) return;
  AppendPending(host, text.back() == L'\n' ? text : text + L"\r\n");
}

void EmitOutput(PluginHost& host, const std::wstring& text) {
  std::wstring copy = text;
  if (copy.empty() || copy.back() != L'\n') copy += L"\r\n";
  if (host.loading || !host.onOutput) {
    AppendPending(host, copy);
  } else if (!QueueOutput(copy)) {
    host.onOutput(copy);
  }
}

void EmitClear(PluginHost& host) {
  if (!QueueClear() && host.onClear) host.onClear();
}

std::wstring TakePendingLog(PluginHost& host) { return std::exchange(host.pendingLog, std::wstring()); }

}  // namespace qv
