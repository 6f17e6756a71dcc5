// The control functions of the host table: printing and warn() to the log,
// registering commands, the program's actions, and the lists and files of
// the plugins.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <cwctype>

#include "base/files.h"
#include "base/text.h"
#include "host/api/host_api.h"
#include "host/api/host_link.h"
#include "host/commands.h"
#include "host/script_env.h"
#include "host/store/data_files.h"
#include "host/lua/sandbox.h"

namespace qv {

namespace {

void SetStringField(lua_State* L, const char* key, const std::wstring& value) {
  PushText(L, value);
  lua_setfield(L, -2, key);
}

// Appends one table per row to the array on top of the stack, each made with
// room for `fields` fields and filled by setFields. [-0, +0]
template <typename Row, typename SetFields>
void AppendRowTables(lua_State* L, const std::vector<Row>& rows, int fields, SetFields setFields) {
  lua_Integer index = 0;
  for (const Row& row : rows) {
    lua_createtable(L, 0, fields);
    setFields(row);
    lua_rawseti(L, -2, ++index);
  }
}

// Why a plugin may not take this command name; empty when it may.
std::string RefusedCommandName(const std::wstring& name) {
  if (std::any_of(name.begin(), name.end(), [](wchar_t c) { return std::iswspace(c) != 0; })) {
    return "host.register：命令名不能包含空白（“" + WideToUtf8(name) + "”），输入时空白会把它分成几个词";
  }
  if (ToLower(name) == L"update") return "host.register：update 是程序自带的命令，插件不能注册";
  return {};
}

int HostRegister(lua_State* L) {
  if (lua_type(L, 1) != LUA_TTABLE) {
    return luaL_error(L, "host.register 需要一个表参数，例如 host.register{ name=\"hi\", run=function() end }");
  }
  const std::wstring name = CheckTextField(L, 1, "host.register", "name", true);
  const std::wstring help = CheckTextField(L, 1, "host.register", "help", false);
  lua_getfield(L, 1, "run");
  if (lua_type(L, -1) != LUA_TFUNCTION) {
    return luaL_error(L, "host.register 的 run 必须是函数（现在是 %s）", luaL_typename(L, -1));
  }
  lua_getfield(L, 1, "complete");
  const int completeType = lua_type(L, -1);
  if (completeType != LUA_TNIL && completeType != LUA_TFUNCTION) {
    return luaL_error(L, "host.register 的 complete 必须是函数（现在是 %s）", luaL_typename(L, -1));
  }
  if (WideToUtf8(name).size() > kNameLengthLimit) {
    return luaL_error(L, "host.register：命令名太长（最多 %d 字节）", static_cast<int>(kNameLengthLimit));
  }
  if (WideToUtf8(help).size() > kTextLengthLimit) {
    return luaL_error(L, "host.register：说明太长（最多 %d 字节）", static_cast<int>(kTextLengthLimit));
  }
  if (const std::string refused = RefusedCommandName(name); !refused.empty()) {
    return luaL_error(L, "%s", refused.c_str());
  }
  // Every check that can raise is done.
  int completeReference = 0;
  if (completeType == LUA_TFUNCTION) {
    completeReference = luaL_ref(L, LUA_REGISTRYINDEX);
  } else {
    lua_pop(L, 1);
  }
  const int reference = luaL_ref(L, LUA_REGISTRYINDEX);
  Registration outcome = Registration::kRefused;
  WithHost(L, [&](PluginHost& host, PluginRecord& record) {
    outcome = RegisterCommand(host, record, name, help, reference, completeReference);
  });
  if (outcome == Registration::kAdded) return 0;
  luaL_unref(L, LUA_REGISTRYINDEX, reference);
  if (completeReference != 0) luaL_unref(L, LUA_REGISTRYINDEX, completeReference);
  if (outcome == Registration::kFull) {
    return luaL_error(L, "host.register：一个插件最多注册 %d 条命令", static_cast<int>(kCommandsPerPluginLimit));
  }
  return 0;
}

int HostPrint(lua_State* L) {
  const int count = lua_gettop(L);
  luaL_Buffer buffer;
  luaL_buffinit(L, &buffer);
  for (int i = 1; i <= count; ++i) {
    if (i > 1) luaL_addchar(&buffer, '\t');
    luaL_tolstring(L, i, nullptr);
    luaL_addvalue(&buffer);
  }
  luaL_pushresult(&buffer);
  size_t length = 0;
  const char* bytes = lua_tolstring(L, -1, &length);
  // The log keeps at most kPrintedTextLimit units: only the tail of a longer
  // text is converted (a UTF-8 character has at most 4 bytes, 2 units).
  std::string_view text(bytes, length);
  if (text.size() > 4 * kPrintedTextLimit) text.remove_prefix(text.size() - 4 * kPrintedTextLimit);
  std::wstring wide = Utf8ToWide(text);
  if (wide.size() > kPrintedTextLimit) wide.erase(0, wide.size() - kPrintedTextLimit);
  WithHost(L, [&](PluginHost& host, PluginRecord&) { EmitOutput(host, wide); });
  return 0;
}

int HostClear(lua_State* L) {
  WithHost(L, [](PluginHost& host, PluginRecord&) { EmitClear(host); });
  return 0;
}

int HostExit(lua_State* L) {
  RunHostAction(L, [](PluginHost& host) {
    if (host.onExit) host.onExit();
  });
  return 0;
}

int HostReload(lua_State* L) {
  WithHost(L, [](PluginHost& host, PluginRecord& record) {
    // A load pass is itself a fresh load: a body asking for another one would
    // make every later command reload everything.
    if (host.loading) {
      AppendLog(host, L"[插件] 已忽略 " + FileNameOf(record.path) + L" 在加载时请求的重新加载。");
    } else {
      host.reloadRequested = true;
    }
  });
  return 0;
}

int HostSkipLoading(lua_State* L) {
  WithHost(L, [](PluginHost& host, PluginRecord&) { host.skipLoadingRequested = true; });
  return 0;
}

int HostPluginManager(lua_State* L) {
  RunHostAction(L, [](PluginHost& host) {
    if (host.onOpenPluginManager) host.onOpenPluginManager();
  });
  return 0;
}

int HostCommands(lua_State* L) {
  std::vector<CommandSummary> rows;
  WithHost(L, [&](PluginHost& host, PluginRecord&) { rows = host.commandList; });
  lua_createtable(L, static_cast<int>(rows.size()), 0);
  AppendRowTables(L, rows, 3, [L](const CommandSummary& row) {
    SetStringField(L, "name", row.name);
    SetStringField(L, "help", row.help);
    SetStringField(L, "plugin", row.plugin);
  });
  return 1;
}

int HostPlugins(lua_State* L) {
  std::vector<PluginSummary> rows;
  WithHost(L, [&](PluginHost& host, PluginRecord&) { rows = host.pluginList; });
  lua_createtable(L, static_cast<int>(rows.size()), 0);
  AppendRowTables(L, rows, 5, [L](const PluginSummary& row) {
    SetStringField(L, "name", row.name);
    SetStringField(L, "path", row.path);
    lua_pushinteger(L, row.commands);
    lua_setfield(L, -2, "commands");
    lua_pushboolean(L, row.ok);
    lua_setfield(L, -2, "ok");
    lua_pushboolean(L, row.enabled);
    lua_setfield(L, -2, "enabled");
  });
  return 1;
}

int HostDirectory(lua_State* L) {
  std::wstring folder;
  WithHost(L, [&](PluginHost& host, PluginRecord&) { folder = host.pluginsDir; });
  PushText(L, folder);
  return 1;
}

int HostDataDir(lua_State* L) {
  std::wstring folder;
  if (!WithHost(L, [&](PluginHost& host, PluginRecord& record) {
        folder = DataFolderPath(host.pluginsDir, record.path);
      })) {
    lua_pushnil(L);
    return 1;
  }
  CreateDirectoryW(folder.c_str(), nullptr);
  PushText(L, folder);
  return 1;
}

int HostSource(lua_State* L) {
  size_t length = 0;
  const char* argument = luaL_optlstring(L, 1, "", &length);
  const std::wstring wanted = ToLower(Utf8ToWide(std::string_view(argument, length)));
  std::wstring path;
  if (!wanted.empty()) {
    WithHost(L, [&](PluginHost& host, PluginRecord&) {
      for (const PluginSummary& row : host.pluginList) {
        if (ToLower(row.name) == wanted) {
          path = row.path;
          return;
        }
      }
    });
  }
  std::string content;
  if (path.empty() || !ReadWholeFile(path, content)) {
    lua_pushnil(L);
    return 1;
  }
  DropByteOrderMark(content);
  lua_pushlstring(L, content.data(), content.size());
  return 1;
}

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

void InstallControlFunctions(lua_State* L) {
  const luaL_Reg functions[] = {
      {"print", HostPrint},       {"register", HostRegister}, {"clear", HostClear},
      {"exit", HostExit},         {"reload", HostReload},     {"skip_loading", HostSkipLoading},
      {"plugin_manager", HostPluginManager}, {"commands", HostCommands}, {"plugins", HostPlugins},
      {"directory", HostDirectory}, {"data_dir", HostDataDir}, {"source", HostSource},
      {nullptr, nullptr},
  };
  luaL_setfuncs(L, functions, 0);
}

void InstallWarningHandler(lua_State* L) {
  if (StateContext* context = ContextOf(L)) lua_setwarnf(L, WarnToLog, context);
}

}  // namespace qv
