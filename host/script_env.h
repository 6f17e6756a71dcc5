// A plugin's Lua state from its creation to its closing, handing calls to the
// script thread, and the two roads by which text leaves the host.
#pragma once

#include <functional>
#include <string>

#include "host/plugin_host.h"

namespace qv {

// Script thread: creates the record's sandboxed state with its libraries and
// the host table; false when the state cannot be made.
bool CreateScriptEnvironment(PluginHost& host, PluginRecord& record);
// Closes one plugin's state for good (its host functions do nothing from then on).
void CloseScriptState(PluginRecord& record);
void CloseAllPlugins(PluginHost& host);

// Owning thread: runs job on the host's script thread (see ScriptCalls::Run),
// with the host's actions around it.
[[nodiscard]] CallOutcome RunOnScriptThread(PluginHost& host, const std::function<void()>& job);

// Text for the log of the load pass; a line end is added when missing.
void AppendLog(PluginHost& host, const std::wstring& text);
// Text for the console: collected while loading, queued in order with clears
// during a call, handed to onOutput otherwise.
void EmitOutput(PluginHost& host, const std::wstring& text);
void EmitClear(PluginHost& host);
std::wstring TakePendingLog(PluginHost& host);
// Returns reloadRequested and clears it.
bool TakeReloadRequest(PluginHost& host);

}  // namespace qv
