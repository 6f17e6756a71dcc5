// host.menu: scripts add entries to the console's drop-up menu.
#include "app/text.h"
#include "host/lua_glue.h"
#include "host/plugin_host.h"

namespace qv {

int HostMenu(lua_State* L) {
  PluginHost* host = HostFrom(L);
  PluginRecord* record = RecordFrom(L);
  if (host == nullptr || record == nullptr) return 0;
  const char* label = luaL_checklstring(L, 1, nullptr);
  const char* command = luaL_checklstring(L, 2, nullptr);
  host->menuItems.push_back(MenuItem{WideUpToZero(label), WideUpToZero(command), FileNameOf(record->path)});
  return 0;
}

}  // namespace qv
