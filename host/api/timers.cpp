// host.after, host.every and host.cancel: a plugin's functions that the host
// runs later, on its own (see host/timer_calls.cpp for the runs).
#include "base/text.h"
#include "host/api/host_api.h"
#include "host/api/host_link.h"
#include "host/plugin_host.h"

namespace qv {

namespace {

std::wstring RefusalText(TimerRefusal refusal) {
  switch (refusal) {
    case TimerRefusal::kTooShort: return L"间隔太短：最短 " + DecimalText(kMinTimerIntervalMs) + L" 毫秒";
    case TimerRefusal::kTooLong: return L"间隔太长：最长 " + DecimalText(kMaxTimerIntervalMs) + L" 毫秒";
    case TimerRefusal::kTooMany:
      return L"定时器太多：每个插件最多同时有 " + DecimalText(kTimersPerPluginLimit) + L" 个";
    case TimerRefusal::kNone: break;
  }
  return std::wstring();
}

constexpr std::wstring_view kNoHostText = L"没有宿主，定时器不可用";

// host.after(ms, fn) and host.every(ms, fn): the new timer's id, or nil and
// a reason. [-0, +1 or +2]
int AddTimer(lua_State* L, bool repeat) {
  const lua_Integer delay = luaL_checkinteger(L, 1);
  luaL_checktype(L, 2, LUA_TFUNCTION);
  // Checked before the reference is taken, so a refused timer holds nothing.
  TimerRefusal refusal = TimerRefusal::kNone;
  if (!WithHost(L, [&](PluginHost& host, PluginRecord& record) { refusal = host.timers.Check(&record, delay); })) {
    return PushFailure(L, kNoHostText);
  }
  if (refusal != TimerRefusal::kNone) return PushFailure(L, RefusalText(refusal));
  lua_pushvalue(L, 2);
  const int reference = luaL_ref(L, LUA_REGISTRYINDEX);
  std::int64_t id = 0;
  WithHost(L, [&](PluginHost& host, PluginRecord& record) { id = host.timers.Add(&record, delay, repeat, reference).id; });
  if (id == 0) {
    luaL_unref(L, LUA_REGISTRYINDEX, reference);
    return PushFailure(L, kNoHostText);
  }
  lua_pushinteger(L, id);
  return 1;
}

int HostAfter(lua_State* L) { return AddTimer(L, false); }

int HostEvery(lua_State* L) { return AddTimer(L, true); }

// host.cancel(id): true when the plugin's timer with this id was waiting.
int HostCancel(lua_State* L) {
  const lua_Integer id = luaL_checkinteger(L, 1);
  std::optional<TimerEntry> cancelled;
  WithHost(L, [&](PluginHost& host, PluginRecord& record) { cancelled = host.timers.Cancel(&record, id); });
  if (cancelled) luaL_unref(L, LUA_REGISTRYINDEX, cancelled->functionRef);
  lua_pushboolean(L, cancelled.has_value());
  return 1;
}

}  // namespace

void InstallTimerFunctions(lua_State* L) {
  const luaL_Reg functions[] = {{"after", HostAfter}, {"every", HostEvery}, {"cancel", HostCancel}, {nullptr, nullptr}};
  luaL_setfuncs(L, functions, 0);
}

}  // namespace qv
