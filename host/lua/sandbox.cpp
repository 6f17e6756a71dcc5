// What keeps one plugin from exhausting the process or hanging it through the
// base library: a counting allocator with a cap per state, setmetatable
// without finalizers, and xpcall whose message handler cannot outrun an
// interruption.
#include "host/lua/sandbox.h"

#include <windows.h>

#include "host/lua/block_memory.h"
#include "host/lua/state_context.h"
#include "lauxlib.h"
#include "lua.h"

namespace qv {

namespace {

// Lua's allocator contract: ptr null means a new block (osize then tells its
// kind, not a size); nsize 0 frees; shrinking must not fail.
void* CountingAllocator(void* userData, void* block, std::size_t oldSize, std::size_t newSize) {
  auto* context = static_cast<StateContext*>(userData);
  if (block == nullptr) oldSize = 0;
  if (newSize == 0) {
    FreeBlock(block);
    context->bytes -= oldSize;
    return nullptr;
  }
  if (newSize > oldSize) {
    if (context->bytes - oldSize + newSize > context->limit) return nullptr;
    if (context->stallNextGrowthMs.load(std::memory_order_relaxed) != 0) [[unlikely]] {
      Sleep(context->stallNextGrowthMs.exchange(0));
    }
  }
  void* resized = ResizeBlock(block, newSize);
  if (resized == nullptr) return nullptr;
  context->bytes = context->bytes - oldSize + newSize;
  return resized;
}

// Plugins hold nothing that needs finalizing (they have no files or system
// handles), and a finalizer runs where no time limit reaches it: while a
// state closes, or inside any allocation. Lua marks an object for
// finalization only when setmetatable gives it a metatable with a raw __gc
// field, so refusing that one case is enough. Upvalue 1 is Lua's own
// function, run in this very call (not through lua_call): its argument errors
// then name the function the script called, as found in the script's code or
// in the loaded modules (_G.setmetatable), instead of "?". [-0, +1]
int GuardedSetMetatable(lua_State* L) {
  if (lua_type(L, 2) == LUA_TTABLE) {
    lua_pushliteral(L, "__gc");
    const bool finalizer = lua_rawget(L, 2) != LUA_TNIL;
    lua_pop(L, 1);
    if (finalizer) return luaL_argerror(L, 2, "插件不能使用 __gc 元方法");
  }
  return lua_tocfunction(L, lua_upvalueindex(1))(L);
}

// The message handler that xpcall really installs; upvalue 1 is the script's.
// An interruption's error is raised from inside the hook, where Lua runs the
// handler with hooks switched off: such an error goes on unchanged. Any other
// error reaches the script's handler, which runs protected, so an error inside
// it (or an interruption while it runs) ends it instead of recursing. [-0, +1]
int GuardedMessageHandler(lua_State* L) {
  const StateContext* context = ContextOf(L);
  if (context && context->interruption.load(std::memory_order_relaxed) != 0) return 1;
  lua_pushvalue(L, lua_upvalueindex(1));
  lua_insert(L, 1);
  if (lua_pcall(L, lua_gettop(L) - 1, 1, 0) != LUA_OK) {
    if (context && context->interruption.load(std::memory_order_relaxed) != 0) return 1;
    lua_pushliteral(L, "error in error handling");
  }
  return 1;
}

int FinishProtectedCall(lua_State* L, int status, lua_KContext extra) {
  if (status != LUA_OK && status != LUA_YIELD) {
    lua_pushboolean(L, 0);
    lua_pushvalue(L, -2);
    return 2;
  }
  return lua_gettop(L) - static_cast<int>(extra);
}

// xpcall as the base library has it, with the script's handler wrapped.
int GuardedXpcall(lua_State* L) {
  const int count = lua_gettop(L);
  luaL_checktype(L, 2, LUA_TFUNCTION);
  lua_pushvalue(L, 2);
  lua_pushcclosure(L, GuardedMessageHandler, 1);
  lua_replace(L, 2);
  lua_pushboolean(L, 1);
  lua_pushvalue(L, 1);
  lua_rotate(L, 3, 2);
  const int status = lua_pcallk(L, count - 2, LUA_MULTRET, 2, 2, FinishProtectedCall);
  return FinishProtectedCall(L, status, 2);
}

}  // namespace

lua_State* NewCountedState(StateContext& context) { return lua_newstate(CountingAllocator, &context); }

StateContext* ContextOf(lua_State* L) {
  void* userData = nullptr;
  return lua_getallocf(L, &userData) == CountingAllocator ? static_cast<StateContext*>(userData) : nullptr;
}

void InstallSandboxGuards(lua_State* L) {
  lua_getglobal(L, "setmetatable");
  lua_pushcclosure(L, GuardedSetMetatable, 1);
  lua_setglobal(L, "setmetatable");
  lua_pushcfunction(L, GuardedXpcall);
  lua_setglobal(L, "xpcall");
}

}  // namespace qv
