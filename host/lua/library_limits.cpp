// The rest of the offered libraries is left as Lua has it, because no call
// there can loop for long without its work being bounded by the state's memory
// cap or by the stack: string.format (fixed-size conversions), string.pack,
// unpack and packsize (no repeat counts: one step per format character, and
// 'cN' padding is output that the memory cap bounds), string.byte/char,
// utf8.char/codepoint, select and table.pack (counts bounded by the stack),
// string.rep of anything but nothing (at most one copy per byte of its result),
// and everything in base and math that runs in constant time.
#include "host/lua/library_limits.h"

#include "host/lua/interruption.h"
#include "lauxlib.h"
#include "linterrupt.h"
#include "lua.h"
#include "lualib.h"

namespace qv {

namespace {

// string.rep of an empty string with an empty separator is "" for any count,
// but Lua's loop still runs once per copy: math.maxinteger times, for ever.
// Upvalue 1 is Lua's own function, which handles every other case.
int RepOfNothingAtOnce(lua_State* L) {
  size_t length = 0;
  size_t separatorLength = 0;
  luaL_checklstring(L, 1, &length);
  luaL_checkinteger(L, 2);
  luaL_optlstring(L, 3, "", &separatorLength);
  if (length == 0 && separatorLength == 0) {
    lua_pushliteral(L, "");
    return 1;
  }
  return lua_tocfunction(L, lua_upvalueindex(1))(L);
}

// Replaces library[name] by `wrapper`, which gets the original as upvalue 1.
void Wrap(lua_State* L, const char* library, const char* name, lua_CFunction wrapper) {
  lua_getglobal(L, library);
  lua_getfield(L, -1, name);
  lua_pushcclosure(L, wrapper, 1);
  lua_setfield(L, -2, name);
  lua_pop(L, 1);
}

}  // namespace

void InstallLibraryLimits(lua_State* L) {
  // One hook for the whole process: RaiseIfInterrupted finds each state's own
  // record. Set once, before any state can run.
  static const bool hooked = (lua_interrupthook = RaiseIfInterrupted, true);
  (void)hooked;
  Wrap(L, LUA_STRLIBNAME, "rep", RepOfNothingAtOnce);
}

}  // namespace qv
