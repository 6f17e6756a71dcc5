// host.clipboard and host.open. The clipboard and the shell are reached only
// through the host's actions, which run on the owning (window) thread; these
// functions check arguments and rules and turn the outcome into Lua values.
#include <windows.h>

#include "base/text.h"
#include "host/api/host_api.h"
#include "host/lua/arguments.h"
#include "host/api/host_link.h"
#include "host/lua/state_context.h"
#include "host/lua/script_thread.h"
#include "host/lua/sandbox.h"

namespace qv {

namespace {

bool IsFolderPath(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

OpenTarget ClassifyOpenTarget(std::wstring_view target) {
  if (target.empty() || target.size() > kMaxOpenTargetLength) return OpenTarget::Refused;
  for (const wchar_t c : target) {
    if (c < 0x20 || c == 0x7F || c == L'"') return OpenTarget::Refused;
  }
  for (const std::wstring_view scheme : {L"http://", L"https://", L"mailto:"}) {
    if (!StartsWithNoCase(target, scheme)) continue;
    const bool hasRest = target.size() > scheme.size();
    const bool blank = target.find_first_of(L" \u3000") != std::wstring_view::npos;
    return hasRest && !blank ? OpenTarget::Address : OpenTarget::Refused;
  }
  // A folder: "X:\..." on a drive; no other colon (streams), no wildcards.
  const wchar_t letter = target.size() >= 3 ? static_cast<wchar_t>(target[0] | 0x20) : 0;
  const bool drive = letter >= L'a' && letter <= L'z' && target[1] == L':' && (target[2] == L'\\' || target[2] == L'/');
  if (!drive || target.find_first_of(L":<>|?*", 2) != std::wstring_view::npos) return OpenTarget::Refused;
  return OpenTarget::Folder;
}

namespace {

int GetClipboard(lua_State* L) {
  std::optional<std::wstring> text;
  RunHostAction(L, [&](PluginHost& host) {
    if (host.onGetClipboard) text = host.onGetClipboard();
  });
  if (!text) return PushFailure(L, L"剪贴板里没有文字");
  const std::string bytes = WideToUtf8(*text);
  if (bytes.size() > kMaxClipboardTextBytes) {
    return PushFailure(L, L"剪贴板里的文字超过 " + DecimalText(kMaxClipboardTextBytes) + L" 字节，未读取");
  }
  lua_pushlstring(L, bytes.data(), bytes.size());
  return 1;
}

int HostClipboard(lua_State* L) {
  if (lua_isnone(L, 1)) return GetClipboard(L);
  size_t length = 0;
  const char* bytes = luaL_checklstring(L, 1, &length);
  const std::string_view text(bytes, length);
  if (!IsValidUtf8(text)) luaL_argerror(L, 1, "文字不是有效的 UTF-8 文本");
  if (length > kMaxClipboardTextBytes) {
    return PushFailure(L, L"放进剪贴板的文字不能超过 " + DecimalText(kMaxClipboardTextBytes) + L" 字节");
  }
  // The clipboard's text ends at its first zero character: refuse rather than keep half.
  if (text.find('\0') != std::string_view::npos) return PushFailure(L, L"剪贴板不能放入含有零字符（\\0）的文字");
  const std::wstring wide = Utf8ToWide(text);
  bool done = false;
  RunHostAction(L, [&](PluginHost& host) { done = host.onSetClipboard && host.onSetClipboard(wide); });
  if (!done) return PushFailure(L, L"无法写入剪贴板（可能正被其他程序占用）");
  lua_pushboolean(L, 1);
  return 1;
}

int HostOpen(lua_State* L) {
  const std::wstring target = CheckText(L, 1);
  const OpenTarget kind = ClassifyOpenTarget(target);
  if (kind == OpenTarget::Refused) {
    return PushFailure(L, L"只能打开 http、https、mailto 地址或已有的文件夹（完整路径）");
  }
  if (kind == OpenTarget::Folder && !IsFolderPath(target)) return PushFailure(L, L"文件夹不存在：" + target);
  // Each open starts a process: a loop must not start hundreds of them.
  StateContext* context = ContextOf(L);
  if (context != nullptr && ++context->opensThisCall > kMaxOpensPerCall) {
    return PushFailure(L, L"一次调用最多打开 " + DecimalText(static_cast<long long>(kMaxOpensPerCall)) +
                              L" 个地址或文件夹");
  }
  bool done = false;
  RunHostAction(L, [&](PluginHost& host) { done = host.onOpen && host.onOpen(target, kind == OpenTarget::Folder); });
  if (!done) return PushFailure(L, L"无法打开：" + target);
  lua_pushboolean(L, 1);
  return 1;
}

}  // namespace

void InstallDesktopFunctions(lua_State* L) {
  const luaL_Reg functions[] = {{"clipboard", HostClipboard}, {"open", HostOpen}, {nullptr, nullptr}};
  luaL_setfuncs(L, functions, 0);
}

}  // namespace qv
