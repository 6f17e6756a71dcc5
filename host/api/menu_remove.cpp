// host.menu_remove: a plugin takes back its own menu entries by label.
#include <algorithm>

#include "base/text.h"
#include "host/api/own_actions.h"
#include "host/lua/lua_glue.h"
#include "host/plugin_host.h"

namespace qv {

namespace {

// host.menu_remove(label): true when the calling plugin had entries with this
// label (all of them are gone), false otherwise.
int HostMenuRemove(lua_State* L) {
  const std::wstring label = CheckText(L, 1);
  std::size_t removed = 0;
  if (!WithHost(L, [&](PluginHost& host, PluginRecord& record) {
        const std::wstring plugin = FileNameOf(record.path);
        removed = std::erase_if(
            host.menuItems, [&](const MenuItem& item) { return item.plugin == plugin && item.label == label; });
      })) {
    return 0;
  }
  lua_pushboolean(L, removed > 0);
  return 1;
}

}  // namespace

void AddMenuRemoveFunction(lua_State* L) {
  const luaL_Reg functions[] = {{"menu_remove", HostMenuRemove}, {nullptr, nullptr}};
  luaL_setfuncs(L, functions, 0);
}

}  // namespace qv
