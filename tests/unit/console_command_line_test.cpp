#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/command_line.h"
#include "console/output_buffer.h"
#include "console_fixture.h"
#include "host/commands.h"
#include "host/loading.h"
#include "host/script_env.h"

namespace qv {
namespace {

TEST(ConsoleCommandLine, TrimsWhiteSpace) {
  const std::vector<std::pair<std::wstring, std::wstring>> cases = {
      {L"", L""},           {L" \t \r\n", L""},   {L"ls", L"ls"},
      {L"  LS  ", L"LS"},   {L"\tcalc 1 + 2\t", L"calc 1 + 2"},
      {L"\x3000中文\x3000", L"中文"},  // the ideographic space is white space too
  };
  for (const auto& [input, expected] : cases) EXPECT_EQ(TrimWhitespace(input), expected) << WideToUtf8(input);
}

TEST(ConsoleCommandLine, SplitsIntoLowerCaseWordAndArguments) {
  struct Case {
    std::wstring line;
    std::wstring word;
    std::wstring arguments;
  };
  const std::vector<Case> cases = {
      {L"LS", L"ls", L""},
      {L"Echo  Hello World", L"echo", L"Hello World"},
      {L"ls\tx", L"ls", L"x"},
      {L"calc 1+2*3", L"calc", L"1+2*3"},
      {L"UPDATE now", L"update", L"now"},
      {L"say \t A b ", L"say", L"A b"},
  };
  for (const Case& c : cases) {
    const SplitLine split = SplitCommandLine(TrimWhitespace(c.line));
    EXPECT_EQ(split.word, c.word) << WideToUtf8(c.line);
    EXPECT_EQ(split.arguments, c.arguments) << WideToUtf8(c.line);
  }
}

TEST(ConsoleCommandLine, RoutesEachLineWithoutAWindow) {
  const auto isPluginCommand = [](const std::wstring& word) {
    return word == L"echo" || word == L"ls" || word == L"update";
  };
  constexpr wchar_t kPage[] = L"https://example.test/download";
  const std::vector<std::wstring> names = {L"update", L"echo", L"ls"};
  const UpdateCheckState nothingNewer{UpdateCheckStage::kNothingNewer, {}};
  const UpdateCheckState running{UpdateCheckStage::kRunning, {}};
  const UpdateCheckState failed{UpdateCheckStage::kFailed, L"无法读取更新页面"};
  struct Case {
    const wchar_t* line;
    bool callRunning;
    const wchar_t* pageUrl;
    CommandRoute route;
    const wchar_t* echo;
    const wchar_t* history;
    const wchar_t* word;
    const wchar_t* reply;
    const wchar_t* open;
    const UpdateCheckState* update = nullptr;
  };
  const Case cases[] = {
      {L"  Echo  Hi there ", false, L"", CommandRoute::kPlugin, L">   Echo  Hi there \r\n", L"  Echo  Hi there ", L"echo",
       L"", L""},
      {L"LS", false, kPage, CommandRoute::kPlugin, L"> LS\r\n", L"LS", L"ls", L"", L""},
      {L" \t ", false, L"", CommandRoute::kIgnored, L"", L"", L"", L"", L""},
      {L"ls", true, L"", CommandRoute::kIgnored, L"", L"", L"", L"", L""},
      {L"Foo bar", false, L"", CommandRoute::kUnknown, L"> Foo bar\r\n", L"Foo bar", L"foo",
       L"未知命令：foo\r\n输入 ls 查看可用命令。\r\n\r\n", L""},
      {L"sl -a", false, L"", CommandRoute::kUnknown, L"> sl -a\r\n", L"sl -a", L"sl",
       L"未知命令：sl\r\n是不是要输入 ls？\r\n\r\n", L""},
      {L"upd", false, L"", CommandRoute::kUnknown, L"> upd\r\n", L"upd", L"upd",
       L"未知命令：upd\r\n是不是要输入 update？\r\n\r\n", L""},
      // The built-in update wins over a plugin's "update".
      {L"UPDATE please", false, L"", CommandRoute::kUpdate, L"> UPDATE please\r\n", L"UPDATE please", L"update",
       L"当前没有可用更新。\r\n\r\n", L""},
      {L"update", false, L"", CommandRoute::kUpdate, L"> update\r\n", L"update", L"update",
       L"正在检查更新…\r\n\r\n", L"", &running},
      {L"update", false, L"", CommandRoute::kUpdate, L"> update\r\n", L"update", L"update",
       L"检查更新失败：无法读取更新页面\r\n\r\n", L"", &failed},
      {L"update", false, kPage, CommandRoute::kUpdate, L"> update\r\n", L"update", L"update", L"", kPage},
  };
  for (const Case& c : cases) {
    const CommandLineDecision decision = DecideCommandLine(c.line, c.callRunning, c.pageUrl, isPluginCommand, names,
                                                           c.update ? *c.update : nothingNewer);
    const std::string what = WideToUtf8(c.line);
    EXPECT_EQ(decision.route, c.route) << what;
    EXPECT_EQ(decision.echo, c.echo) << what;
    EXPECT_EQ(decision.history, c.history) << what;
    EXPECT_EQ(decision.command.word, c.word) << what;
    EXPECT_EQ(decision.reply, c.reply) << what;
    EXPECT_EQ(decision.pageUrl, c.open) << what;
  }
}

class ConsoleCommands : public ::testing::Test {
 protected:
  void LoadHost(const std::string& basic) {
    folder.Write(L"basic.lua", basic);
    GlobalHost = std::make_unique<PluginHost>();
    GlobalHost->onOutput = AppendOutput;
    GlobalHost->onClear = ClearOutput;
    GlobalHost->pluginsDir = folder.path();
    LoadPlugins(*GlobalHost);
    ASSERT_TRUE(GlobalHost->basicLoaded) << WideToUtf8(GlobalHost->pendingLog);
    TakePendingLog(*GlobalHost);
  }
  void TearDown() override {
    if (GlobalHost) CloseAllPlugins(*GlobalHost);
  }
  test::TempFolder folder;
  test::ConsoleUnderTest console;
};

TEST_F(ConsoleCommands, EchoesRunsAndRecords) {
  LoadHost("host.register{name='echo', help='repeats', run=function(args) print(table.concat(args, '+')) end}\n");
  ExecuteCommandLine(L"  Echo  Hello World ");
  EXPECT_EQ(console.Shown(), L"  1 | >   Echo  Hello World \r\n  2 | Hello+World\r\n");
  EXPECT_TRUE(Console().commandHistory.empty()) << "a line that starts with a blank is not kept";
  ExecuteCommandLine(L"Echo  again ");
  EXPECT_EQ(Console().commandHistory, std::vector<std::wstring>{L"Echo  again"});
  EXPECT_EQ(Console().historyPosition, 1);
}

TEST_F(ConsoleCommands, BlankLineDoesNothing) {
  ExecuteCommandLine(L" \t ");
  EXPECT_EQ(console.Shown(), L"");
  EXPECT_TRUE(Console().commandHistory.empty());
}

TEST_F(ConsoleCommands, UnknownCommandAndBuiltInUpdate) {
  ExecuteCommandLine(L"Foo bar");
  ExecuteCommandLine(L"UPDATE please");
  EXPECT_EQ(console.Shown(),
            L"  1 | > Foo bar\r\n  2 | 未知命令：foo\r\n  3 | 输入 ls 查看可用命令。\r\n  4 | \r\n"
            L"  5 | > UPDATE please\r\n  6 | 正在检查更新…\r\n  7 | \r\n");
}

TEST_F(ConsoleCommands, UpdateComesBeforeAPluginCommandOfThatName) {
  LoadHost("ok, refused = pcall(host.register, {name='update', run=function() print('plugin update') end})\n"
           "host.register{name='why', run=function() print(refused) end}\n");
  ExecuteCommandLine(L"why");
  EXPECT_NE(console.Shown().find(L"update 是程序自带的命令，插件不能注册"), std::wstring::npos);
  Console().updateCheck = {UpdateCheckStage::kNothingNewer, {}};
  ExecuteCommandLine(L"update");
  EXPECT_EQ(console.Shown().find(L"plugin update"), std::wstring::npos);
  EXPECT_NE(console.Shown().find(L"当前没有可用更新。"), std::wstring::npos);
}

TEST_F(ConsoleCommands, ReloadRequestedByACommandFollowsItsReturn) {
  LoadHost("host.register{name='again', help='reloads', run=function() host.reload(); print('asked') end}\n");
  // A report not yet shown (the start-up animation still runs) is not lost to the new pass.
  GlobalHost->pendingLog = L"[插件] 第一遍的报告\r\n";
  ExecuteCommandLine(L"again");
  const std::wstring shown = console.Shown();
  EXPECT_LT(shown.find(L"第一遍的报告"), shown.find(L"[插件] 目录"));
  const std::size_t asked = shown.find(L"asked");
  ASSERT_NE(asked, std::wstring::npos);
  // The loading report of the new pass comes after the command's own output.
  EXPECT_NE(shown.find(L"[插件]", asked), std::wstring::npos);
  EXPECT_FALSE(GlobalHost->reloadRequested);
  EXPECT_TRUE(HasCommand(*GlobalHost, L"again"));
  EXPECT_EQ(shown, std::wstring(Console().output.buffer.Text()));
}

TEST_F(ConsoleCommands, ClearInsideACommandRestartsNumbering) {
  LoadHost("host.register{name='fresh', help='clears', run=function() print('gone'); host.clear(); print('kept') end}\n");
  ExecuteCommandLine(L"fresh");
  EXPECT_EQ(console.Shown(), L"  1 | kept\r\n");
}

}  // namespace
}  // namespace qv
