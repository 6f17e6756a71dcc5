// host.time, host.date, host.system and host.clock: facts about the machine
// and the moment.
#include <windows.h>

#include <chrono>

#include "base/text.h"
#include "host/api/host_link.h"
#include "host/api/host_api.h"

namespace qv {

namespace {

// host.clock counts from here: the host library is initialised as the program starts.
const std::chrono::steady_clock::time_point kProgramStart = std::chrono::steady_clock::now();

int HostTime(lua_State* L) {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  PushText(L, TwoDigits(now.wHour) + L":" + TwoDigits(now.wMinute) + L":" + TwoDigits(now.wSecond));
  return 1;
}

int HostDate(lua_State* L) {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  PushText(L, DateText(now));
  return 1;
}

int HostSystem(lua_State* L) {
  SystemInfo info;
  RunHostAction(L, [&](PluginHost& host) {
    if (host.onSystemInfo) info = host.onSystemInfo();
  });
  lua_createtable(L, 0, 0);
  for (const SystemInfoField& field : kSystemInfoFields) {
    PushText(L, info.*field.member);
    lua_setfield(L, -2, field.name);
  }
  return 1;
}

int HostClock(lua_State* L) {
  const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - kProgramStart;
  lua_pushnumber(L, elapsed.count());
  return 1;
}

}  // namespace

void InstallSystemFacts(lua_State* L) {
  const luaL_Reg functions[] = {{"time", HostTime}, {"date", HostDate}, {"system", HostSystem}, {"clock", HostClock}, {nullptr, nullptr}};
  luaL_setfuncs(L, functions, 0);
}

}  // namespace qv
