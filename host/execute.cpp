// Running a command: argument splitting and the protected, time-limited call.
#include "host/execute.h"

#include <cwctype>

#include "base/text.h"
#include "host/commands.h"
#include "host/cut_off.h"
#include "host/error_hints.h"
#include "host/lua/arguments.h"
#include "host/lua/call_limits.h"
#include "host/lua/error_message.h"
#include "host/lua/interruption.h"
#include "host/script_env.h"
#include "lauxlib.h"
#include "lua.h"

namespace qv {

std::vector<std::wstring> SplitArguments(const std::wstring& text) {
  std::vector<std::wstring> words;
  std::wstring word;
  bool inQuotes = false;
  for (wchar_t c : text) {
    if (c == L'"') {
      inQuotes = !inQuotes;
    } else if (!inQuotes && std::iswspace(c)) {
      if (!word.empty()) words.push_back(std::move(word));
      word.clear();
    } else {
      word.push_back(c);
    }
  }
  if (!word.empty()) words.push_back(std::move(word));
  return words;
}

void ExecuteCommand(PluginHost& host, const std::wstring& word, const std::wstring& text) {
  if (const CommandEntry* entry = FindCommand(host, word)) RunCommand(host, *entry, text);
}

namespace {

struct CommandCall {
  int functionRef = 0;
  const std::vector<std::wstring>* words = nullptr;
  const std::wstring* line = nullptr;
};

// Inside the protected call, where the time limit and Esc reach: everything
// that allocates (the argument table may not fit a state at its memory cap).
// [-1, +0]: the CommandCall as light userdata.
int CallCommandBody(lua_State* L) {
  const CommandCall& call = *static_cast<const CommandCall*>(lua_touserdata(L, 1));
  lua_rawgeti(L, LUA_REGISTRYINDEX, call.functionRef);
  lua_createtable(L, static_cast<int>(call.words->size()), 1);
  for (size_t i = 0; i < call.words->size(); ++i) {
    PushText(L, (*call.words)[i]);
    lua_rawseti(L, -2, static_cast<lua_Integer>(i + 1));
  }
  PushText(L, *call.line);  // args.line: the argument text as typed, quotes and blanks kept
  lua_setfield(L, -2, "line");
  lua_call(L, 1, 0);
  return 0;
}

// Script thread: calls the command's function with its argument table and
// emits the error text if it fails.
void CallCommand(PluginHost& host, PluginRecord& owner, int functionRef, const std::vector<std::wstring>& words,
                 const std::wstring& line, const std::wstring& commandText) {
  lua_State* L = owner.luaState;
  CommandCall call{functionRef, &words, &line};
  lua_settop(L, 0);
  lua_pushcfunction(L, CallCommandBody);
  lua_pushlightuserdata(L, &call);
  const int status = CallWithTimeLimit(L, 1, 0);
  if (status == kCallAbandoned) return;
  const std::wstring error = status == LUA_OK ? std::wstring() : PopErrorText(L);
  lua_settop(L, 0);
  if (status == LUA_OK) return;
  // Esc is the user's choice, not the plugin's fault: one line, no traceback.
  if (error.find(Utf8ToWide(kStoppedMessage)) != std::wstring::npos) {
    EmitOutput(host, L"已停止：" + commandText);
  } else {
    EmitOutput(host, L"插件错误：" + WithNewcomerHint(error));
  }
}

}  // namespace

void RunCommand(PluginHost& host, const CommandEntry& entry, const std::wstring& text) {
  // The entry lives in host.commands, which the command itself may grow while
  // it runs: take what the call needs now and never touch the entry again.
  PluginRecord* owner = entry.owner;
  const int functionRef = entry.functionRef;
  if (owner == nullptr || owner->luaState == nullptr) {
    EmitOutput(host, L"插件已卸载，命令不可用。");
    return;
  }
  const std::vector<std::wstring> words = SplitArguments(text);
  const std::wstring commandText = text.empty() ? entry.name : entry.name + L" " + text;
  switch (CallIntoPlugin(host, owner, [&] { CallCommand(host, *owner, functionRef, words, text, commandText); })) {
    case CallOutcome::kFinished:
      return;
    case CallOutcome::kAbandoned:
      EmitOutput(host, L"插件错误：" + FileNameOf(owner->path) +
                           L" 没有响应（卡在原生代码中），已移除它的命令和菜单项；输入 reload 可重新加载。");
      return;
    case CallOutcome::kRefused:
      EmitOutput(host, host.calls.Running() ? L"另一条命令正在运行。" : L"无法启动脚本线程，命令没有运行。");
      return;
  }
}

bool StopRunningCall(PluginHost& host) { return host.calls.StopRunning(); }

}  // namespace qv
