// The one way the program starts a thread: a thread of the C++ runtime (so the
// runtime's per-thread state is set up for it), let go of at once. Whoever
// must wait for its end or suspend it asks for its Win32 handle.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>

#include "base/handles.h"

namespace qv {

struct StartedThread {
  UniqueHandle handle;  // null unless asked for
  DWORD id = 0;
};

// Starts work on a new thread that ends by itself, with a handle of the given
// access rights (none for 0); nothing when no thread could start.
std::optional<StartedThread> StartThread(std::function<void()> work, DWORD access = 0);

}  // namespace qv
