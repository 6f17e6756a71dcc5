// Switching single plugins on and off, the saved disabled list, and the
// snapshot that the plugin manager reverts to.
#include "host/enable_state.h"

#include <windows.h>

#include <algorithm>

#include "base/files.h"
#include "base/text.h"
#include "host/commands.h"
#include "host/cut_off.h"
#include "host/loading.h"
#include "host/script_env.h"

namespace qv {

namespace {

// The plugin manager's own folder, below the plugins folder.
constexpr wchar_t kManagerFolder[] = L"\\plugin-manager";

}  // namespace

std::wstring DisabledListPath(const std::wstring& pluginsDir) {
  return pluginsDir + kManagerFolder + L"\\disabled.txt";
}

std::wstring DisabledListPath(const PluginHost& host) { return DisabledListPath(host.pluginsDir); }

bool SaveDisabledList(PluginHost& host) {
  std::string content;
  for (const auto& record : host.plugins) {
    if (record->disabled) content += WideToUtf8(FileNameOf(record->path)) + "\r\n";
  }
  CreateDirectoryW((host.pluginsDir + kManagerFolder).c_str(), nullptr);
  const std::wstring path = DisabledListPath(host);
  return ReplaceFileContent(path, path + L".tmp", content) == 0;
}

void UnloadPlugin(PluginHost& host, PluginRecord& record) {
  // The state is closed first (its references go with it), and only then are
  // the lists emptied of what it registered.
  if (record.luaState) static_cast<void>(CallIntoPlugin(host, &record, [&] { CloseScriptState(record); }));
  ForgetRegistrations(host, record);
  record.disabled = true;
  RebuildSummaries(host);
}

bool SetPluginEnabled(PluginHost& host, const std::wstring& name, bool enable) {
  PluginRecord* record = FindPlugin(host, name);
  if (record == nullptr || record->loadFailed) return false;
  if (enable == !record->disabled) return true;
  if (!enable) {
    UnloadPlugin(host, *record);
    return true;
  }
  if (LoadOnScriptThread(host, *record) == LoadOutcome::kNoState) return false;
  record->disabled = false;
  RebuildSummaries(host);
  return true;
}

bool SetPluginEnabledAndSave(PluginHost& host, const std::wstring& name, bool enable) {
  const bool result = SetPluginEnabled(host, name, enable);
  if (result) SaveDisabledList(host);
  return result;
}

void TakeEnableSnapshot(PluginHost& host) {
  host.enableSnapshot.clear();
  for (const auto& record : host.plugins) {
    host.enableSnapshot.push_back(EnableSnapshotEntry{FileNameOf(record->path), record->disabled});
  }
}

void RevertToEnableSnapshot(PluginHost& host) {
  std::vector<EnableSnapshotEntry> snapshot = std::move(host.enableSnapshot);
  host.enableSnapshot.clear();
  for (const EnableSnapshotEntry& entry : snapshot) SetPluginEnabled(host, entry.fileName, !entry.wasDisabled);
  SaveDisabledList(host);
}

}  // namespace qv
