// The control functions of the host table and the display lists they read.
#include <windows.h>

#include "base/files.h"
#include "base/text.h"
#include "host/store/data_files.h"
#include "host/lua/lua_glue.h"
#include "host/plugin_host.h"
#include "host/lua/script_thread.h"

namespace qv {

namespace {

void SetStringField(lua_State* L, const char* key, const std::wstring& value) {
  PushWide(L, value);
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

}  // namespace

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
  PushWide(L, folder);
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
  PushWide(L, folder);
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

void RebuildSummaries(PluginHost& host) {
  host.commandList.clear();
  host.commandList.reserve(host.commands.size());
  for (const CommandEntry& entry : host.commands) {
    host.commandList.push_back(CommandSummary{entry.name, entry.help, FileNameOf(entry.pluginPath)});
  }
  host.pluginList.clear();
  host.pluginList.reserve(host.plugins.size());
  for (const auto& record : host.plugins) {
    std::int32_t count = 0;
    for (const CommandEntry& entry : host.commands) count += entry.pluginPath == record->path ? 1 : 0;
    host.pluginList.push_back(
        PluginSummary{FileNameOf(record->path), record->path, count, !record->loadFailed, !record->disabled});
  }
}

}  // namespace qv
