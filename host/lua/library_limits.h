// Bounded library calls: a plugin cannot make one library call run for
// minutes inside C. The string and table libraries are built from copies whose
// long loops call RaiseIfInterrupted every so many steps (cmake/lua-limits/),
// so they stop at the call's deadline; the few functions whose cost does not
// come from such a loop are wrapped here. Ordinary arguments give Lua's results.
#pragma once

struct lua_State;

namespace qv {

// Connects the libraries' interrupt hook to the time limit and wraps the
// functions named in library_limits.cpp. Call once on a new plugin state,
// after its standard libraries are open. [-0, +0]
void InstallLibraryLimits(lua_State* L);

}  // namespace qv
