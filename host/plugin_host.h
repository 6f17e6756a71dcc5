// The plugin host: one sandboxed Lua state per plugin script, the command
// table, the lists that scripts and windows read, and the five actions that the
// console lends it. It works without any window: the actions are callables.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sysinfo/system_info.h"

struct lua_State;

namespace qv {

struct PluginHost;
struct StateContext;
class ScriptThread;

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

  std::wstring pluginsDir;
  std::vector<std::unique_ptr<PluginRecord>> plugins;
  std::vector<CommandEntry> commands;
  std::vector<CommandSummary> commandList;
  std::vector<PluginSummary> pluginList;
  std::vector<MenuItem> menuItems;
  std::function<void(const std::wstring&)> onOutput;
  std::function<void()> onClear;
  std::function<SystemInfo()> onSystemInfo;
  std::function<void()> onExit;
  std::function<void()> onOpenPluginManager;
  // Desktop actions of host.clipboard and host.open: true on success.
  std::function<bool(const std::wstring& text)> onSetClipboard;
  std::function<std::optional<std::wstring>()> onGetClipboard;
  std::function<bool(const std::wstring& target, bool folder)> onOpen;
  bool reloadRequested = false;
  bool basicLoaded = false;
  bool skipLoadingRequested = false;
  std::wstring pendingLog;
  bool pendingLogCut = false;  // the load pass's text reached kPendingLogLimit
  bool loading = true;
  std::vector<EnableSnapshotEntry> enableSnapshot;

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
  std::unique_ptr<ScriptThread> scriptThread;
  bool callRunning = false;
};

// Returns reloadRequested and clears it.
bool TakeReloadRequest(PluginHost& host);

// ---- Script environment -------------------------------------------------
bool CreateScriptEnvironment(PluginHost& host, PluginRecord& record);
int ErrorMessageHandler(lua_State* L);
// Runs the function below nargs arguments on the stack with the time limit.
// Returns the Lua status, or kCallAbandoned when the owning thread gave up on
// this call meanwhile: the caller must then return at once, touching nothing.
int CallWithTimeLimit(PluginRecord& record, int nargs, int nresults, int handler);
inline constexpr int kCallAbandoned = -1;
// Closes one plugin's state for good (its host functions do nothing from then on).
void CloseScriptState(PluginRecord& record);
void CloseAllPlugins(PluginHost& host);
// Lets go of a state that a call the owner gave up on may still run in: it is
// never touched again, and its memory stays until the process ends.
void LeaveStateBehind(PluginRecord& record);
// A plugin whose call did not return: its state is left behind, its commands
// and menu entries removed, and it counts as failed until the next load pass.
void CutOffPlugin(PluginHost& host, PluginRecord& record);
// Removes the record's commands and menu entries from the host's lists.
void ForgetRegistrations(PluginHost& host, const PluginRecord& record);
void AppendLog(PluginHost& host, const std::wstring& text);
void EmitOutput(PluginHost& host, const std::wstring& text);
void EmitClear(PluginHost& host);
std::wstring TakePendingLog(PluginHost& host);

// Number of time-limited calls currently armed in the watchdog (all states).
int ArmedTimeLimitCount();
// Interrupts the call running on the script thread as if the user stopped it.
// Owning thread only; false when no call runs.
bool StopRunningCall(PluginHost& host);

// Time limit of every call into script code, in milliseconds.
inline constexpr std::uint64_t kScriptTimeLimitMs = 5000;
// How long past its deadline a call that no hook reaches is waited for.
inline constexpr std::uint64_t kStuckCallGraceMs = 2000;
inline constexpr const char* kTimeLimitMessage = "脚本执行超过 5 秒，已中断（可能存在死循环）";
inline constexpr const char* kStoppedMessage = "已按 Esc 停止这条命令";
// Most bytes one plugin's Lua state may hold.
inline constexpr std::size_t kStateMemoryLimit = std::size_t{256} << 20;
// Host-side memory held for one plugin.
inline constexpr std::size_t kCommandsPerPluginLimit = 200;
inline constexpr std::size_t kMenuItemsPerPluginLimit = 50;
inline constexpr std::size_t kNameLengthLimit = 64;        // command names, in UTF-8 bytes
inline constexpr std::size_t kTextLengthLimit = 4096;      // help texts, labels, menu commands
inline constexpr std::size_t kPrintedTextLimit = 200000;   // UTF-16 units kept of one print
inline constexpr std::size_t kErrorTextLimit = 65536;      // UTF-8 bytes kept of one error's text
inline constexpr std::size_t kPendingLogLimit = 1000000;   // UTF-16 units collected per load pass

// ---- Loading --------------------------------------------------------------
// The script that provides the ordinary commands: loaded first, never
// disabled, and the program does not start without it.
inline constexpr wchar_t kBasicScript[] = L"basic.lua";
// Whether a path or file name names kBasicScript, in any case.
bool IsBasicScript(const std::wstring& path);
void LoadPlugins(PluginHost& host);
// Script thread: compiles and runs the record's script in its state.
bool LoadScript(PluginHost& host, PluginRecord& record);
enum class LoadOutcome { kLoaded, kFailed, kNoState };
// Owning thread: creates the record's state and loads its script on the
// script thread; a load that gets stuck cuts the plugin off.
LoadOutcome LoadOnScriptThread(PluginHost& host, PluginRecord& record);
// Names listed in a disabled file's content, by the reader's line rules.
std::vector<std::wstring> ParseDisabledList(const std::string& content);

// ---- Commands ---------------------------------------------------------------
enum class Registration { kAdded, kRefused, kFull };
// Adds a command to the host's table (host data only, no Lua): kRefused for an
// empty or taken name (with a log line), kFull past kCommandsPerPluginLimit.
// The caller releases functionRef unless the command was added.
[[nodiscard]] Registration RegisterCommand(PluginHost& host, PluginRecord& record, const std::wstring& name,
                                           const std::wstring& help, int functionRef);
const CommandEntry* FindCommand(const PluginHost& host, const std::wstring& name);
bool HasCommand(const PluginHost& host, const std::wstring& name);
PluginRecord* FindPlugin(const PluginHost& host, const std::wstring& fileName);
void ExecuteCommand(PluginHost& host, const std::wstring& word, const std::wstring& text);
void RunCommand(PluginHost& host, const CommandEntry& entry, const std::wstring& text);
std::vector<std::wstring> SplitArguments(const std::wstring& text);

// ---- Display lists ------------------------------------------------------------
void RebuildSummaries(PluginHost& host);

// ---- Enable state -------------------------------------------------------------
// plugin-manager\disabled.txt in the plugins folder.
std::wstring DisabledListPath(const std::wstring& pluginsDir);
std::wstring DisabledListPath(const PluginHost& host);
bool SaveDisabledList(PluginHost& host);
void UnloadPlugin(PluginHost& host, PluginRecord& record);
bool SetPluginEnabled(PluginHost& host, const std::wstring& name, bool enable);
bool SetPluginEnabledAndSave(PluginHost& host, const std::wstring& name, bool enable);
void TakeEnableSnapshot(PluginHost& host);
void RevertToEnableSnapshot(PluginHost& host);

}  // namespace qv
