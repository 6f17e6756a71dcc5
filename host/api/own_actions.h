// The host functions by which a plugin acts on its own: timers, notifications,
// and taking back a menu entry. Each installer adds its fields to the host
// table on top of the stack. [-0, +0]
#pragma once

struct lua_State;

namespace qv {

// host.after(ms, fn), host.every(ms, fn), host.cancel(id).
void AddTimerFunctions(lua_State* L);
// host.notify(text [, title]).
void AddNotifyFunction(lua_State* L);
// host.menu_remove(label).
void AddMenuRemoveFunction(lua_State* L);

}  // namespace qv
