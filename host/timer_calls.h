// Running the plugins' timers.
#pragma once

#include "host/plugin_host.h"

namespace qv {

// Owning thread: runs the timers that are due, earliest first, each like a
// command (with the time limit), together in one call on the script thread of
// at most about kTimerBatchMs; a run that fails is reported and its timer
// cancelled. False when none is due, or a call or a load pass is running.
bool RunDueTimers(PluginHost& host);
// How long one batch of due timers goes on taking further timers.
inline constexpr int kTimerBatchMs = 50;

}  // namespace qv
