// host.menu: scripts add entries to the console's drop-up menu.
#include <algorithm>

#include "base/text.h"
#include "host/lua/lua_glue.h"
#include "host/plugin_host.h"

namespace qv {

int HostMenu(lua_State* L) {
  size_t labelLength = 0;
  size_t commandLength = 0;
  const char* label = luaL_checklstring(L, 1, &labelLength);
  const char* command = luaL_checklstring(L, 2, &commandLength);
  luaL_argcheck(L, labelLength <= kTextLengthLimit, 1, "菜单文字太长");
  luaL_argcheck(L, commandLength <= kTextLengthLimit, 2, "命令太长");
  MenuItem item{WideUpToZero(label), WideUpToZero(command), {}};
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

}  // namespace qv
