// Finding a state's host and record through the Lua registry.
#include "host/api/host_link.h"

namespace qv {

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

}  // namespace qv
