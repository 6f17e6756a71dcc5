// Running the plugins' timers: each run is a call like a command's, one at a
// time with every other call into script code. The timers that come due
// together run in one batch on the script thread, so a hundred timers cost
// one hand-over, not a hundred.
#include "host/timer_calls.h"

#include <chrono>
#include <optional>
#include <utility>

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

// Script thread: calls the timer's function; a failure is reported, and the
// timer then cancelled. A one-time timer lets go of its function after the
// run. False when the owner gave up on the call: nothing may be touched then.
bool CallTimer(PluginHost& host, PluginRecord& owner, const TimerEntry& timer) {
  lua_State* L = owner.luaState;
  lua_settop(L, 0);
  lua_rawgeti(L, LUA_REGISTRYINDEX, timer.functionRef);
  const int status = CallWithTimeLimit(L, 0, 0);
  if (status == kCallAbandoned) return false;
  if (status != LUA_OK) {
    std::wstring failure = PopErrorText(L);
    if (failure.empty()) failure = L"(没有错误信息)";
    // The run itself may have cancelled a repeating timer already.
    if (host.timers.Cancel(&owner, timer.id)) luaL_unref(L, LUA_REGISTRYINDEX, timer.functionRef);
    EmitOutput(host, L"插件错误：" + FileNameOf(owner.path) + L" 的定时器出错，已取消：" + failure);
  } else if (timer.interval == 0) {
    luaL_unref(L, LUA_REGISTRYINDEX, timer.functionRef);
  }
  lua_settop(L, 0);
  return true;
}

// Script thread: runs `first` and then every other timer that has come due, in
// their order, until none is due, one asks for a reload, or the batch has
// taken kTimerBatchMs. `running` names the plugin being called.
void RunTimerBatch(PluginHost& host, TimerEntry first, PluginRecord*& running) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kTimerBatchMs);
  for (std::optional<TimerEntry> timer = std::move(first); timer; timer = host.timers.TakeDue()) {
    // Timers leave the schedule when their state closes; one whose plugin
    // failed to load, or was let go of meanwhile, never runs.
    auto* owner = static_cast<PluginRecord*>(const_cast<void*>(timer->owner));
    if (!Callable(*owner)) {
      host.timers.RemoveOwner(owner);
    } else {
      running = owner;
      if (!CallTimer(host, *owner, *timer)) return;
    }
    if (host.reloadRequested || std::chrono::steady_clock::now() >= until) return;
  }
}

}  // namespace

bool RunDueTimers(PluginHost& host) {
  if (host.calls.Running() || host.loading) return false;
  std::optional<TimerEntry> first = host.timers.TakeDue();
  if (!first) return false;
  PluginRecord* running = static_cast<PluginRecord*>(const_cast<void*>(first->owner));
  switch (CallIntoPlugin(host, running, [&] { RunTimerBatch(host, *first, running); })) {
    case CallOutcome::kFinished:
      break;
    case CallOutcome::kAbandoned:
      EmitOutput(host, L"插件错误：" + FileNameOf(running->path) +
                           L" 的定时器没有响应（卡在原生代码中），已移除它的命令、菜单项和定时器；输入 reload 可重新加载。");
      return true;
    case CallOutcome::kRefused:
      // No script thread: the timer cannot run now or later.
      host.timers.RemoveOwner(running);
      return true;
  }
  if (TakeReloadRequest(host)) {
    LoadPlugins(host);
    EmitOutput(host, TakePendingLog(host));
  }
  return true;
}

}  // namespace qv
