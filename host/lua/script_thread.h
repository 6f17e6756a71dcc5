// The one thread that runs every call into Lua, and how the thread that owns
// the host (the window thread) hands calls to it and waits for them.
//
// The owning thread stays responsive while a call runs: it waits in
// RunOnScriptThread, where it delivers the call's output as it arrives, serves
// the call's requests for host actions (which always run on the owning thread)
// and lets the console pump its messages. A call that has not returned
// kStuckCallGraceMs after its deadline is inside native code that no hook
// reaches: the owner gives up on it and on its thread, which is left to end by
// itself, and the next call gets a fresh thread.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "host/plugin_host.h"

namespace qv {

struct ScriptChannel;

class ScriptThread {
 public:
  ScriptThread();
  ~ScriptThread();  // ends the idle thread and waits for it
  ScriptThread(const ScriptThread&) = delete;
  ScriptThread& operator=(const ScriptThread&) = delete;

  bool Started() const;
  DWORD ThreadId() const;
  const std::shared_ptr<ScriptChannel>& Channel() const { return channel_; }

 private:
  std::shared_ptr<ScriptChannel> channel_;
};

enum class CallOutcome { kFinished, kAbandoned, kRefused };

// Owning thread: runs job on the script thread and waits for it as described
// above. kRefused when a call is already running or no thread could start.
// The job may touch host data freely; after each CallWithTimeLimit that
// returns kCallAbandoned it must return at once.
CallOutcome RunOnScriptThread(PluginHost& host, const std::function<void()>& job);

// Script thread: runs the action on the owning thread and waits for it; runs
// it at once on any other thread (a host without a script thread). False when
// the owner gave up on this thread, so the action did not run.
bool RunOnOwner(const std::function<void()>& action);

// The calling script thread's own handle (suspendable), or null on any other thread.
HANDLE ScriptThreadHandle();

// True on a script thread that the owner has given up on.
bool ScriptThreadAbandoned();

// Script thread side of every call into Lua (compiling included): marks the
// stretch in which the owner may give up on the call once its deadline and
// grace have passed.
// ReturnFromLua is false when the owner gave up meanwhile.
void LeaveForLua(std::chrono::steady_clock::time_point deadline);
// The same with the usual time limit from now (compiling, closing a state).
void LeaveForLua();
bool ReturnFromLua();

// Script thread: runs access with the host data (commands, menu entries,
// lists, the pending log, requests) under the lock under which the owner gives
// up on a call, so that a call given up on never touches host data again:
// false, without running access, once the owner has given up on this thread.
// access must not call into Lua (nothing that can allocate, raise or run a
// collection step); what it needs from Lua is taken before, what Lua needs
// from it is copied out and pushed after. On any other thread it simply runs.
bool WithHostData(const std::function<void()>& access);

// Output of a call on the script thread, in order with clears; delivered on
// the owning thread. Return false when there is no script thread here.
bool QueueOutput(const std::wstring& text);
bool QueueClear();

}  // namespace qv
