// The console of the real program: typed commands and their numbered output,
// unknown commands, command errors, reloads, the input line's keys, the title
// bar buttons and host.exit.
#include "tests/e2e/program_fixture.h"

namespace qv::e2e {
namespace {

// The lines after the last echo of line ("> " + line), up to the end of the log.
std::vector<std::wstring> OutputOf(const std::vector<LogLine>& lines, const std::wstring& line) {
  std::vector<std::wstring> texts;
  int echo = -1;
  for (int i = static_cast<int>(lines.size()) - 1; i >= 0 && echo < 0; --i) {
    if (lines[static_cast<size_t>(i)].text == L"> " + line) echo = i;
  }
  if (echo < 0) return texts;
  for (size_t i = static_cast<size_t>(echo) + 1; i < lines.size(); ++i) texts.push_back(lines[i].text);
  return texts;
}

std::string Joined(const std::vector<std::wstring>& texts) {
  std::string joined;
  for (const std::wstring& text : texts) joined += Narrow(text) + "\n";
  return joined;
}

TEST_F(ProgramTest, TypedCommandsAreEchoedAndTheirOutputNumbered) {
  StartConsole();
  struct Case {
    std::wstring line;
    std::wstring echo;
    std::vector<std::wstring> output;
  };
  const std::vector<Case> cases = {
      {L"echo 你好 世界", L"> echo 你好 世界", {L"你好 世界"}},
      // The command word is looked up in lower case; arguments keep their case.
      {L"  ECHO  Hello   World ", L">   ECHO  Hello   World ", {L"Hello World"}},
      {L"echo", L"> echo", {L""}},
      {L"lines 3", L"> lines 3", {L"第 1 行", L"第 2 行", L"第 3 行"}},
  };
  for (const Case& c : cases) {
    app.Enter(c.line);
    ASSERT_TRUE(app.WaitForInput(L"")) << "the input line was not cleared";
    app.Settle();  // the command ran inside the Enter key's message
    std::vector<LogLine> lines = Log();
    int echo = FindLine(lines, c.echo);
    ASSERT_GE(echo, 0) << "no echo of " << Narrow(c.line) << "\n" << Narrow(app.ReadLog());
    std::vector<std::wstring> output = OutputOf(lines, c.echo.substr(2));
    EXPECT_EQ(Joined(output), Joined(c.output)) << Narrow(c.line);
  }
  std::vector<LogLine> lines = Log();
  EXPECT_NUMBERED(lines);
  // The number is right-aligned in three characters, then " | ".
  std::wstring log = app.ReadLog();
  EXPECT_EQ(log.substr(0, 6), L"  1 | ");
  EXPECT_NE(log.find(L"\r\n 10 | "), std::wstring::npos) << Narrow(log);
}

TEST_F(ProgramTest, LongOutputStaysNumberedAndCapped) {
  StartConsole();
  // 150 lines from one command: all shown, in order, numbered on.
  Run(L"lines 150", L"第 150 行");
  std::vector<LogLine> lines = Log();
  int first = FindLine(lines, L"第 1 行");
  ASSERT_GE(first, 0);
  for (int i = 0; i < 150; ++i) {
    ASSERT_EQ(Narrow(lines[static_cast<size_t>(first + i)].text), Narrow(L"第 " + std::to_wstring(i + 1) + L" 行"));
  }
  EXPECT_NUMBERED(lines);
  int lastNumber = lines.back().number;

  // 5000 lines of 50 characters pass the 200000-unit cap: the oldest whole
  // lines go, the numbers of the rest stay.
  app.Enter(L"fill 5000");  // its echo is trimmed off the top
  ASSERT_TRUE(app.WaitForLog(L"005000 " + std::wstring(40, L'x')));
  std::wstring log = app.ReadLog();
  EXPECT_LE(log.size(), 200000u);
  EXPECT_GT(log.size(), 190000u);
  lines = ParseLog(log);
  EXPECT_NUMBERED(lines);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front().text.size(), 47u) << "the log does not start with a whole line: "
                                             << Narrow(lines.front().text);
  EXPECT_EQ(lines.front().text.substr(6), L" " + std::wstring(40, L'x'));
  // 150 + 1 echo + 5000 lines after the first count; the last line is line 5000.
  EXPECT_EQ(lines.back().text, L"005000 " + std::wstring(40, L'x'));
  EXPECT_EQ(lines.back().number, lastNumber + 1 + 5000);
  // The view is scrolled to the bottom: the last line is visible.
  DWORD_PTR firstVisible = 0;
  SendMessageTimeoutW(app.OutputLog(), EM_GETFIRSTVISIBLELINE, 0, 0, SMTO_ABORTIFHUNG, 2000, &firstVisible);
  DWORD_PTR lineCount = 0;
  SendMessageTimeoutW(app.OutputLog(), EM_GETLINECOUNT, 0, 0, SMTO_ABORTIFHUNG, 2000, &lineCount);
  EXPECT_GT(firstVisible, lineCount > 200 ? lineCount - 200 : 0) << "the log is not scrolled to its end";
  // The console still answers.
  Run(L"echo 之后", L"之后");
}

TEST_F(ProgramTest, LongLinesNeitherCrashNorHang) {
  WritePlugin(L"huge.lua", "host.register{ name = \"huge\", run = function(args)\n"
                           "  print(string.rep(\"y\", tonumber(args[1])))\nend }\n");
  StartConsole();
  // Longer than the cap: whole lines go from the top, here everything up to
  // the line's own end, and the console goes on.
  app.Enter(L"huge 250000");
  ASSERT_TRUE(app.WaitForInput(L""));
  EXPECT_LE(app.ReadLog().size(), 200000u);
  Run(L"echo 还活着", L"还活着");
  // A long line below the cap is shown whole, with its number.
  app.Enter(L"huge 20000");
  ASSERT_TRUE(app.WaitForInput(L""));
  std::vector<LogLine> lines = Log();
  int echo = FindLine(lines, L"> huge 20000");
  ASSERT_GE(echo, 0);
  ASSERT_GT(lines.size(), static_cast<size_t>(echo) + 1);
  EXPECT_EQ(lines[static_cast<size_t>(echo) + 1].text, std::wstring(20000, L'y'));
  Run(L"echo 还在", L"还在");
  EXPECT_NUMBERED(Log());
}

TEST_F(ProgramTest, UnknownCommandGetsTwoLinesAndABlankLine) {
  StartConsole();
  Run(L"Qwerty bar", L"输入 ls 查看可用命令。");
  std::vector<LogLine> lines = Log();
  std::vector<std::wstring> output = OutputOf(lines, L"Qwerty bar");
  EXPECT_EQ(Joined(output), Joined({L"未知命令：qwerty", L"输入 ls 查看可用命令。", L""}));
  EXPECT_NUMBERED(lines);
  // A near miss gets a suggestion instead.
  Run(L"ecoh hi", L"是不是要输入 echo？");
  // The built-in update answers before any plugin; the check of the closed
  // local port fails at once.
  Sleep(500);
  Run(L"UPDATE now", L"检查更新失败：");
  EXPECT_EQ(Joined(OutputOf(Log(), L"UPDATE now")),
            Joined({L"检查更新失败：无法读取更新页面（网络不通或页面不可用）", L""}));
  // A line of blanks does nothing and stays in the input line.
  std::wstring before = app.ReadLog();
  app.Enter(L"   ");
  app.Settle();
  EXPECT_EQ(app.InputText(), L"   ");
  EXPECT_EQ(app.ReadLog(), before);
}

TEST_F(ProgramTest, CommandErrorShowsMessageAndTraceback) {
  StartConsole();
  Run(L"boom", L"stack traceback:");
  ASSERT_TRUE(app.WaitForLog(L"[C]: in"));
  std::vector<LogLine> lines = Log();
  std::vector<std::wstring> output = OutputOf(lines, L"boom");
  ASSERT_GE(output.size(), 3u) << Joined(output);
  EXPECT_EQ(output[0].rfind(L"插件错误：", 0), 0u) << Joined(output);
  EXPECT_NE(output[0].find(L"basic.lua:"), std::wstring::npos) << Joined(output);
  EXPECT_NE(output[0].find(L": 炸了"), std::wstring::npos) << Joined(output);
  EXPECT_EQ(Narrow(output[1]), "stack traceback:");
  // The traceback names the function that raised the error, indented by a tab.
  bool innerNamed = false;
  for (size_t i = 2; i < output.size(); ++i) {
    EXPECT_EQ(output[i].empty() || output[i][0] == L'\t', true) << Narrow(output[i]);
    innerNamed = innerNamed || output[i].find(L"inner") != std::wstring::npos;
  }
  EXPECT_TRUE(innerNamed) << Joined(output);
  EXPECT_NUMBERED(lines);
  // The program goes on.
  Run(L"echo 继续", L"继续");
}

TEST_F(ProgramTest, ReloadRequestedByACommandPrintsTheLoadingReport) {
  WritePlugin(L"extra.lua", "print(\"extra 主体运行\")\nhost.register{ name = \"extra\", run = function() print(\"旧\") end }\n");
  StartConsole();
  // A new script and a changed one are picked up by the reload.
  WritePlugin(L"extra.lua", "host.register{ name = \"extra\", run = function() print(\"新版本\") end }\n");
  WritePlugin(L"later.lua", "print(\"later 主体运行\")\n");
  Run(L"again", L"[插件] 已加载 3/3 个脚本");
  std::vector<std::wstring> output = OutputOf(Log(), L"again");
  EXPECT_EQ(Joined(output), Joined({L"准备重新加载", L"later 主体运行", L"[插件] 目录：" + pluginsFolder,
                                     L"[插件] 已加载 3/3 个脚本，注册 9 条命令。"}));
  Run(L"extra", L"新版本");
  EXPECT_NUMBERED(Log());
}

TEST_F(ProgramTest, HistoryKeysWalkThroughEnteredLines) {
  StartConsole();
  // Up with no history keeps the typed text.
  app.Type(L"abc");
  app.PressKey(VK_UP);
  EXPECT_TRUE(app.WaitForInput(L"abc"));
  app.PressKey(VK_ESCAPE);
  EXPECT_TRUE(app.WaitForInput(L""));

  Run(L"echo 一", L"一");
  Run(L"echo 二  ", L"二");
  Run(L"echo 一", L"一");
  app.Type(L"草稿");
  struct Step {
    UINT key;
    std::wstring shown;
  };
  const std::vector<Step> steps = {
      {VK_UP, L"echo 一"},   {VK_UP, L"echo 二"},  // stored trimmed
      {VK_UP, L"echo 一"},   {VK_UP, L"echo 一"},  // the oldest entry is the end
      {VK_DOWN, L"echo 二"}, {VK_DOWN, L"echo 一"}, {VK_DOWN, L"草稿"}, {VK_DOWN, L"草稿"},
      {VK_UP, L"echo 一"},   {VK_ESCAPE, L""},      {VK_UP, L"echo 二"},  // Esc keeps the position
  };
  for (size_t i = 0; i < steps.size(); ++i) {
    app.PressKey(steps[i].key);
    EXPECT_TRUE(app.WaitForInput(steps[i].shown))
        << "step " << i << ": expected \"" << Narrow(steps[i].shown) << "\", shown \"" << Narrow(app.InputText())
        << "\"";
  }
  // Enter on a recalled entry runs it again.
  app.PressKey(VK_RETURN);
  ASSERT_TRUE(app.WaitForInput(L""));
  EXPECT_EQ(CountOccurrences(app.ReadLog(), L" | > echo 二\r\n"), 1);
  EXPECT_EQ(CountOccurrences(app.ReadLog(), L" | > echo 二  \r\n"), 1);
  // Tab with nothing to complete: the focus does not leave and no character is typed.
  app.Type(L"x");
  app.PressKey(VK_TAB);
  EXPECT_TRUE(app.WaitForInput(L"x"));
}

TEST_F(ProgramTest, CtrlLClearsTheLogAndNumberingRestarts) {
  StartConsole();
  Run(L"lines 5", L"第 5 行");
  app.Type(L"留着");
  app.PressCtrlKey('L');
  EXPECT_TRUE(WaitUntil([&] { return app.ReadLog().empty(); })) << Narrow(app.ReadLog());
  EXPECT_EQ(app.InputText(), L"留着");
  app.PressKey(VK_ESCAPE);
  Run(L"echo 重新开始", L"重新开始");
  EXPECT_EQ(app.ReadLog(), L"  1 | > echo 重新开始\r\n  2 | 重新开始\r\n");
  // host.clear from a command empties the log the same way.
  app.Enter(L"cls");
  EXPECT_TRUE(WaitUntil([&] { return app.ReadLog().empty(); }));
  Run(L"echo 再来", L"再来");
  EXPECT_EQ(app.ReadLog(), L"  1 | > echo 再来\r\n  2 | 再来\r\n");
  // L without Ctrl is only a letter.
  app.Type(L"l");
  app.PressKey('L');
  app.Settle();
  EXPECT_FALSE(app.ReadLog().empty());
}

TEST_F(ProgramTest, CloseButtonEndsTheProgram) {
  StartConsole();
  SIZE client = ClientSize(app.MainWindow());
  ClickAt(app.MainWindow(), client.cx - Scale(42) + Scale(3), Scale(36) / 2);
  EXPECT_EQ(app.WaitForExit(), 0);
}

TEST_F(ProgramTest, HostExitEndsTheProgram) {
  StartConsole();
  app.Enter(L"bye");
  EXPECT_EQ(app.WaitForExit(), 0);
}

TEST_F(ProgramTest, PinAndMinimizeButtons) {
  StartConsole();
  Run(L"echo 顶置测试", L"顶置测试");
  HWND main = app.MainWindow();
  SIZE client = ClientSize(main);
  auto topmost = [&] { return (GetWindowLongW(main, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; };
  EXPECT_FALSE(topmost());
  int pinX = client.cx - 2 * Scale(42) + Scale(21);
  ClickAt(main, pinX, Scale(18));
  EXPECT_TRUE(WaitUntil(topmost)) << "pin did not make the window topmost";
  SaveScreenshot(L"pinned-title-bar");
  ClickAt(main, pinX, Scale(18));
  EXPECT_TRUE(WaitUntil([&] { return !topmost(); })) << "a second pin click did not unpin";
  // Minimize, then restore: the console keeps working.
  ClickAt(main, client.cx - 3 * Scale(42) + Scale(21), Scale(18));
  EXPECT_TRUE(WaitUntil([&] { return IsIconic(main) != 0; })) << "not minimized";
  ShowWindow(main, SW_RESTORE);
  EXPECT_TRUE(WaitUntil([&] { return IsIconic(main) == 0; }));
  Run(L"echo 恢复", L"恢复");
  // The title bar drags (caption) except on its buttons.
  POINT caption{Scale(200), Scale(18)};
  ClientToScreen(main, &caption);
  DWORD_PTR hit = 0;
  SendMessageTimeoutW(main, WM_NCHITTEST, 0, MAKELPARAM(caption.x, caption.y), SMTO_ABORTIFHUNG, 2000, &hit);
  EXPECT_EQ(hit, static_cast<DWORD_PTR>(HTCAPTION));
  POINT button{client.cx - Scale(21), Scale(18)};
  ClientToScreen(main, &button);
  SendMessageTimeoutW(main, WM_NCHITTEST, 0, MAKELPARAM(button.x, button.y), SMTO_ABORTIFHUNG, 2000, &hit);
  EXPECT_EQ(hit, static_cast<DWORD_PTR>(HTCLIENT));
}

}  // namespace
}  // namespace qv::e2e
