// The one thread that runs every call into Lua, and how the thread that owns
// the host (the window thread) hands calls to it and waits for them.
//
// The owning thread stays responsive while a call runs: it waits in
// ScriptCalls::Run, where it delivers the call's output as it arrives, serves
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

// What the owning thread does around a call, all on the owning thread: before
// it is handed over, repeatedly while it runs (the console pumps its window
// messages there), with its output as it arrives, and after it has ended or
// was given up on. Any of them may be empty.
struct CallSide {
  const std::function<void()>& begin;
  const std::function<void()>& wait;
  const std::function<void()>& end;
  const std::function<void(const std::wstring&)>& output;
  const std::function<void()>& clear;
};

// The owning thread's side of the script thread: the thread (made anew after a
// call was given up on) and the one flag that says a call is running.
class ScriptCalls {
 public:
  ScriptCalls();
  ~ScriptCalls();  // ends the idle thread and waits for it
  ScriptCalls(const ScriptCalls&) = delete;
  ScriptCalls& operator=(const ScriptCalls&) = delete;

  // Runs job on the script thread and waits for it as described above.
  // kRefused when a call is already running or no thread could start. The job
  // may touch host data freely; after each call into Lua that reports it was
  // abandoned it must return at once.
  [[nodiscard]] CallOutcome Run(const CallSide& side, const std::function<void()>& job);
  bool Running() const { return running_; }
  // Interrupts the running call as if the user stopped it; false when no call runs.
  bool StopRunning();
  // Ends the idle thread now (a host that is going away).
  void EndThread();

 private:
  std::unique_ptr<ScriptThread> thread_;
  bool running_ = false;
};

// Script thread: runs the action on the owning thread and waits for it; runs
// it at once on any other thread (a host without a script thread). False when
// the owner gave up on this thread, so the action did not run.
[[nodiscard]] bool RunOnOwner(const std::function<void()>& action);

// The calling script thread's own handle (suspendable), or null on any other thread.
HANDLE ScriptThreadHandle();

// True on a script thread that the owner has given up on.
bool ScriptThreadAbandoned();

// Script thread side of every call into Lua (compiling and closing included):
// the stretch in which the owner may give up on the call once its deadline and
// grace have passed. Returned() ends the stretch and is false when the owner
// gave up meanwhile: then the caller returns at once, touching nothing.
class LuaStretch {
 public:
  explicit LuaStretch(std::chrono::steady_clock::time_point deadline);
  LuaStretch();  // with the usual time limit from now
  ~LuaStretch();
  LuaStretch(const LuaStretch&) = delete;
  LuaStretch& operator=(const LuaStretch&) = delete;
  [[nodiscard]] bool Returned();

 private:
  bool open_ = false;
};

// Script thread: runs access with the host data (commands, menu entries,
// lists, the pending log, requests) under the lock under which the owner gives
// up on a call, so that a call given up on never touches host data again:
// false, without running access, once the owner has given up on this thread.
// access must not call into Lua (nothing that can allocate, raise or run a
// collection step); what it needs from Lua is taken before, what Lua needs
// from it is copied out and pushed after. On any other thread it simply runs.
bool WithHostData(const std::function<void()>& access);
// Whether the calling thread may touch host data now: any thread but a script
// thread, and a script thread outside Lua or inside WithHostData. For checks
// in debug builds.
bool MayTouchHostData();

// Output of a call on the script thread, in order with clears; delivered on
// the owning thread. Return false when there is no script thread here.
bool QueueOutput(const std::wstring& text);
bool QueueClear();

}  // namespace qv
