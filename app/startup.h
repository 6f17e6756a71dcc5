// The program's run from process start to exit: DPI awareness, the single
// instance, the first load pass and the basic.lua gate, brushes, window
// classes, the main window, the message loop and shutdown.
#pragma once

#include <windows.h>

namespace qv {

// The whole run; returns the process exit code.
int RunProgram(HINSTANCE instance, int showCommand);

}  // namespace qv
