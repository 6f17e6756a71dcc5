// Creating a plugin's sandboxed Lua state, handing calls to the script thread,
// closing every state, and the two roads by which text leaves the host.
#include "host/script_env.h"

#include <algorithm>
#include <cassert>
#include <string>
#include <string_view>
#include <utility>

#include "base/text.h"
#include "host/api/host_api.h"
#include "host/api/host_link.h"
#include "host/lua/block_memory.h"
#include "host/lua/library_limits.h"
#include "host/lua/sandbox.h"
#include "host/lua/script_thread.h"
#include "host/lua/state_context.h"
#include "host/cut_off.h"
#include "lualib.h"

namespace qv {

namespace {

void AppendPending(PluginHost& host, const std::wstring& text) {
  assert(MayTouchHostData());
  if (host.pendingLog.size() + text.size() <= kPendingLogLimit) {
    host.pendingLog += text;
  } else if (!host.pendingLogCut) {
    host.pendingLogCut = true;
    host.pendingLog += L"[插件] 加载时的输出过多，其余部分已省略。\r\n";
  }
}

}  // namespace

PluginRecord::PluginRecord() = default;
PluginRecord::~PluginRecord() = default;

PluginHost::PluginHost() = default;

PluginHost::~PluginHost() {
  CloseAllPlugins(*this);
  calls.EndThread();
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
  PushHostTable(L);
  lua_getfield(L, -1, "print");
  lua_setglobal(L, "print");
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

void CloseScriptState(PluginRecord& record) {
  lua_State* L = record.luaState;
  if (L == nullptr) return;
  if (record.context) record.context->closed.store(true);
  // Closing frees every object of the state; with no finalizers allowed it
  // runs no script code, yet it is a stretch the owner may give up on.
  LuaStretch stretch;
  lua_close(L);
  if (!stretch.Returned()) return;
  record.luaState = nullptr;
  record.context.reset();
}

namespace {

// Freed memory of closed states that is not given back to the system at once.
constexpr std::size_t kKeptFreedMemory = std::size_t{16} << 20;

}  // namespace

void CloseAllPlugins(PluginHost& host) {
  // The lists are emptied only after every state is closed, and host
  // functions called while a state closes do nothing.
  const auto closeAll = [&host] {
    std::size_t closedBytes = 0;
    for (auto& record : host.plugins) {
      if (record->context) closedBytes += record->context->bytes;
      CloseScriptState(*record);
      if (ScriptThreadAbandoned()) return;
    }
    // A few MiB are kept for the next load pass to reuse: giving them back
    // and taking them again costs a reload more than they are worth.
    if (closedBytes >= kKeptFreedMemory) ReturnFreedMemory();
  };
  const bool anyOpen = std::any_of(host.plugins.begin(), host.plugins.end(),
                                   [](const auto& record) { return record->luaState != nullptr; });
  if (anyOpen) {
    const CallOutcome outcome = RunOnScriptThread(host, closeAll);
    if (outcome == CallOutcome::kRefused && !host.calls.Running()) closeAll();
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

CallOutcome RunOnScriptThread(PluginHost& host, const std::function<void()>& job) {
  const CallSide side{host.onCallBegin, host.onCallWait, host.onCallEnd, host.onOutput, host.onClear};
  return host.calls.Run(side, job);
}

void AppendLog(PluginHost& host, const std::wstring& text) {
  if (text.empty()) return;
  AppendPending(host, text.back() == L'\n' ? text : text + L"\r\n");
}

void EmitOutput(PluginHost& host, const std::wstring& text) {
  assert(MayTouchHostData());
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
