// What a call into a plugin that never returned means: the plugin is cut off.
#pragma once

#include <functional>

#include "host/plugin_host.h"

namespace qv {

// Owning thread: runs body (a call into owner's state) on the script thread.
// When the owner gives up on it, the plugin is cut off before kAbandoned is
// returned; the caller then only reports it. A body that calls several
// plugins in turn points `owner` at each before calling it.
[[nodiscard]] CallOutcome CallIntoPlugin(PluginHost& host, PluginRecord* const& owner,
                                         const std::function<void()>& body);
// Lets go of a state that a call the owner gave up on may still run in: it is
// never touched again, and its memory stays until the process ends.
void LeaveStateBehind(PluginRecord& record);
// A plugin whose call did not return: its state is left behind, its commands,
// menu entries and timers removed, and it counts as failed until the next load pass.
void CutOffPlugin(PluginHost& host, PluginRecord& record);
// Removes the record's commands, timers and menu entries from the host's lists.
void ForgetRegistrations(PluginHost& host, const PluginRecord& record);

}  // namespace qv
