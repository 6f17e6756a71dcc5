// The command table: insertion rules, lookups and the display lists.
#pragma once

#include <string>

#include "host/plugin_host.h"

namespace qv {

enum class Registration { kAdded, kRefused, kFull };
// Adds a command to the host's table (host data only, no Lua): kRefused for an
// empty or taken name (with a log line), kFull past kCommandsPerPluginLimit.
// The caller releases functionRef (and completeRef) unless the command was added.
[[nodiscard]] Registration RegisterCommand(PluginHost& host, PluginRecord& record, const std::wstring& name,
                                           const std::wstring& help, int functionRef, int completeRef = 0);
const CommandEntry* FindCommand(const PluginHost& host, const std::wstring& name);
bool HasCommand(const PluginHost& host, const std::wstring& name);
PluginRecord* FindPlugin(const PluginHost& host, const std::wstring& fileName);
// The lists that host.commands, host.plugins and the windows show.
void RebuildSummaries(PluginHost& host);

}  // namespace qv
