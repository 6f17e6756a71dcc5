// Switching single plugins on and off, the saved disabled list, and the
// snapshot that the plugin manager reverts to.
#include <windows.h>

#include <algorithm>

#include "app/handles.h"
#include "app/text.h"
#include "host/lua_glue.h"
#include "host/plugin_host.h"
#include "host/script_thread.h"

namespace qv {

namespace {

// The plugin manager's own folder, below the plugins folder.
constexpr wchar_t kManagerFolder[] = L"\\plugin-manager";

// Writes the whole content to a temporary file beside the target and only then
// replaces the target, so a failure at any point leaves the old file intact.
bool ReplaceFileContent(const std::wstring& target, const std::string& content) {
  const std::wstring temporary = target + L".tmp";
  {
    UniqueHandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    const bool ok = content.empty() || (WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()),
                                                  &written, nullptr) &&
                                        written == content.size());
    if (!ok || !FlushFileBuffers(file.get())) {
      file.reset();
      DeleteFileW(temporary.c_str());
      return false;
    }
  }
  if (!MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileW(temporary.c_str());
    return false;
  }
  return true;
}

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
  return ReplaceFileContent(DisabledListPath(host), content);
}

void UnloadPlugin(PluginHost& host, PluginRecord& record) {
  // The state is closed first (its references go with it), and only then are
  // the lists emptied of what it registered.
  if (record.luaState && RunOnScriptThread(host, [&] { CloseScriptState(record); }) == CallOutcome::kAbandoned) {
    LeaveStateBehind(record);
  }
  std::erase_if(host.commands, [&](const CommandEntry& entry) { return entry.owner == &record; });
  const std::wstring fileName = FileNameOf(record.path);
  std::erase_if(host.menuItems, [&](const MenuItem& item) { return item.plugin == fileName; });
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
