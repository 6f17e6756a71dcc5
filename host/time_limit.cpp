// The 5-second limit on every call into script code.
//
// A count hook makes Lua route every instruction through its hook check, which
// nearly doubles the cost of tight loops. So no hook is installed while a call
// is within its time: one watchdog thread for the whole process waits for the
// earliest deadline of the armed calls, and only when a deadline passes does it
// install TimeLimitHook on that call's state. lua_sethook is documented as safe
// to call asynchronously (the standalone interpreter does it from a signal
// handler). Every arm, disarm, install and removal happens under one lock, and
// the watchdog acts only on calls that are still armed, so no hook can outlive
// its call or reach another call.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "host/lua_glue.h"
#include "host/plugin_host.h"

namespace qv {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kLookInterval = std::chrono::milliseconds(1000);
static_assert(kLookInterval < std::chrono::milliseconds(kScriptTimeLimitMs));

// The hook runs at every instruction once installed: the first check raises,
// and so does every later one until the limited call returns.
void TimeLimitHook(lua_State* L, lua_Debug*) {
  PluginRecord* record = RecordFrom(L);
  if (record == nullptr || record->deadline == 0 || !record->timedOut.load()) return;
  luaL_error(L, "%s", kTimeLimitMessage);
}

void InstallHook(lua_State* L) { lua_sethook(L, TimeLimitHook, LUA_MASKCOUNT, 1); }

struct ArmedCall {
  PluginRecord* record = nullptr;
  lua_State* state = nullptr;
  Clock::time_point deadline;
  bool expired = false;
  ArmedCall* outer = nullptr;  // the call this one is nested in, same state
};

class Watchdog {
 public:
  static Watchdog& Instance() {
    // Never destroyed: the thread lives as long as the process.
    static Watchdog* watchdog = new Watchdog();
    return *watchdog;
  }

  // Arming does not wake the watchdog (a wake-up is a round trip through the
  // system on every command): it looks at the armed calls at least every
  // kLookInterval, which is shorter than any deadline is away when armed.
  void Arm(ArmedCall& call) {
    std::lock_guard lock(mutex_);
    armed_.push_back(&call);
    if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
  }

  // Removes the call; the state's hook afterwards matches the call it returns
  // to (none at the outermost level, the sticky hook for an expired outer call).
  void Disarm(ArmedCall& call) {
    std::lock_guard lock(mutex_);
    armed_.erase(std::remove(armed_.begin(), armed_.end(), &call), armed_.end());
    const bool outerExpired = call.outer != nullptr && call.outer->expired;
    call.record->timedOut.store(outerExpired);
    if (outerExpired) {
      InstallHook(call.state);
    } else {
      lua_sethook(call.state, nullptr, 0, 0);
    }
  }

  int ArmedCount() {
    std::lock_guard lock(mutex_);
    return static_cast<int>(armed_.size());
  }

 private:
  void Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
      const Clock::time_point now = Clock::now();
      Clock::time_point next = now + kLookInterval;
      for (ArmedCall* call : armed_) {
        if (call->expired) continue;
        if (call->deadline <= now) {
          Expire(*call);
        } else {
          next = std::min(next, call->deadline);
        }
      }
      wake_.wait_until(lock, next);
    }
  }

  // Only the innermost running call of a state has its record's flag; an outer
  // call that expires while a nested one runs is caught when the nested call
  // returns (Disarm).
  void Expire(ArmedCall& call) {
    call.expired = true;
    const bool innermost = std::none_of(armed_.begin(), armed_.end(),
                                        [&](const ArmedCall* other) { return other->outer == &call; });
    if (!innermost) return;
    call.record->timedOut.store(true);
    InstallHook(call.state);
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::vector<ArmedCall*> armed_;
  std::thread thread_;
};

// The innermost armed call of each state is reached through its record while
// it runs; nesting is rare, so a small list on the call stack is enough.
thread_local std::vector<ArmedCall*> g_running;

ArmedCall* InnermostFor(const PluginRecord& record) {
  for (auto it = g_running.rbegin(); it != g_running.rend(); ++it) {
    if ((*it)->record == &record) return *it;
  }
  return nullptr;
}

}  // namespace

int ArmedTimeLimitCount() { return Watchdog::Instance().ArmedCount(); }

int CallWithTimeLimit(PluginRecord& record, int nargs, int nresults, int handler) {
  lua_State* L = record.luaState;
  const std::uint64_t outerDeadline = record.deadline;
  record.deadline = GetTickCount64() + kScriptTimeLimitMs;

  ArmedCall call;
  call.record = &record;
  call.state = L;
  call.deadline = Clock::now() + std::chrono::milliseconds(kScriptTimeLimitMs);
  call.outer = InnermostFor(record);
  g_running.push_back(&call);
  Watchdog& watchdog = Watchdog::Instance();
  watchdog.Arm(call);

  PluginHost* host = record.host;
  if (host) ++host->scriptCallDepth;
  const int status = lua_pcallk(L, nargs, nresults, handler, 0, nullptr);
  if (host) --host->scriptCallDepth;

  watchdog.Disarm(call);
  g_running.pop_back();
  record.deadline = outerDeadline;
  if (host && host->scriptCallDepth == 0 && host->onScriptCallEnd) host->onScriptCallEnd();
  return status;
}

}  // namespace qv
