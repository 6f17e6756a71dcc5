// The 5-second limit on every call into script code.
#include <windows.h>

#include "host/lua_glue.h"
#include "host/plugin_host.h"

namespace qv {

namespace {

constexpr int kHookInstructionCount = 1000;

void TimeLimitHook(lua_State* L, lua_Debug*) {
  PluginRecord* record = RecordFrom(L);
  if (record == nullptr || record->deadline == 0) return;
  if (!record->timedOut && GetTickCount64() <= record->deadline) return;
  // Sticky: from now on the hook runs at every instruction and raises again,
  // so a script that catches the error with pcall is interrupted at its very
  // next instruction, frame by frame, until the limited call returns.
  if (!record->timedOut) {
    record->timedOut = true;
    lua_sethook(L, TimeLimitHook, LUA_MASKCOUNT, 1);
  }
  luaL_error(L, "%s", kTimeLimitMessage);
}

}  // namespace

int CallWithTimeLimit(PluginRecord& record, int nargs, int nresults, int handler) {
  lua_State* L = record.luaState;
  // A nested call into the same state keeps its own deadline; the outer one's
  // is restored when it returns.
  const std::uint64_t outerDeadline = record.deadline;
  const bool outerTimedOut = record.timedOut;
  record.deadline = GetTickCount64() + kScriptTimeLimitMs;
  record.timedOut = false;
  lua_sethook(L, TimeLimitHook, LUA_MASKCOUNT, kHookInstructionCount);

  PluginHost* host = record.host;
  if (host) ++host->scriptCallDepth;
  const int status = lua_pcallk(L, nargs, nresults, handler, 0, nullptr);
  if (host) --host->scriptCallDepth;

  record.deadline = outerDeadline;
  record.timedOut = outerTimedOut;
  if (outerDeadline == 0) {
    lua_sethook(L, nullptr, 0, 0);
  } else {
    lua_sethook(L, TimeLimitHook, LUA_MASKCOUNT, outerTimedOut ? 1 : kHookInstructionCount);
  }
  if (host && host->scriptCallDepth == 0 && host->onScriptCallEnd) host->onScriptCallEnd();
  return status;
}

}  // namespace qv
