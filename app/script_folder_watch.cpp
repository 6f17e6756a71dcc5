#include "app/script_folder_watch.h"

#include <nlohmann/json.hpp>

#include <cstddef>

#include "base/text.h"
#include "base/threads.h"

namespace qv {

bool IsPluginScriptName(std::wstring_view name) {
  if (name.size() <= 4 || name.find_first_of(L"\\/") != std::wstring_view::npos) return false;
  return ToLower(name.substr(name.size() - 4)) == L".lua";
}

std::wstring ReloadNoticeText(const std::vector<std::wstring>& changedNames) {
  std::vector<std::wstring> distinct;
  for (const std::wstring& name : changedNames) {
    if (name.empty()) continue;  // a change the system could not name
    std::erase_if(distinct, [&](const std::wstring& seen) { return ToLower(seen) == ToLower(name); });
    distinct.push_back(name);
  }
  if (distinct.empty()) return L"[插件] 插件文件夹有改动，自动重新加载。";
  std::wstring text = L"[插件] " + distinct.back() + L" ";
  if (distinct.size() > 1) text += L"等 " + DecimalText(static_cast<long long>(distinct.size())) + L" 个脚本";
  return text + L"有改动，自动重新加载。";
}

bool ReloadOnSaveSetting(std::string_view settingsText) {
  const nlohmann::json settings = nlohmann::json::parse(settingsText, nullptr, false);
  if (!settings.is_object()) return true;
  const auto found = settings.find("reload_on_save");
  return found == settings.end() || !found->is_boolean() || found->get<bool>();
}

ScriptFolderWatch::ScriptFolderWatch(const std::wstring& folder, HWND window, UINT message) {
  directory_.reset(CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr));
  if (!directory_ || !stop_ || !ready_) return;
  std::optional<StartedThread> started = StartThread([this, window, message] { Run(window, message); }, SYNCHRONIZE);
  if (!started) return;
  thread_ = std::move(started->handle);
  // The first read is issued before the constructor returns, so a change made
  // right after start-up is seen.
  WaitForSingleObject(ready_.get(), INFINITE);
}

ScriptFolderWatch::~ScriptFolderWatch() {
  if (!thread_) return;
  SetEvent(stop_.get());
  WaitForSingleObject(thread_.get(), INFINITE);
}

std::vector<std::wstring> ScriptFolderWatch::TakeNames() {
  std::lock_guard lock(mutex_);
  return std::exchange(names_, {});
}

void ScriptFolderWatch::Run(HWND window, UINT message) {
  const UniqueHandle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  alignas(DWORD) std::byte buffer[32 * 1024];
  constexpr DWORD kFilter = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE;
  for (bool first = true;; first = false) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = done.get();
    ResetEvent(done.get());
    const bool issued = done && ReadDirectoryChangesW(directory_.get(), buffer, sizeof(buffer), FALSE, kFilter,
                                                      nullptr, &overlapped, nullptr);
    if (first) SetEvent(ready_.get());
    if (!issued) return;
    const HANDLE waits[] = {done.get(), stop_.get()};
    DWORD bytes = 0;
    if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
      CancelIoEx(directory_.get(), &overlapped);
      GetOverlappedResult(directory_.get(), &overlapped, &bytes, TRUE);
      return;
    }
    if (!GetOverlappedResult(directory_.get(), &overlapped, &bytes, FALSE)) return;
    std::vector<std::wstring> found;
    if (bytes == 0) found.emplace_back();  // too many changes to list: the folder changed
    for (DWORD offset = 0; bytes != 0;) {
      const auto* entry = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(buffer + offset);
      const std::wstring name(entry->FileName, entry->FileNameLength / sizeof(wchar_t));
      if (IsPluginScriptName(name)) found.push_back(name);
      if (entry->NextEntryOffset == 0) break;
      offset += entry->NextEntryOffset;
    }
    if (found.empty()) continue;
    {
      std::lock_guard lock(mutex_);
      for (std::wstring& name : found) names_.push_back(std::move(name));
    }
    PostMessageW(window, message, 0, 0);
  }
}

}  // namespace qv
