// Running a command typed on the command line.
#pragma once

#include <string>
#include <vector>

#include "host/plugin_host.h"

namespace qv {

void ExecuteCommand(PluginHost& host, const std::wstring& word, const std::wstring& text);
void RunCommand(PluginHost& host, const CommandEntry& entry, const std::wstring& text);
std::vector<std::wstring> SplitArguments(const std::wstring& text);
// Interrupts the running call as if the user stopped it (Esc). Owning thread
// only; false when no call runs.
bool StopRunningCall(PluginHost& host);

}  // namespace qv
