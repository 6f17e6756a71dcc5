// How a host function reaches the host and the plugin that called it: both
// live in the state's Lua registry, and host data is only touched through
// WithHost.
#pragma once

#include <functional>

#include "host/lua/arguments.h"
#include "host/lua/script_thread.h"
#include "host/lua/sandbox.h"
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

}  // namespace qv
