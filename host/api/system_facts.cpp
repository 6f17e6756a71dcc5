// host.time, host.date and host.system.
#include <windows.h>

#include "base/text.h"
#include "host/lua/lua_glue.h"
#include "host/plugin_host.h"
#include "host/lua/script_thread.h"

namespace qv {

int HostTime(lua_State* L) {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  PushWide(L, TwoDigits(now.wHour) + L":" + TwoDigits(now.wMinute) + L":" + TwoDigits(now.wSecond));
  return 1;
}

int HostDate(lua_State* L) {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  PushWide(L, DateText(now));
  return 1;
}

int HostSystem(lua_State* L) {
  SystemInfo info;
  RunHostAction(L, [&](PluginHost& host) {
    if (host.onSystemInfo) info = host.onSystemInfo();
  });
  lua_createtable(L, 0, 0);
  for (const SystemInfoField& field : kSystemInfoFields) {
    PushWide(L, info.*field.member);
    lua_setfield(L, -2, field.name);
  }
  return 1;
}

}  // namespace qv
