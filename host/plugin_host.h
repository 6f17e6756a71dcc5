// The plugin host: one sandboxed Lua state per plugin script, the command
// table, the lists that scripts and windows read, and the actions that the
// console lends it. It works without any window: the actions are callables.
// What each part of the host does is declared beside it: script_env.h (states,
// output), loading.h, commands.h, execute.h, complete.h, timer_calls.h,
// enable_state.h, cut_off.h, error_hints.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/lua/script_thread.h"
#include "host/timers.h"
#include "sysinfo/system_info.h"

struct lua_State;

namespace qv {

struct PluginHost;
struct StateContext;

// Host-side memory held for one plugin.
inline constexpr std::size_t kCommandsPerPluginLimit = 200;
inline constexpr std::size_t kMenuItemsPerPluginLimit = 50;
inline constexpr std::size_t kNameLengthLimit = 64;        // command names, in UTF-8 bytes
inline constexpr std::size_t kTextLengthLimit = 4096;      // help texts, labels, menu commands
inline constexpr std::size_t kPrintedTextLimit = 200000;   // UTF-16 units kept of one print
inline constexpr std::size_t kPendingLogLimit = 1000000;   // UTF-16 units collected per load pass

struct PluginRecord {
  PluginRecord();
  ~PluginRecord();
  lua_State* luaState = nullptr;
  PluginHost* host = nullptr;
  std::wstring path;
  bool loadFailed = false;
  bool disabled = false;
  // Cut off: a call into this plugin did not return in time. Its state is
  // never touched again (see AbandonStuckCall).
  bool notResponding = false;
  // What the state's allocator, hook and host functions share; lives as long
  // as the state (and is left alive with a state that is never closed).
  std::unique_ptr<StateContext> context;
};

struct CommandEntry {
  std::wstring key;  // ToLower(name), never empty
  std::wstring name;
  std::wstring help;
  std::wstring pluginPath;
  int functionRef = 0;  // reference in the owner's Lua registry
  PluginRecord* owner = nullptr;
  int completeRef = 0;  // the definition's complete function, 0 for none
};

struct CommandSummary {
  std::wstring name;
  std::wstring help;
  std::wstring plugin;
};

struct PluginSummary {
  std::wstring name;
  std::wstring path;
  std::int32_t commands = 0;
  bool ok = true;
  bool enabled = true;
};

struct MenuItem {
  std::wstring label;
  std::wstring command;
  std::wstring plugin;
};

struct EnableSnapshotEntry {
  std::wstring fileName;
  bool wasDisabled = false;
};

struct PluginHost {
  PluginHost();
  PluginHost(const PluginHost&) = delete;
  PluginHost& operator=(const PluginHost&) = delete;
  ~PluginHost();

  // Only the owning thread touches these.
  std::wstring pluginsDir;
  std::vector<std::unique_ptr<PluginRecord>> plugins;
  bool basicLoaded = false;
  bool loading = true;
  std::vector<EnableSnapshotEntry> enableSnapshot;

  // A call on the script thread may change these, but only outside Lua or
  // inside WithHostData (host functions reach them through WithHost), while
  // the owning thread waits for the call.
  std::vector<CommandEntry> commands;
  std::vector<CommandSummary> commandList;
  std::vector<PluginSummary> pluginList;
  std::vector<MenuItem> menuItems;
  // The plugins' timers (their functions live in the owners' states) and how
  // many notifications each plugin showed lately.
  TimerSchedule timers;
  NotificationRate notifications;
  bool reloadRequested = false;
  bool skipLoadingRequested = false;
  std::wstring pendingLog;
  bool pendingLogCut = false;  // the load pass's text reached kPendingLogLimit

  // The owning thread's actions. Text and clears reach them in order, on the
  // owning thread; host functions ask for the others through RunHostAction.
  std::function<void(const std::wstring&)> onOutput;
  std::function<void()> onClear;
  std::function<SystemInfo()> onSystemInfo;
  std::function<void()> onExit;
  std::function<void()> onOpenPluginManager;
  // Desktop actions of host.clipboard and host.open: true on success.
  std::function<bool(const std::wstring& text)> onSetClipboard;
  std::function<std::optional<std::wstring>()> onGetClipboard;
  std::function<bool(const std::wstring& target, bool folder)> onOpen;
  // host.notify: shows a notification; true when it was shown.
  std::function<bool(const std::wstring& title, const std::wstring& text)> onNotify;

  // Every call into Lua runs on the script thread while the thread that owns
  // the host (the window thread) waits. These three run on the owning thread:
  // before a call is handed over, repeatedly while it runs (the console pumps
  // its window messages there), and after it has ended or was cut off.
  std::function<void()> onCallBegin;
  std::function<void()> onCallWait;
  std::function<void()> onCallEnd;
  // Called with every new plugin state before its script runs (tests add
  // native functions here).
  std::function<void(lua_State*)> onStateCreated;
  // The script thread, and whether a call is running on it.
  ScriptCalls calls;
};

}  // namespace qv
