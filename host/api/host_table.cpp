// Adding the later host functions to a state's host table, naming the table
// for argument errors, and routing warn() to the log.
#include "host/api/host_table.h"

#include <algorithm>
#include <cstring>

#include "base/text.h"
#include "host/lua/lua_glue.h"
#include "host/lua/script_thread.h"
#include "host/lua/state_context.h"

namespace qv {

namespace {

// warn() as Lua's own warning function behaves (controls "@on" and "@off",
// off at first, a message in pieces until its last part), but each complete
// warning becomes one line of the log. Runs where the warning is raised.
void WarnToLog(void* userData, const char* message, int toBeContinued) {
  StateContext& context = *static_cast<StateContext*>(userData);
  if (!context.pendingWarning) {
    if (!toBeContinued && message[0] == '@') {
      const std::string_view control(message + 1);
      if (control == "on") context.warningsOn = true;
      if (control == "off") context.warningsOn = false;
      return;
    }
    if (!context.warningsOn) return;
    context.pendingWarning.emplace();
  }
  std::string& text = *context.pendingWarning;
  text.append(message, std::min(std::strlen(message), kMaxWarningBytes - text.size()));
  if (toBeContinued) return;
  const std::wstring line = Utf8ToWide(text);
  context.pendingWarning.reset();
  // A state the host let go of reaches nothing any more.
  if (context.host == nullptr || context.record == nullptr) return;
  WithHostData([&] {
    if (context.closed.load()) return;
    EmitOutput(*context.host, L"[警告] " + FileNameOf(context.record->path) + L"：" + line);
  });
}

}  // namespace

void AddCapabilities(lua_State* L) {
  const int host = lua_gettop(L);
  PushStoreTable(L);
  lua_pushvalue(L, -1);
  lua_setfield(L, host, "store");
  const luaL_Reg functions[] = {
      {"read_file", HostReadFile}, {"write_file", HostWriteFile}, {"list_files", HostListFiles},
      {"clipboard", HostClipboard}, {"open", HostOpen},          {"clock", HostClock},
  };
  for (const luaL_Reg& function : functions) {
    lua_pushcfunction(L, function.func);
    lua_setfield(L, host, function.name);
  }
  // luaL_argerror names a function called without a name in code (pcall,
  // a table of callbacks) by looking it up among the loaded modules.
  luaL_getsubtable(L, LUA_REGISTRYINDEX, LUA_LOADED_TABLE);
  lua_pushvalue(L, host);
  lua_setfield(L, -2, "host");
  lua_pushvalue(L, -2);
  lua_setfield(L, -2, "host.store");
  lua_pop(L, 2);
}

void InstallWarningHandler(lua_State* L) {
  if (StateContext* context = ContextOf(L)) lua_setwarnf(L, WarnToLog, context);
}

}  // namespace qv
