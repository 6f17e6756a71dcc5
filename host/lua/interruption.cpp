// The 5-second limit on every call into script code, and stopping a call.
//
// A count hook makes Lua route every instruction through its hook check, which
// nearly doubles the cost of tight loops. So no hook is installed while a call
// is within its time: one watchdog thread for the whole process waits for the
// earliest deadline of the armed calls, and only when a deadline passes (or the
// user stops the call) does it install the interruption hook on that call's
// state. lua_sethook walks the state's call list, which the running thread may
// be changing: the running thread is suspended around it, the situation that
// Lua supports for a signal handler. Every arm, disarm and installation
// happens under one lock, so no hook outlives its call or reaches another one.
#include "host/lua/interruption.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "base/handles.h"
#include "base/threads.h"
#include "host/lua/call_limits.h"
#include "host/lua/error_message.h"
#include "host/lua/sandbox.h"
#include "host/lua/script_thread.h"
#include "host/lua/state_context.h"
#include "lauxlib.h"
#include "lua.h"

namespace qv {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kLookInterval = std::chrono::milliseconds(1000);
static_assert(kLookInterval < std::chrono::milliseconds(kScriptTimeLimitMs));

// Once installed the hook runs at every instruction: the first check raises,
// and so does every later one until the interrupted call returns.
void InterruptionHook(lua_State* L, lua_Debug*) {
  if (ContextOf(L) == nullptr) luaL_error(L, "%s", kTimeLimitMessage);
  RaiseIfInterrupted(L);
}

struct ArmedCall {
  StateContext* context = nullptr;  // null for a state the host did not make
  lua_State* state = nullptr;
  HANDLE thread = nullptr;
  DWORD threadId = 0;
  Clock::time_point deadline;
  bool interrupted = false;
};

class Watchdog {
 public:
  static Watchdog& Instance() {
    // Never destroyed: the thread lives as long as the process, and a call
    // that was given up on may still disarm itself during exit.
    static Watchdog* watchdog = new Watchdog();
    return *watchdog;
  }

  // Arming does not wake the watchdog (a wake-up is a round trip through the
  // system on every command): it looks at the armed calls at least every
  // kLookInterval, which is shorter than any deadline is away when armed.
  void Arm(ArmedCall& call) {
    std::lock_guard lock(mutex_);
    armed_.push_back(&call);
    if (!started_) started_ = StartThread([this] { Run(); }).has_value();
  }

  // Called on the call's own thread after it returned.
  void Disarm(ArmedCall& call) {
    std::lock_guard lock(mutex_);
    armed_.erase(std::remove(armed_.begin(), armed_.end(), &call), armed_.end());
    if (call.context) call.context->interruption.store(static_cast<int>(Interruption::kNone));
    if (call.interrupted) lua_sethook(call.state, nullptr, 0, 0);
  }

  bool Stop(DWORD threadId) {
    std::lock_guard lock(mutex_);
    bool any = false;
    for (ArmedCall* call : armed_) {
      if (call->threadId != threadId) continue;
      Interrupt(*call, Interruption::kStopped);
      any = true;
    }
    return any;
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
        if (call->interrupted) continue;
        if (call->deadline <= now) {
          Interrupt(*call, Interruption::kTimeLimit);
        } else {
          next = std::min(next, call->deadline);
        }
      }
      wake_.wait_until(lock, next);
    }
  }

  // The first reason sticks: a call stopped by the user and then reaching its
  // deadline still reports that the user stopped it.
  static void Interrupt(ArmedCall& call, Interruption reason) {
    if (call.context) {
      int none = static_cast<int>(Interruption::kNone);
      call.context->interruption.compare_exchange_strong(none, static_cast<int>(reason));
    }
    if (call.interrupted) return;
    call.interrupted = true;
    if (call.threadId == GetCurrentThreadId()) {
      lua_sethook(call.state, InterruptionHook, LUA_MASKCOUNT, 1);
      return;
    }
    if (SuspendThread(call.thread) == static_cast<DWORD>(-1)) return;
    // Suspension is asynchronous; asking for the registers waits until it is done.
    CONTEXT registers{};
    registers.ContextFlags = CONTEXT_CONTROL;
    GetThreadContext(call.thread, &registers);
    lua_sethook(call.state, InterruptionHook, LUA_MASKCOUNT, 1);
    ResumeThread(call.thread);
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::vector<ArmedCall*> armed_;
  bool started_ = false;
};

}  // namespace

void RaiseIfInterrupted(lua_State* L) {
  StateContext* context = ContextOf(L);
  if (context == nullptr) return;
  switch (static_cast<Interruption>(context->interruption.load(std::memory_order_relaxed))) {
    case Interruption::kNone: return;
    case Interruption::kTimeLimit: luaL_error(L, "%s", kTimeLimitMessage); return;
    case Interruption::kStopped: luaL_error(L, "%s", kStoppedMessage); return;
  }
}

int ArmedTimeLimitCount() { return Watchdog::Instance().ArmedCount(); }

bool StopCallsOnThread(DWORD threadId) { return Watchdog::Instance().Stop(threadId); }

int CallWithTimeLimit(lua_State* L, int nargs, int nresults) {
  const int handler = lua_gettop(L) - nargs;
  lua_pushcfunction(L, ErrorMessageHandler);
  lua_insert(L, handler);
  ArmedCall call;
  call.context = ContextOf(L);
  call.state = L;
  if (call.context) call.context->opensThisCall = 0;
  // Outside a script thread (a host used directly, as tests do) the handle is
  // opened for this call alone.
  UniqueHandle ownHandle;
  call.thread = ScriptThreadHandle();
  if (call.thread == nullptr) {
    HANDLE duplicate = nullptr;
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &duplicate,
                    THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT, FALSE, 0);
    ownHandle.reset(duplicate);
    call.thread = duplicate;
  }
  call.threadId = GetCurrentThreadId();
  call.deadline = Clock::now() + std::chrono::milliseconds(kScriptTimeLimitMs);
  Watchdog& watchdog = Watchdog::Instance();
  watchdog.Arm(call);
  LuaStretch stretch(call.deadline);
  const int status = lua_pcall(L, nargs, nresults, handler);
  watchdog.Disarm(call);
  // From here on the state may be gone if the owner gave up on this call.
  if (!stretch.Returned()) return kCallAbandoned;
  lua_remove(L, handler);
  return status;
}

}  // namespace qv
