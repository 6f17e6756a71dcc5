// The time limit on every call into script code, and stopping a call.
#pragma once

#include <windows.h>

struct lua_State;

namespace qv {

// What CallWithTimeLimit returns when the owning thread gave up on the call.
inline constexpr int kCallAbandoned = -1;

// Calls the function below nargs arguments on the stack in protected mode,
// with ErrorMessageHandler and the time limit. Returns the Lua status, with
// the results or the error text on the stack as lua_pcall leaves them; or
// kCallAbandoned when the owning thread gave up on this call meanwhile: the
// caller must then return at once, touching nothing (the state included).
[[nodiscard]] int CallWithTimeLimit(lua_State* L, int nargs, int nresults);

// Raises the running call's pending interruption (time limit or Esc), if any.
// Cheap: long loops inside native code call it every so many steps.
void RaiseIfInterrupted(lua_State* L);

// Interrupts the calls running on that thread as if the user stopped them;
// false when none runs there.
bool StopCallsOnThread(DWORD threadId);

// Number of time-limited calls currently armed in the watchdog (all states).
int ArmedTimeLimitCount();

}  // namespace qv
