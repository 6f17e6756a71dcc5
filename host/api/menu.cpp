// host.menu: scripts add entries to the console's drop-up menu.
#include <algorithm>

#include "base/text.h"
#include "host/lua/lua_glue.h"
#include "host/plugin_host.h"

namespace qv {

int HostMenu(lua_State* L) {
  PluginHost* host = HostFrom(L);
  PluginRecord* record = RecordFrom(L);
  if (host == nullptr || record == nullptr) return 0;
  size_t labelLength = 0;
  size_t commandLength = 0;
  const char* label = luaL_checklstring(L, 1, &labelLength);
  const char* command = luaL_checklstring(L, 2, &commandLength);
  luaL_argcheck(L, labelLength <= kTextLengthLimit, 1, "菜单文字太长");
  luaL_argcheck(L, commandLength <= kTextLengthLimit, 2, "命令太长");
  const std::wstring plugin = FileNameOf(record->path);
  const auto owned = std::count_if(host->menuItems.begin(), host->menuItems.end(),
                                   [&](const MenuItem& item) { return item.plugin == plugin; });
  if (static_cast<std::size_t>(owned) >= kMenuItemsPerPluginLimit) {
    return luaL_error(L, "host.menu：一个插件最多添加 %d 个菜单项", static_cast<int>(kMenuItemsPerPluginLimit));
  }
  host->menuItems.push_back(MenuItem{WideUpToZero(label), WideUpToZero(command), plugin});
  return 0;
}

}  // namespace qv
