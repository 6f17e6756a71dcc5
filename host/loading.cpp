// A load pass over the plugin folder, and loading one script into its state.
#include "host/loading.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <optional>

#include "base/files.h"
#include "base/handles.h"
#include "base/text.h"
#include "host/commands.h"
#include "host/cut_off.h"
#include "host/enable_state.h"
#include "host/error_hints.h"
#include "host/lua/error_message.h"
#include "host/lua/interruption.h"
#include "host/lua/script_thread.h"
#include "host/script_env.h"
#include "lauxlib.h"
#include "lua.h"

namespace qv {

namespace {

std::vector<std::wstring> ScanScripts(const std::wstring& folder) {
  std::vector<std::wstring> paths;
  WIN32_FIND_DATAW entry{};
  const UniqueFind find(FindFirstFileW((folder + L"\\*.lua").c_str(), &entry));
  if (!find) return paths;
  do {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) paths.push_back(folder + L"\\" + entry.cFileName);
  } while (FindNextFileW(find.get(), &entry));
  // std::wstring compares code unit by code unit: ordinal and case-sensitive.
  std::sort(paths.begin(), paths.end());
  return paths;
}

// Script text read ahead of one call onto the script thread, at most (and one
// file more): reading on the owning thread while the script thread waits is
// cheaper under Wine, whose server every file open goes through.
constexpr std::size_t kTextsPerCall = std::size_t{8} << 20;

std::optional<std::string> ReadScript(const std::wstring& path) {
  std::string content;
  if (!ReadWholeFile(path, content)) return std::nullopt;
  return content;
}

// Script thread: makes the record's state and runs its script.
LoadOutcome LoadInto(PluginHost& host, PluginRecord& record, std::optional<std::string> content) {
  if (!CreateScriptEnvironment(host, record)) return LoadOutcome::kNoState;
  return LoadScriptText(host, record, std::move(content)) ? LoadOutcome::kLoaded : LoadOutcome::kFailed;
}

void ReportStuckLoad(PluginHost& host, const PluginRecord& record) {
  AppendLog(host, L"[插件] " + FileNameOf(record.path) + L" 加载失败：没有响应（卡在原生代码中），已放弃等待。");
}

// Owning thread: loads the records in order, in as few calls onto the script
// thread as the texts allow: the owner reads up to kTextsPerCall bytes of
// scripts, and one call makes their states and runs them. One that gets
// stuck is cut off and the rest go on in a new call.
std::vector<LoadOutcome> LoadAll(PluginHost& host, const std::vector<PluginRecord*>& records) {
  std::vector<LoadOutcome> outcomes(records.size(), LoadOutcome::kNoState);
  std::vector<std::optional<std::string>> texts(records.size());
  std::size_t next = 0;  // the first record not yet loaded
  std::size_t read = 0;  // the first record whose text is not yet read
  while (next < records.size()) {
    std::size_t end = next;
    for (std::size_t bytes = 0; end < records.size() && bytes < kTextsPerCall; ++end) {
      // After a stuck load the texts already read but not yet loaded are kept.
      if (end == read) texts[read++] = ReadScript(records[end]->path);
      if (texts[end]) bytes += texts[end]->size();
    }
    PluginRecord* running = records[next];
    const CallOutcome call = CallIntoPlugin(host, running, [&] {
      for (; next < end; ++next) {
        running = records[next];
        const LoadOutcome outcome = LoadInto(host, *running, std::move(texts[next]));
        // A load the owner gave up on touches nothing more.
        if (ScriptThreadAbandoned()) return;
        outcomes[next] = outcome;
      }
    });
    if (call == CallOutcome::kRefused) break;  // the rest stay kNoState
    if (call == CallOutcome::kAbandoned) {
      ReportStuckLoad(host, *running);
      outcomes[next++] = LoadOutcome::kFailed;
    }
  }
  return outcomes;
}

}  // namespace

bool IsBasicScript(const std::wstring& path) { return ToLower(FileNameOf(path)) == kBasicScript; }

std::vector<std::wstring> ParseDisabledList(const std::string& content) {
  std::vector<std::wstring> names;
  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    std::string_view line(content.data() + start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!line.empty()) names.push_back(Utf8ToWide(line));
    start = end + 1;
  }
  return names;
}

bool LoadScript(PluginHost& host, PluginRecord& record) {
  return LoadScriptText(host, record, ReadScript(record.path));
}

