// Running the plugins' timers: each run is a call like a command's, one at a
// time with every other call into script code.
#include "host/timer_calls.h"

#include "base/text.h"
#include "host/cut_off.h"
#include "host/loading.h"
#include "host/lua/error_message.h"
#include "host/lua/interruption.h"
#include "host/lua/script_thread.h"
#include "host/lua/state_context.h"
#include "host/script_env.h"
#include "lauxlib.h"
#include "lua.h"

namespace qv {

namespace {

// A state that may still be called: open, not let go of, and loaded cleanly.
bool Callable(const PluginRecord& record) {
  return record.luaState != nullptr && !record.loadFailed && !record.disabled && record.context &&
         !record.context->closed.load();
}

// Script thread: calls the timer's function; a failure leaves its text in
// `failure`, and the timer is then cancelled. A one-time timer lets go of its
// function after the run.
void CallTimer(PluginHost& host, PluginRecord& owner, const TimerEntry& timer, std::wstring& failure) {
  lua_State* L = owner.luaState;
  lua_settop(L, 0);
  lua_rawgeti(L, LUA_REGISTRYINDEX, timer.functionRef);
  const int status = CallWithTimeLimit(L, 0, 0);
  if (status == kCallAbandoned) return;
  if (status != LUA_OK) {
    failure = PopErrorText(L);
    if (failure.empty()) failure = L"(没有错误信息)";
    // The run itself may have cancelled a repeating timer already.
    bool cancelled = false;
    WithHostData([&] { cancelled = host.timers.Cancel(&owner, timer.id).has_value(); });
    if (cancelled) luaL_unref(L, LUA_REGISTRYINDEX, timer.functionRef);
  } else if (timer.interval == 0) {
    luaL_unref(L, LUA_REGISTRYINDEX, timer.functionRef);
  }
  lua_settop(L, 0);
}

}  // namespace

bool RunDueTimer(PluginHost& host) {
  if (host.calls.Running() || host.loading) return false;
  const std::optional<TimerEntry> timer = host.timers.TakeDue();
  if (!timer) return false;
  // Timers leave the schedule when their state closes; one whose plugin
  // failed to load, or was let go of meanwhile, never runs.
  auto* owner = static_cast<PluginRecord*>(const_cast<void*>(timer->owner));
  if (!Callable(*owner)) {
    host.timers.RemoveOwner(owner);
    return true;
  }
  std::wstring failure;
  switch (CallIntoPlugin(host, *owner, [&] { CallTimer(host, *owner, *timer, failure); })) {
    case CallOutcome::kFinished:
      break;
    case CallOutcome::kAbandoned:
      EmitOutput(host, L"插件错误：" + FileNameOf(owner->path) +
                           L" 的定时器没有响应（卡在原生代码中），已移除它的命令、菜单项和定时器；输入 reload 可重新加载。");
      return true;
    case CallOutcome::kRefused:
      // No script thread: the timer cannot run now or later.
      host.timers.RemoveOwner(owner);
      return true;
  }
  if (!failure.empty()) EmitOutput(host, L"插件错误：" + FileNameOf(owner->path) + L" 的定时器出错，已取消：" + failure);
  if (TakeReloadRequest(host)) {
    LoadPlugins(host);
    EmitOutput(host, TakePendingLog(host));
  }
  return true;
}

}  // namespace qv
