// The host table that every plugin sees as `host`. Each file of host/api holds
// one group of its functions and ends in one luaL_Reg table and the one
// function below that adds that table to the host table on top of the stack
// ([-0, +0]). Arguments of the wrong kind raise through luaL_argerror; limits,
// refusals and failures of the system return nil and a Chinese reason.
#pragma once

#include <cstddef>
#include <string_view>

struct lua_State;

namespace qv {

// The whole table, each group added in turn, and named among the loaded
// modules ("host", "host.store") so that argument errors of a function called
// without a name in code read 'host.menu' rather than '?'. [-0, +1]
void PushHostTable(lua_State* L);

// control.cpp: print, register, clear, exit, reload, skip_loading,
// plugin_manager, commands, plugins, directory, data_dir, source.
void InstallControlFunctions(lua_State* L);
// Routes warn() of a state made by NewCountedState to the log: one line per
// complete warning, off until "@on", as Lua's own warning function does.
void InstallWarningHandler(lua_State* L);
// Longest warning kept for the log, in UTF-8 bytes; the rest is cut off.
inline constexpr std::size_t kMaxWarningBytes = 4096;

// system_facts.cpp: time, date, system, clock.
void InstallSystemFacts(lua_State* L);

// files.cpp: read_file, write_file, list_files in the plugin's data folder.
void InstallFileFunctions(lua_State* L);

// desktop.cpp: clipboard, open.
void InstallDesktopFunctions(lua_State* L);
// Largest clipboard text that host.clipboard sets or returns, in UTF-8 bytes.
inline constexpr std::size_t kMaxClipboardTextBytes = 1024 * 1024;
// Longest target host.open accepts, in UTF-16 code units.
inline constexpr std::size_t kMaxOpenTargetLength = 2048;
// Most addresses and folders that host.open opens during one call into a plugin.
inline constexpr int kMaxOpensPerCall = 5;
// What host.open may open: an http, https or mailto address, or an absolute
// path on a drive that may name a folder (whether it does is checked apart).
enum class OpenTarget { Refused, Address, Folder };
OpenTarget ClassifyOpenTarget(std::wstring_view target);

// store.cpp: store (get, set, keys over one cached document).
void InstallStoreTable(lua_State* L);

// menu.cpp: menu, menu_remove.
void InstallMenuFunctions(lua_State* L);

// timers.cpp: after, every, cancel.
void InstallTimerFunctions(lua_State* L);

// notify.cpp: notify.
void InstallNotifyFunction(lua_State* L);

}  // namespace qv
