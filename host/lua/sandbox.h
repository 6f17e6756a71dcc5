// A plugin's Lua state as the sandbox makes it: memory counted against a cap,
// and the base library's functions that could outrun the time limit guarded.
#pragma once

struct lua_State;

namespace qv {

struct StateContext;

// A new state whose allocator counts its bytes against context.limit.
lua_State* NewCountedState(StateContext& context);
// The context of a state made by NewCountedState, or null for any other state.
StateContext* ContextOf(lua_State* L);
// Replaces setmetatable and xpcall of a new state with their guarded forms.
void InstallSandboxGuards(lua_State* L);

}  // namespace qv
