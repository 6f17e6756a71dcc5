// The host table as a plugin's state sees it: every group of host functions,
// and the table named among the loaded modules.
#include "host/api/host_api.h"

#include "lauxlib.h"
#include "lua.h"

namespace qv {

void PushHostTable(lua_State* L) {
  lua_createtable(L, 0, 32);
  lua_pushliteral(L, "1.0");
  lua_setfield(L, -2, "version");
  for (void (*install)(lua_State*) : {InstallControlFunctions, InstallSystemFacts, InstallFileFunctions,
                                      InstallDesktopFunctions, InstallStoreTable, InstallMenuFunctions,
                                      InstallTimerFunctions, InstallNotifyFunction}) {
    install(L);
  }
  // luaL_argerror names a function called without a name in code (pcall,
  // a table of callbacks) by looking it up among the loaded modules.
  luaL_getsubtable(L, LUA_REGISTRYINDEX, LUA_LOADED_TABLE);
  lua_pushvalue(L, -2);
  lua_setfield(L, -2, "host");
  lua_getfield(L, -2, "store");
  lua_setfield(L, -2, "host.store");
  lua_pop(L, 1);
}

}  // namespace qv
