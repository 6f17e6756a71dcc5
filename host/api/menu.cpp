// host.menu and host.menu_remove: a plugin's entries in the console's drop-up
// menu, added and taken back by label.
#include <algorithm>

#include "base/text.h"
#include "host/lua/arguments.h"
#include "host/api/host_link.h"
#include "host/plugin_host.h"

namespace qv {

namespace {

int HostMenu(lua_State* L) {
  MenuItem item{CheckText(L, 1), CheckText(L, 2), {}};
  luaL_argcheck(L, lua_rawlen(L, 1) <= kTextLengthLimit, 1, "菜单文字太长");
  luaL_argcheck(L, lua_rawlen(L, 2) <= kTextLengthLimit, 2, "命令太长");
  bool full = false;
  WithHost(L, [&](PluginHost& host, PluginRecord& record) {
    item.plugin = FileNameOf(record.path);
    const auto owned = std::count_if(host.menuItems.begin(), host.menuItems.end(),
                                     [&](const MenuItem& entry) { return entry.plugin == item.plugin; });
    full = static_cast<std::size_t>(owned) >= kMenuItemsPerPluginLimit;
    if (!full) host.menuItems.push_back(std::move(item));
  });
  if (full) {
    return luaL_error(L, "host.menu：一个插件最多添加 %d 个菜单项", static_cast<int>(kMenuItemsPerPluginLimit));
  }
  return 0;
}

// host.menu_remove(label): true when the calling plugin had entries with this
// label (all of them are gone), false otherwise.
int HostMenuRemove(lua_State* L) {
  const std::wstring label = CheckText(L, 1);
  std::size_t removed = 0;
  WithHost(L, [&](PluginHost& host, PluginRecord& record) {
    const std::wstring plugin = FileNameOf(record.path);
    removed = std::erase_if(host.menuItems,
                            [&](const MenuItem& item) { return item.plugin == plugin && item.label == label; });
  });
  lua_pushboolean(L, removed > 0);
  return 1;
}

}  // namespace

void InstallMenuFunctions(lua_State* L) {
  const luaL_Reg functions[] = {{"menu", HostMenu}, {"menu_remove", HostMenuRemove}, {nullptr, nullptr}};
  luaL_setfuncs(L, functions, 0);
}

}  // namespace qv
