// Argument completion: calling a command's complete function.
#include "base/text.h"
#include "host/lua/lua_glue.h"
#include "host/lua/script_thread.h"
#include "host/plugin_host.h"

namespace qv {

namespace {

// The first line of an error text: the log gets one line, not a traceback.
std::wstring FirstLine(const std::wstring& text) { return text.substr(0, text.find_first_of(L"\r\n")); }

// Script thread: calls the complete function with the argument table that run
// gets and collects the strings of the list it returns. Empty failure on success.
void CallComplete(PluginRecord& owner, int completeRef, const std::vector<std::wstring>& words,
                  const std::wstring& line, std::vector<std::wstring>& offered, std::wstring& failure) {
  lua_State* L = owner.luaState;
  lua_settop(L, 0);
  lua_pushcclosure(L, ErrorMessageHandler, 0);
  lua_rawgeti(L, LUA_REGISTRYINDEX, completeRef);
  lua_createtable(L, static_cast<int>(words.size()), 1);
  for (size_t i = 0; i < words.size(); ++i) {
    PushWide(L, words[i]);
    lua_rawseti(L, -2, static_cast<lua_Integer>(i + 1));
  }
  PushWide(L, line);
  lua_setfield(L, -2, "line");
  const int status = CallWithTimeLimit(owner, 1, 1, 1);
  if (status == kCallAbandoned) return;
  if (status != LUA_OK) {
    failure = FirstLine(PopErrorText(L));
  } else if (lua_type(L, -1) != LUA_TTABLE) {
    failure = L"complete 应返回字符串列表";
  } else {
    // Raw reads: no metamethod of the result runs outside the limit.
    const lua_Integer count = static_cast<lua_Integer>(lua_rawlen(L, -1));
    for (lua_Integer i = 1; i <= count && offered.size() < kCompletionLimit; ++i) {
      size_t length = 0;
      if (lua_rawgeti(L, -1, i) == LUA_TSTRING) {
        const char* bytes = lua_tolstring(L, -1, &length);
        if (length > 0 && length <= kTextLengthLimit) offered.push_back(Utf8ToWide(std::string_view(bytes, length)));
      }
      lua_pop(L, 1);
    }
  }
  lua_settop(L, 0);
}

}  // namespace

std::optional<std::vector<std::wstring>> CompleteArguments(PluginHost& host, const std::wstring& word,
                                                           const std::wstring& text) {
  const CommandEntry* entry = FindCommand(host, word);
  if (entry == nullptr || entry->completeRef == 0 || entry->owner == nullptr || entry->owner->luaState == nullptr) {
    return std::nullopt;
  }
  PluginRecord* owner = entry->owner;
  const int completeRef = entry->completeRef;
  const std::wstring name = entry->name;
  const std::vector<std::wstring> words = SplitArguments(text);
  std::vector<std::wstring> offered;
  std::wstring failure;
  switch (RunOnScriptThread(host, [&] { CallComplete(*owner, completeRef, words, text, offered, failure); })) {
    case CallOutcome::kFinished:
      break;
    case CallOutcome::kAbandoned:
      CutOffPlugin(host, *owner);
      failure = FileNameOf(owner->path) + L" 没有响应，已移除它的命令和菜单项；输入 reload 可重新加载";
      break;
    case CallOutcome::kRefused:
      return std::nullopt;
  }
  if (!failure.empty()) {
    EmitOutput(host, L"[补全] " + name + L" 的补全失败：" + failure);
    return std::nullopt;
  }
  return offered;
}

}  // namespace qv
