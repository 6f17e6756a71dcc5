// host.notify: a notification from the program, shown by the host's action on
// the owning thread, with a bounded text and a bounded rate per plugin.
#include "base/constants.h"
#include "base/text.h"
#include "host/api/host_api.h"
#include "host/api/host_link.h"
#include "host/plugin_host.h"

namespace qv {

namespace {

// host.notify(text [, title]): true once shown, or nil and a reason. The
// title defaults to the program's name.
int HostNotify(lua_State* L) {
  const std::wstring wideText = CheckText(L, 1);
  const std::wstring wideTitle = OptText(L, 2, kProgramTitle);
  if (wideText.empty()) return PushFailure(L, L"通知的文字是空的");
  if (wideText.size() > kMaxNotifyTextLength) {
    return PushFailure(L, L"通知的文字太长：最多 " + DecimalText(kMaxNotifyTextLength) + L" 个字符");
  }
  if (wideTitle.size() > kMaxNotifyTitleLength) {
    return PushFailure(L, L"通知的标题太长：最多 " + DecimalText(kMaxNotifyTitleLength) + L" 个字符");
  }
  bool allowed = false;
  const bool reached = WithHost(L, [&](PluginHost& host, PluginRecord& record) {
    allowed = host.notifications.Allow(FileNameOf(record.path));
  });
  if (!reached) return PushFailure(L, L"没有宿主，无法显示通知");
  if (!allowed) {
    return PushFailure(L, L"通知太频繁：每个插件每分钟最多 " + DecimalText(kNotificationsPerMinute) + L" 条");
  }
  bool shown = false;
  RunHostAction(L, [&](PluginHost& host) { shown = host.onNotify && host.onNotify(wideTitle, wideText); });
  if (!shown) return PushFailure(L, L"无法显示通知");
  lua_pushboolean(L, 1);
  return 1;
}

}  // namespace

void InstallNotifyFunction(lua_State* L) {
  const luaL_Reg functions[] = {{"notify", HostNotify}, {nullptr, nullptr}};
  luaL_setfuncs(L, functions, 0);
}

}  // namespace qv
