// Process-wide state of the running program. Used on the user-interface
// thread only; every window handle may be null.
#pragma once

#include <windows.h>

#include <memory>

#include "base/constants.h"
#include "base/dpi.h"
#include "base/handles.h"
#include "host/plugin_host.h"

namespace qv {


// The five shared brushes, made by start-up for the run.
struct Brushes {
  UniqueBrush background;  // kBackgroundColor
  UniqueBrush dim;         // kDimColor
  UniqueBrush input;       // kBackgroundColor, a brush of its own for the input line
  UniqueBrush border;      // kBorderColor
  UniqueBrush highlight;   // kHighlightColor
};

inline HINSTANCE AppInstance = nullptr;
inline int CurrentDpi = kBaseDpi;
inline std::unique_ptr<PluginHost> GlobalHost;
// Whether a call into script code is running (the console waits for it, see
// call_wait.h).
inline bool ScriptCallRunning() { return GlobalHost && GlobalHost->calls.Running(); }
// The single-instance mutex; the restart lets go of it before it starts the
// new process.
inline UniqueHandle InstanceGuard;
inline HWND MainWindow = nullptr;
inline Brushes SharedBrushes;

}  // namespace qv
