// The plugin host: one sandboxed Lua state per plugin script, the command
// table, the lists that scripts and windows read, and the five actions that the
// console lends it. It works without any window: the actions are callables.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sysinfo/system_info.h"

struct lua_State;

namespace qv {

struct PluginHost;

struct PluginRecord {
  lua_State* luaState = nullptr;
  PluginHost* host = nullptr;
  std::wstring path;
  // GetTickCount64 value after which the running call is interrupted; 0 while
  // no time-limited call runs in this state.
  std::uint64_t deadline = 0;
  bool loadFailed = false;
  bool disabled = false;
  // Set (by the time-limit watchdog) once the running call's deadline has
  // passed: from then on every instruction raises the time-limit error again
  // until that call returns, so a script cannot swallow it with pcall.
  std::atomic<bool> timedOut{false};
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
  PluginHost() = default;
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
  bool reloadRequested = false;
  bool basicLoaded = false;
  bool skipLoadingRequested = false;
  std::wstring pendingLog;
  bool loading = true;
  std::vector<EnableSnapshotEntry> enableSnapshot;
  // Called after every call into script code returns; the console uses it to
  // show output that it collected while the call ran.
  std::function<void()> onScriptCallEnd;
  // Depth of calls into script code currently running (any plugin).
  int scriptCallDepth = 0;
};

// Returns reloadRequested and clears it.
bool TakeReloadRequest(PluginHost& host);

// ---- Script environment -------------------------------------------------
bool CreateScriptEnvironment(PluginHost& host, PluginRecord& record);
int ErrorMessageHandler(lua_State* L);
int CallWithTimeLimit(PluginRecord& record, int nargs, int nresults, int handler);
void CloseAllPlugins(PluginHost& host);
void AppendLog(PluginHost& host, const std::wstring& text);
void EmitOutput(PluginHost& host, const std::wstring& text);
std::wstring TakePendingLog(PluginHost& host);

// Number of time-limited calls currently armed in the watchdog (all states).
int ArmedTimeLimitCount();

// Time limit of every call into script code, in milliseconds.
inline constexpr std::uint64_t kScriptTimeLimitMs = 5000;
inline constexpr const char* kTimeLimitMessage = "脚本执行超过 5 秒，已中断（可能存在死循环）";

// ---- Loading --------------------------------------------------------------
void LoadPlugins(PluginHost& host);
bool LoadScript(PluginHost& host, PluginRecord& record);
// Names listed in a disabled file's content, by the reader's line rules.
std::vector<std::wstring> ParseDisabledList(const std::string& content);

// ---- Commands ---------------------------------------------------------------
void RegisterCommand(PluginHost& host, PluginRecord& record, const std::wstring& name, const std::wstring& help,
                     int functionRef);
const CommandEntry* FindCommand(const PluginHost& host, const std::wstring& name);
bool HasCommand(const PluginHost& host, const std::wstring& name);
PluginRecord* FindPlugin(const PluginHost& host, const std::wstring& fileName);
void ExecuteCommand(PluginHost& host, const std::wstring& word, const std::wstring& text);
void RunCommand(PluginHost& host, const CommandEntry& entry, const std::wstring& text);
std::vector<std::wstring> SplitArguments(const std::wstring& text);

// ---- Display lists ------------------------------------------------------------
void RebuildSummaries(PluginHost& host);

// ---- Enable state -------------------------------------------------------------
std::wstring DisabledListPath(const PluginHost& host);
bool SaveDisabledList(PluginHost& host);
void UnloadPlugin(PluginHost& host, PluginRecord& record);
bool SetPluginEnabled(PluginHost& host, const std::wstring& name, bool enable);
bool SetPluginEnabledAndSave(PluginHost& host, const std::wstring& name, bool enable);
void TakeEnableSnapshot(PluginHost& host);
void RevertToEnableSnapshot(PluginHost& host);

}  // namespace qv
