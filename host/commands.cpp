// The command table: insertion rules, lookups and the display lists.
#include "host/commands.h"

#include <algorithm>
#include <cassert>
#include <cwctype>
#include <string>

#include "base/text.h"

#include "host/lua/script_thread.h"
#include "host/script_env.h"

namespace qv {

Registration RegisterCommand(PluginHost& host, PluginRecord& record, const std::wstring& name,
                             const std::wstring& help, int functionRef, int completeRef) {
  assert(MayTouchHostData());
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
