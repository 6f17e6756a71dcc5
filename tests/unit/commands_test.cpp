// host.register, the command table, argument splitting and running commands.
#include <gtest/gtest.h>

#include "base/text.h"
#include "host/commands.h"
#include "host/complete.h"
#include "host/execute.h"
#include "lauxlib.h"
#include "lua.h"
#include "host_fixture.h"

namespace qv {
namespace {

TEST(SplitArguments, QuoteAndWhiteSpaceRules) {
  const struct {
    const wchar_t* text;
    std::vector<std::wstring> words;
  } cases[] = {
      {L"", {}},
      {L"a   b", {L"a", L"b"}},
      {L"\"x y\" z", {L"x y", L"z"}},
      {L"\"\"", {}},
      {L"x \"\" y", {L"x", L"y"}},
      {L"\"abc", {L"abc"}},
      {L"C:\\temp", {L"C:\\temp"}},
      {L"a\"b c\"d", {L"ab cd"}},
      {L"\ta\tb\n", {L"a", L"b"}},
      {L"\"  \"", {L"  "}},
      {L"中文 参数", {L"中文", L"参数"}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitArguments(c.text), c.words) << WideToUtf8(c.text);
}

TEST(Register, RegistrationOutcomesAndTheirLogLines) {
  test::CapturedHost captured;
  captured.folder.Write(L"basic.lua", R"(
    host.register{ name = 'ls', help = 'list', run = function() print('first ls') end }
    host.register{ name = 42, run = function() print('forty-two') end }
    host.register{ name = 'nohelp', run = function() end }
    spaced = pcall(host.register, { name = 'with space', run = function() print('spaced') end })
  )");
  captured.folder.Write(L"second.lua", R"(
    host.register{ name = 'LS', run = function() print('second ls') end }
    host.register{ name = '', run = function() end }
  )");
  captured.Load();
  const std::wstring& log = captured.host.pendingLog;
  EXPECT_NE(log.find(L"[插件] 命令重复，已忽略：LS（来自 second.lua）\r\n"), std::wstring::npos) << WideToUtf8(log);
  EXPECT_NE(log.find(L"[插件] 忽略了空命令名（来自 second.lua）\r\n"), std::wstring::npos);
  EXPECT_EQ(captured.host.commands.size(), 3u);
  EXPECT_EQ(captured.Run(L"Ls"), L"first ls\r\n");
  EXPECT_EQ(captured.Run(L"42"), L"forty-two\r\n");
  EXPECT_FALSE(HasCommand(captured.host, L"with space"));
  const CommandEntry* nohelp = FindCommand(captured.host, L"NOHELP");
  ASSERT_NE(nohelp, nullptr);
  EXPECT_EQ(nohelp->help, L"");
  EXPECT_EQ(nohelp->key, L"nohelp");
  EXPECT_EQ(FindCommand(captured.host, L"ls")->help, L"list");
  EXPECT_FALSE(HasCommand(captured.host, L""));
}

TEST(Register, RejectedDuplicatesReleaseTheirFunctionReference) {
  test::CapturedHost captured;
  captured.folder.Write(L"basic.lua", R"(
    host.register{ name = 'keep', run = function() end }
    for i = 1, 1000 do host.register{ name = 'KEEP', run = function() end } end
  )");
  captured.Load();
  lua_State* L = captured.host.plugins[0]->luaState;
  // A released reference is reused by the next luaL_ref, so the registry did not grow.
  lua_pushboolean(L, 1);
  const int fresh = luaL_ref(L, LUA_REGISTRYINDEX);
  EXPECT_LT(fresh, 50);
  luaL_unref(L, LUA_REGISTRYINDEX, fresh);
}

TEST(Register, ArgumentErrorsNameTheMistake) {
  const struct {
    const char* call;
    const char* message;
  } cases[] = {
      {"host.register('hi')", "host.register 需要一个表参数，例如 host.register{ name=\"hi\", run=function() end }"},
      {"host.register{ name = 'x' }", "host.register 的 run 必须是函数（现在是 nil）"},
      {"host.register{ name = 'x', run = 'not a function' }", "host.register 的 run 必须是函数（现在是 string）"},
      {"host.register{ run = print }", "host.register 的 name 必须是字符串（现在是 nil）"},
      {"host.register{ name = 'x', help = {}, run = print }", "host.register 的 help 必须是字符串（现在是 table）"},
      // Names no one could type, or that the built-in always answers.
      {"host.register{ name = 'a b', run = print }", "host.register：命令名不能包含空白（“a b”）"},
      {"host.register{ name = 'Update', run = print }", "host.register：update 是程序自带的命令，插件不能注册"},
  };
  PluginHost host;
  for (const auto& c : cases) {
    test::ScriptState script(host);
    EXPECT_EQ(script.Run(c.call), LUA_ERRRUN) << c.call;
    EXPECT_NE(script.error.find(c.message), std::string::npos) << c.call << " gave " << script.error;
  }
  EXPECT_TRUE(host.commands.empty());
}

TEST(Complete, OffersTheStringsTheFunctionReturnsOrSaysWhyNot) {
  test::CapturedHost captured;
  captured.folder.Write(L"basic.lua", R"(
    host.register{ name = 'pick', run = print, complete = function(args)
      return { 'alpha', 'beta', 42, '', args.line .. '|' .. #args } end }
    host.register{ name = 'plain', run = print }
    host.register{ name = 'broken', run = print, complete = function() error('no list today') end }
    host.register{ name = 'odd', run = print, complete = function() return 'alpha' end }
  )");
  captured.folder.Write(L"second.lua", "host.register{ name = 'wrong', run = print, complete = 'alpha' }");
  captured.Load();
  EXPECT_NE(captured.host.pendingLog.find(L"host.register 的 complete 必须是函数"), std::wstring::npos) << WideToUtf8(captured.host.pendingLog);
  const struct {
    const wchar_t* word;
    const wchar_t* text;
    std::optional<std::vector<std::wstring>> offered;
    const wchar_t* log;  // the one line printed, empty for none
  } cases[] = {
      // Only non-empty strings are offered; args are what run gets.
      {L"PICK", L"b \"c d\" ", std::vector<std::wstring>{L"alpha", L"beta", L"b \"c d\" |2"}, L""},
      {L"plain", L"x", std::nullopt, L""},
      {L"nosuch", L"", std::nullopt, L""},
      {L"broken", L"", std::nullopt, L"basic.lua:5: no list today\r\n"},
      {L"odd", L"", std::nullopt, L"[补全] odd 的补全失败：complete 应返回字符串列表\r\n"},
  };
  for (const auto& c : cases) {
    captured.output.clear();
    EXPECT_EQ(CompleteArguments(captured.host, c.word, c.text), c.offered) << WideToUtf8(c.word);
    EXPECT_EQ(captured.output.empty(), std::wstring(c.log).empty()) << WideToUtf8(c.word);
    EXPECT_NE(captured.output.find(c.log), std::wstring::npos) << WideToUtf8(captured.output);
    if (!captured.output.empty()) {
      EXPECT_EQ(captured.output.rfind(L"[补全] ", 0), 0u);
    }
  }
  EXPECT_EQ(lua_gettop(captured.host.plugins[0]->luaState), 0);
}

TEST(RunCommand, ArgumentsReachTheFunctionAsOneTable) {
  test::CapturedHost captured;
  captured.folder.Write(L"basic.lua", R"(
    host.register{ name = 'args', run = function(args)
      print(type(args), #args, table.concat(args, '|'), next(args, #args > 0 and #args or nil))
    end }
  )");
  captured.Load();
  // After the words comes only args.line, the argument text exactly as given.
  EXPECT_EQ(captured.Run(L"args"), L"table\t0\t\tline\t\r\n");
  EXPECT_EQ(captured.Run(L"ARGS", L"Hello  \"Big World\" 中文"),
            L"table\t3\tHello|Big World|中文\tline\tHello  \"Big World\" 中文\r\n");
}

TEST(RunCommand, OutputThenErrorKeepTheirOrder) {
  test::CapturedHost captured;
  captured.folder.Write(L"basic.lua", R"(
    host.register{ name = 'fail', run = function() print(1) print(2) print(3) error('bad thing') end }
  )");
  captured.Load();
  const std::wstring output = captured.Run(L"fail");
  EXPECT_EQ(output.rfind(L"1\r\n2\r\n3\r\n插件错误：", 0), 0u) << WideToUtf8(output);
  EXPECT_NE(output.find(L"basic.lua:2: bad thing\nstack traceback:\n"), std::wstring::npos) << WideToUtf8(output);
  EXPECT_EQ(lua_gettop(captured.host.plugins[0]->luaState), 0);
}

TEST(RunCommand, CommandThatGrowsTheTableWhileRunning) {
  test::CapturedHost captured;
  captured.folder.Write(L"basic.lua", R"(
    host.register{ name = 'grow', run = function()
      for i = 1, 150 do
        host.register{ name = 'made' .. i, run = function() print('made', i) end }
        print(string.rep('line ', 20), i)
      end
      print('done')
    end }
  )");
  captured.Load();
  const std::wstring output = captured.Run(L"grow");
  EXPECT_EQ(output.substr(output.size() - 6), L"done\r\n");
  EXPECT_EQ(captured.host.commands.size(), 151u);
  EXPECT_EQ(captured.Run(L"made149"), L"made\t149\r\n");
  // Registered by a command, they show in the display list at once.
  EXPECT_EQ(captured.host.commandList.size(), 151u);
}

TEST(RunCommand, UnloadedOwnerIsReportedNotCalled) {
  test::CapturedHost captured;
  captured.folder.Write(L"basic.lua", "host.register{ name = 'a', run = function() print('ran') end }");
  captured.Load();
  CommandEntry entry = captured.host.commands[0];
  entry.owner = nullptr;
  captured.output.clear();
  RunCommand(captured.host, entry, L"");
  EXPECT_EQ(captured.output, L"插件已卸载，命令不可用。\r\n");
  ExecuteCommand(captured.host, L"missing", L"");
  EXPECT_EQ(captured.output, L"插件已卸载，命令不可用。\r\n");
}

TEST(FindPlugin, MatchesFileNamesWithoutRegardToCase) {
  test::CapturedHost captured;
  captured.folder.Write(L"basic.lua", "");
  captured.folder.Write(L"Notes.Lua", "");
  captured.Load();
  EXPECT_NE(FindPlugin(captured.host, L"NOTES.LUA"), nullptr);
  EXPECT_NE(FindPlugin(captured.host, L"basic.LUA"), nullptr);
  EXPECT_EQ(FindPlugin(captured.host, L"notes"), nullptr);
}

}  // namespace
}  // namespace qv
