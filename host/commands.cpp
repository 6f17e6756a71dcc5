// The command table: host.register, insertion rules and lookups.
#include <algorithm>
#include <cwctype>
#include <string>

#include "base/text.h"
#include "host/lua/arguments.h"
#include "host/lua/lua_glue.h"
#include "host/plugin_host.h"

namespace qv {

namespace {

// Why a plugin may not take this command name; empty when it may.
std::string RefusedCommandName(const std::wstring& name) {
  if (std::any_of(name.begin(), name.end(), [](wchar_t c) { return std::iswspace(c) != 0; })) {
    return "host.register：命令名不能包含空白（“" + WideToUtf8(name) + "”），输入时空白会把它分成几个词";
  }
  if (ToLower(name) == L"update") return "host.register：update 是程序自带的命令，插件不能注册";
  return {};
}

}  // namespace

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

Registration RegisterCommand(PluginHost& host, PluginRecord& record, const std::wstring& name,
                             const std::wstring& help, int functionRef, int completeRef) {
  std::wstring key = ToLower(name);
  const std::wstring fileName = FileNameOf(record.path);
  if (key.empty()) {
    AppendLog(host, L"[插件] 忽略了空命令名（来自 " + fileName + L"）");
    return Registration::kRefused;
  }
  const auto owned = std::count_if(host.commands.begin(), host.commands.end(),
                                   [&](const CommandEntry& entry) { return entry.owner == &record; });
  if (static_cast<std::size_t>(owned) >= kCommandsPerPluginLimit) return Registration::kFull;
  if (FindCommand(host, key) != nullptr) {
    AppendLog(host, L"[插件] 命令重复，已忽略：" + name + L"（来自 " + fileName + L"）");
    return Registration::kRefused;
  }
  host.commands.push_back(CommandEntry{std::move(key), name, help, record.path, functionRef, &record, completeRef});
  // Registered by a command: ls and help see it at once (a load pass rebuilds the lists at its end).
  if (!host.loading) RebuildSummaries(host);
  return Registration::kAdded;
}

const CommandEntry* FindCommand(const PluginHost& host, const std::wstring& name) {
  const std::wstring key = ToLower(name);
  for (const CommandEntry& entry : host.commands) {
    if (entry.key == key) return &entry;
  }
  return nullptr;
}

bool HasCommand(const PluginHost& host, const std::wstring& name) { return FindCommand(host, name) != nullptr; }

PluginRecord* FindPlugin(const PluginHost& host, const std::wstring& fileName) {
  const std::wstring key = ToLower(fileName);
  for (const auto& record : host.plugins) {
    if (ToLower(FileNameOf(record->path)) == key) return record.get();
  }
  return nullptr;
}

}  // namespace qv
