// Watching the plugin folder for scripts that are created, changed, renamed
// or deleted, on a thread of its own that waits on the system's change
// notification (no polling), and the plain rules around it.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "base/handles.h"

namespace qv {

// How long the folder must stay quiet after a change before the plugins are
// reloaded: an editor that saves through a temporary file (write, delete,
// rename) causes one reload.
inline constexpr UINT kReloadQuietMs = 500;

// A file name directly in the plugin folder that names a script (*.lua, any case).
bool IsPluginScriptName(std::wstring_view name);
// The line shown before the loading report of a reload on save, naming the
// changed script (the last one, and how many when there were several).
std::wstring ReloadNoticeText(const std::vector<std::wstring>& changedNames);
// Whether reload on save is on by the settings file's text: on unless it is a
// JSON object whose "reload_on_save" is false (a missing or broken file keeps it on).
bool ReloadOnSaveSetting(std::string_view settingsText);

class ScriptFolderWatch {
 public:
  // Watches folder; posts `message` to `window` whenever script names were
  // collected. Watches nothing when the folder cannot be opened.
  ScriptFolderWatch(const std::wstring& folder, HWND window, UINT message);
  ~ScriptFolderWatch();  // stops the thread and waits for it
  ScriptFolderWatch(const ScriptFolderWatch&) = delete;
  ScriptFolderWatch& operator=(const ScriptFolderWatch&) = delete;

  bool Watching() const { return static_cast<bool>(thread_); }
  // The script names changed since the last call, oldest first.
  std::vector<std::wstring> TakeNames();

 private:
  void Run(HWND window, UINT message);

  UniqueHandle directory_;
  UniqueHandle stop_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  UniqueHandle ready_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  std::mutex mutex_;
  std::vector<std::wstring> names_;
  UniqueHandle thread_;  // waited for when the watch ends
};

}  // namespace qv
