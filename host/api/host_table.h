// The host functions that came after the first interface: the store, files in
// the data folder, the clipboard, opening addresses and folders, a clock, and
// warn() in the log. Arguments of the wrong kind raise; limits and failures of
// the file system or the desktop return nil and a Chinese reason.
#pragma once

#include <cstddef>
#include <string_view>

struct lua_State;

namespace qv {

// Largest clipboard text that host.clipboard sets or returns, in UTF-8 bytes.
inline constexpr std::size_t kMaxClipboardTextBytes = 1024 * 1024;
// Longest target host.open accepts, in UTF-16 code units.
inline constexpr std::size_t kMaxOpenTargetLength = 2048;
// Most addresses and folders that host.open opens during one call into a plugin.
inline constexpr int kMaxOpensPerCall = 5;
// Longest warning kept for the log, in UTF-8 bytes; the rest is cut off.
inline constexpr std::size_t kMaxWarningBytes = 4096;

// Adds the fields after the first interface's to the host table on top of the
// stack, and registers the table (and host.store) as loaded modules so that
// argument errors of functions called without a name read 'host.menu' rather
// than '?'. [-0, +0]
void AddCapabilities(lua_State* L);
// Routes warn() of a state made by NewCountedState to the log: one line per
// complete warning, off until "@on", as Lua's own warning function does.
void InstallWarningHandler(lua_State* L);

// What host.open may open: an http, https or mailto address, or an absolute
// path on a drive that may name a folder (whether it does is checked apart).
enum class OpenTarget { Refused, Address, Folder };
OpenTarget ClassifyOpenTarget(std::wstring_view target);

// The host.store table (get, set, keys over one cached document). [-0, +1]
void PushStoreTable(lua_State* L);

int HostReadFile(lua_State* L);
int HostWriteFile(lua_State* L);
int HostListFiles(lua_State* L);
int HostClipboard(lua_State* L);
int HostOpen(lua_State* L);
int HostClock(lua_State* L);

}  // namespace qv
