// Argument completion: calling a command's complete function.
#include "host/complete.h"

#include "base/text.h"
#include "host/commands.h"
#include "host/cut_off.h"
#include "host/execute.h"
#include "host/lua/arguments.h"
#include "host/lua/error_message.h"
#include "host/lua/interruption.h"
#include "host/script_env.h"
#include "lauxlib.h"
#include "lua.h"

namespace qv {

namespace {

// The first line of an error text: the log gets one line, not a traceback.
std::wstring FirstLine(const std::wstring& text) { return text.substr(0, text.find_first_of(L"\r\n")); }

struct CompleteCall {
  int completeRef = 0;
  const std::vector<std::wstring>* words = nullptr;
  const std::wstring* line = nullptr;
  std::vector<std::wstring>* offered = nullptr;
  bool returnedTable = false;
};

// Inside the protected call, where the time limit and Esc reach: the argument
// table, the call, and the strings taken from the list it returns (raw reads,
// so no metamethod of the result runs). [-1, +0]: the CompleteCall as light userdata.
int CallCompleteBody(lua_State* L) {
  CompleteCall& call = *static_cast<CompleteCall*>(lua_touserdata(L, 1));
  lua_rawgeti(L, LUA_REGISTRYINDEX, call.completeRef);
  lua_createtable(L, static_cast<int>(call.words->size()), 1);
  for (size_t i = 0; i < call.words->size(); ++i) {
    PushText(L, (*call.words)[i]);
    lua_rawseti(L, -2, static_cast<lua_Integer>(i + 1));
  }
  PushText(L, *call.line);
  lua_setfield(L, -2, "line");
  lua_call(L, 1, 1);
  call.returnedTable = lua_type(L, -1) == LUA_TTABLE;
  if (!call.returnedTable) return 0;
  const lua_Integer count = static_cast<lua_Integer>(lua_rawlen(L, -1));
  for (lua_Integer i = 1; i <= count && call.offered->size() < kCompletionLimit; ++i) {
    if (lua_rawgeti(L, -1, i) == LUA_TSTRING) {
      size_t length = 0;
      const char* bytes = lua_tolstring(L, -1, &length);
      if (length > 0 && length <= kTextLengthLimit) call.offered->push_back(Utf8ToWide(std::string_view(bytes, length)));
    }
    lua_pop(L, 1);
  }
  return 0;
}

// Script thread: calls the complete function as run would be called. Empty
// failure on success.
void CallComplete(PluginRecord& owner, int completeRef, const std::vector<std::wstring>& words,
                  const std::wstring& line, std::vector<std::wstring>& offered, std::wstring& failure) {
  lua_State* L = owner.luaState;
  CompleteCall call{completeRef, &words, &line, &offered};
  lua_settop(L, 0);
  lua_pushcfunction(L, CallCompleteBody);
  lua_pushlightuserdata(L, &call);
  const int status = CallWithTimeLimit(L, 1, 0);
  if (status == kCallAbandoned) return;
  if (status != LUA_OK) {
    failure = FirstLine(PopErrorText(L));
  } else if (!call.returnedTable) {
    failure = L"complete 应返回字符串列表";
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
  switch (CallIntoPlugin(host, owner, [&] { CallComplete(*owner, completeRef, words, text, offered, failure); })) {
    case CallOutcome::kFinished:
      break;
    case CallOutcome::kAbandoned:
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
