// The command table: host.register, insertion rules and lookups.
#include <algorithm>

#include "base/text.h"
#include "host/lua/lua_glue.h"
#include "host/plugin_host.h"

namespace qv {

int HostRegister(lua_State* L) {
  if (lua_type(L, 1) != LUA_TTABLE) {
    return luaL_error(L, "host.register 需要一个表参数，例如 host.register{ name=\"hi\", run=function() end }");
  }
  lua_getfield(L, 1, "name");
  size_t nameLength = 0;
  const char* name = luaL_checklstring(L, -1, &nameLength);
  lua_getfield(L, 1, "help");
  size_t helpLength = 0;
  const char* help = luaL_optlstring(L, -1, "", &helpLength);
  lua_getfield(L, 1, "run");
  if (lua_type(L, -1) != LUA_TFUNCTION) {
    lua_pop(L, 3);
    return luaL_error(L, "host.register 缺少 run 函数");
  }
  if (nameLength > kNameLengthLimit) {
    return luaL_error(L, "host.register：命令名太长（最多 %d 字节）", static_cast<int>(kNameLengthLimit));
  }
  if (helpLength > kTextLengthLimit) {
    return luaL_error(L, "host.register：说明太长（最多 %d 字节）", static_cast<int>(kTextLengthLimit));
  }
  // Every check that can raise is done: only now do C++ objects come to life.
  const int reference = luaL_ref(L, LUA_REGISTRYINDEX);
  const std::wstring helpText = WideUpToZero(help);
  const std::wstring nameText = WideUpToZero(name);
  lua_pop(L, 2);
  Registration outcome = Registration::kRefused;
  WithHost(L, [&](PluginHost& host, PluginRecord& record) {
    outcome = RegisterCommand(host, record, nameText, helpText, reference);
  });
  if (outcome == Registration::kAdded) return 0;
  luaL_unref(L, LUA_REGISTRYINDEX, reference);
  if (outcome == Registration::kFull) {
    return luaL_error(L, "host.register：一个插件最多注册 %d 条命令", static_cast<int>(kCommandsPerPluginLimit));
  }
  return 0;
}

Registration RegisterCommand(PluginHost& host, PluginRecord& record, const std::wstring& name,
                             const std::wstring& help, int functionRef) {
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
  host.commands.push_back(CommandEntry{std::move(key), name, help, record.path, functionRef, &record});
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
