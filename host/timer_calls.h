// Running the plugins' timers.
#pragma once

#include "host/plugin_host.h"

namespace qv {

// Owning thread: runs the earliest due timer like a command (on the script
// thread, with the time limit); a run that fails is reported and its timer
// cancelled. False when none is due, or a call or a load pass is running.
bool RunDueTimer(PluginHost& host);

}  // namespace qv