bool LoadScriptText(PluginHost& host, PluginRecord& record, std::optional<std::string> text) {
  lua_State* L = record.luaState;
  const std::wstring name = FileNameOf(record.path);
  if (!text) {
    AppendLog(host, L"[插件] 无法读取：" + record.path);
    return false;
  }
  std::string& content = *text;
  const bool utf16 = content.compare(0, 2, "\xFF\xFE") == 0 || content.compare(0, 2, "\xFE\xFF") == 0;
  DropByteOrderMark(content);
  if (utf16) {
    AppendLog(host, L"[插件] " + name + L" 是 UTF-16 文本（文件开头有 UTF-16 的字节顺序标记），请另存为 UTF-8。");
  } else if (!IsValidUtf8(content)) {
    AppendLog(host, L"[插件] " + name + L" 不是有效的 UTF-8 文本，可能是以 GBK 保存的，请另存为 UTF-8。");
  }
  // Errors name the script by its file name: the folder is the same for all,
  // and Lua would cut a long path (a Chinese folder name into broken bytes).
  const std::string chunkName = std::string("@").append(WideToUtf8(name));
  // Compiling runs no instructions, so no hook can stop it: it is only a
  // stretch that the owner may give up on.
  lua_settop(L, 0);
  LuaStretch stretch;
  const int compiled = luaL_loadbufferx(L, content.data(), content.size(), chunkName.c_str(), "t");
  if (!stretch.Returned()) return false;
  if (compiled != LUA_OK) {
    AppendLog(host, L"[插件] " + name + L" 加载失败：" + PopErrorText(L));
    return false;
  }
  content = std::string();  // the chunk holds its own copy; free the file text now
  const int status = CallWithTimeLimit(L, 0, 0);
  if (status == kCallAbandoned) return false;
  const std::wstring error = status == LUA_OK ? std::wstring() : PopErrorText(L);
  lua_settop(L, 0);
  if (status != LUA_OK) {
    AppendLog(host, L"[插件] " + name + L" 运行出错：" + WithNewcomerHint(error));
    return false;
  }
  return true;
}

LoadOutcome LoadOnScriptThread(PluginHost& host, PluginRecord& record) {
  LoadOutcome result = LoadOutcome::kFailed;
  const CallOutcome outcome = CallIntoPlugin(host, &record, [&] {
    const LoadOutcome loaded = LoadInto(host, record, ReadScript(record.path));
    if (!ScriptThreadAbandoned()) result = loaded;
  });
  if (outcome == CallOutcome::kRefused) return LoadOutcome::kNoState;
  if (outcome == CallOutcome::kAbandoned) {
    ReportStuckLoad(host, record);
    return LoadOutcome::kFailed;
  }
  return result;
}

void LoadPlugins(PluginHost& host) {
  CloseAllPlugins(host);
  host.pendingLog.clear();
  host.pendingLogCut = false;
  host.basicLoaded = false;
  host.loading = true;
  if (host.pluginsDir.empty()) {
    host.loading = false;
    AppendLog(host, L"[插件] 未设置插件目录。");
    return;
  }
  if (GetFileAttributesW(host.pluginsDir.c_str()) == INVALID_FILE_ATTRIBUTES) {
    CreateDirectoryW(host.pluginsDir.c_str(), nullptr);
  }

  std::vector<std::wstring> scripts = ScanScripts(host.pluginsDir);
  const auto basic = std::find_if(scripts.begin(), scripts.end(), IsBasicScript);
  if (basic != scripts.end()) {
    std::rotate(scripts.begin(), basic, basic + 1);
  } else {
    AppendLog(host, L"[插件] 缺少 " + std::wstring(kBasicScript) + L"，程序无法启动。");
  }

  std::vector<std::wstring> disabledNames;
  std::string disabledContent;
  if (ReadWholeFile(DisabledListPath(host), disabledContent)) {
    for (const std::wstring& entry : ParseDisabledList(disabledContent)) disabledNames.push_back(ToLower(entry));
  }

  // Every record is listed before its script runs, so that a cut-off can find
  // its commands; one whose state could not be made is taken out again.
  int skipped = 0;
  std::vector<PluginRecord*> toLoad;
  for (const std::wstring& path : scripts) {
    auto record = std::make_unique<PluginRecord>();
    record->path = path;
    record->host = &host;
    record->disabled = !IsBasicScript(path) && std::find(disabledNames.begin(), disabledNames.end(),
                                                         ToLower(FileNameOf(path))) != disabledNames.end();
    if (record->disabled) {
      ++skipped;
    } else {
      toLoad.push_back(record.get());
    }
    host.plugins.push_back(std::move(record));
  }
  const std::vector<LoadOutcome> outcomes = LoadAll(host, toLoad);
  int loaded = 0;
  for (std::size_t i = 0; i < toLoad.size(); ++i) {
    PluginRecord& record = *toLoad[i];
    if (outcomes[i] == LoadOutcome::kNoState) {
      AppendLog(host, L"[插件] 无法创建 Lua 环境：" + FileNameOf(record.path));
      continue;
    }
    const bool ok = outcomes[i] == LoadOutcome::kLoaded;
    if (ok) ++loaded;
    else record.loadFailed = true;
    if (IsBasicScript(record.path)) host.basicLoaded = ok;
  }
  std::erase_if(host.plugins, [&](const std::unique_ptr<PluginRecord>& record) {
    const auto at = std::find(toLoad.begin(), toLoad.end(), record.get());
    return at != toLoad.end() && outcomes[at - toLoad.begin()] == LoadOutcome::kNoState;
  });

  RebuildSummaries(host);
  host.loading = false;

  if (scripts.empty()) {
    AppendLog(host, L"[插件] 未找到脚本：" + host.pluginsDir + L"\\*.lua");
    return;
  }
  AppendLog(host, L"[插件] 目录：" + host.pluginsDir);
  std::wstring summary = L"[插件] 已加载 " + DecimalText(loaded) + L"/" + DecimalText(scripts.size()) + L" 个脚本";
  if (skipped > 0) summary += L"，跳过 " + DecimalText(skipped) + L" 个已禁用";
  summary += L"，注册 " + DecimalText(host.commands.size()) + L" 条命令。";
  AppendLog(host, summary);
}

}  // namespace qv
