// What every native host function shares: finding its host and record through
// the Lua registry, and pushing wide text as UTF-8.
#pragma once

#include <functional>
#include <string>

#include "host/lua/script_thread.h"
#include "host/lua/state_context.h"
#include "host/plugin_host.h"
#include "lauxlib.h"
#include "lua.h"

namespace qv {

inline constexpr const char* kHostRegistryKey = "__qvh_impl";
inline constexpr const char* kRecordRegistryKey = "__qvh_vm";

// The host and the record of a state, both null once the host has started
// closing the state or gave up on it. Reading through them is only safe inside
// WithHost. [-0, +0], allocates nothing
struct HostLink {
  PluginHost* host = nullptr;
  PluginRecord* record = nullptr;
};
HostLink LinkOf(lua_State* L);

// The one way a host function reaches host data: runs access(host, record)
// under WithHostData, so a call the owner gave up on never touches host data
// again. access must not call into Lua: take arguments before, push results
// after. False when access did not run (no host, the state is closing, or the
// call was given up on).
template <typename Access>
bool WithHost(lua_State* L, Access&& access) {
  const HostLink link = LinkOf(L);
  if (link.host == nullptr || link.record == nullptr) return false;
  const StateContext* context = ContextOf(L);
  bool ran = false;
  WithHostData([&] {
    if (context != nullptr && context->closed.load()) return;  // closed meanwhile
    access(*link.host, *link.record);
    ran = true;
  });
  return ran;
}

// Runs action(host) on the owning thread (see RunOnOwner); false when it did not run.
bool RunHostAction(lua_State* L, const std::function<void(PluginHost&)>& action);
// Pushes the text as a UTF-8 string of its exact length. [-0, +1]
void PushWide(lua_State* L, const std::wstring& text);
// A Lua string argument taken up to its first zero byte, as UTF-16.
std::wstring WideUpToZero(const char* bytes);
// The error value on top of the stack as text (empty when it is no string;
// nothing is converted, so nothing is allocated). [-1, +0]
std::wstring PopErrorText(lua_State* L);
// Replaces setmetatable and xpcall of a new state with their guarded forms.
void InstallSandboxGuards(lua_State* L);
// Raises the running call's pending interruption (time limit or Esc), if any.
// Cheap: long loops inside native code call it every so many steps.
void RaiseIfInterrupted(lua_State* L);

// The host table's fields in their order, ended by a null entry (for luaL_setfuncs).
extern const luaL_Reg kHostFunctions[];

// The native functions of the host table (one per field).
int HostPrint(lua_State* L);
int HostRegister(lua_State* L);
int HostClear(lua_State* L);
int HostTime(lua_State* L);
int HostDate(lua_State* L);
int HostSystem(lua_State* L);
int HostExit(lua_State* L);
int HostReload(lua_State* L);
int HostCommands(lua_State* L);
int HostPlugins(lua_State* L);
int HostDirectory(lua_State* L);
int HostDataDir(lua_State* L);
int HostSource(lua_State* L);
int HostSkipLoading(lua_State* L);
int HostMenu(lua_State* L);
int HostPluginManager(lua_State* L);

}  // namespace qv
