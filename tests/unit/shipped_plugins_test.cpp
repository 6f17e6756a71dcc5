// The shipped plugin scripts, loaded from a copy of the source tree's plugins
// folder through a real PluginHost, with every command run and its output read
// back as the console would receive it.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "base/files.h"
#include "base/text.h"
#include "host/plugin_host.h"
#include "host/commands.h"
#include "host/complete.h"
#include "host/execute.h"
#include "host/loading.h"
#include "host/script_env.h"
#include "host/timer_calls.h"
#include "host_fixture.h"

namespace qv {
namespace {

std::vector<std::wstring> SplitLines(const std::wstring& text) {
  std::vector<std::wstring> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    std::wstring line = text.substr(start, end - start);
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

SystemInfo FixedSystemInfo() {
  SystemInfo info;
  info.version = L"0.4.0";
  info.machineCode = L"QL-0123-4567";
  info.compiler = L"MinGW-w64 / GCC";
  info.arch = L"x64";
  info.exePath = L"C:\\程序\\quorvantline.exe";
  info.workingDir = L"C:\\程序";
  info.pid = L"4242";
  info.dpi = L"96";
  info.os = L"Windows 10 (19045)";
  info.sysArch = L"x64";
  info.cpu = L"Intel64 Family 6";
  info.cpuCount = L"8";
  info.memory = L"16.0 GB，可用 9.5 GB";
  info.computer = L"DESKTOP";
  info.user = L"用户";
  info.locale = L"zh-CN";
  info.codePage = L"936";
  info.systemDir = L"C:\\Windows\\system32";
  info.uptime = L"2 天 3 小时";
  return info;
}

// A copy of the shipped plugins in a temporary folder, loaded into a host whose
// five actions are recorded. Extra scripts can be added before Load().
class ShippedPlugins : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::wstring source = test::SourcePluginsDir();
    WIN32_FIND_DATAW entry{};
    HANDLE find = FindFirstFileW((source + L"\\*.lua").c_str(), &entry);
    ASSERT_NE(find, INVALID_HANDLE_VALUE) << "no scripts in " << WideToUtf8(source);
    do {
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
      ASSERT_TRUE(CopyFileW((source + L"\\" + entry.cFileName).c_str(), Child(entry.cFileName).c_str(), FALSE));
    } while (FindNextFileW(find, &entry));
    FindClose(find);

    host_.pluginsDir = folder_.path();
    host_.onOutput = [this](const std::wstring& text) { output_ += text; };
    host_.onClear = [this] { ++clears_; };
    host_.onExit = [this] { ++exits_; };
    host_.onOpenPluginManager = [this] { ++managerOpens_; };
    host_.onSystemInfo = [] { return FixedSystemInfo(); };
  }

  void TearDown() override {
    CloseAllPlugins(host_);
  }

  std::wstring Child(const std::wstring& name) const { return folder_.Child(name); }

  void Load() {
    LoadPlugins(host_);
    report_ = TakePendingLog(host_);
  }

  // Runs a command as command-line processing would and returns its output.
  std::wstring Run(const std::wstring& word, const std::wstring& arguments = L"") {
    output_.clear();
    EXPECT_TRUE(HasCommand(host_, word)) << WideToUtf8(word);
    ExecuteCommand(host_, word, arguments);
    return output_;
  }

  test::TempFolder folder_;
  PluginHost host_;
  std::wstring output_;
  std::wstring report_;
  int clears_ = 0;
  int exits_ = 0;
  int managerOpens_ = 0;
};

TEST_F(ShippedPlugins, LoadCleanlyWithBasicFirst) {
  Load();
  EXPECT_TRUE(host_.basicLoaded);
  ASSERT_EQ(host_.pluginList.size(), 4u);
  EXPECT_EQ(host_.pluginList[0].name, L"basic.lua");
  EXPECT_EQ(host_.pluginList[1].name, L"notes.lua");
  EXPECT_EQ(host_.pluginList[2].name, L"plugin-manager.lua");
  EXPECT_EQ(host_.pluginList[3].name, L"reminder.lua");
  for (const PluginSummary& plugin : host_.pluginList) EXPECT_TRUE(plugin.ok) << WideToUtf8(plugin.name);

  // Only the folder line and the summary: no failure, no duplicate, no stray output.
  const std::vector<std::wstring> lines = SplitLines(report_);
  ASSERT_EQ(lines.size(), 2u) << WideToUtf8(report_);
  EXPECT_EQ(lines[0], L"[插件] 目录：" + folder_.path());
  EXPECT_EQ(lines[1], L"[插件] 已加载 4/4 个脚本，注册 " + DecimalText(host_.commands.size()) + L" 条命令。");
}

TEST_F(ShippedPlugins, BasicProvidesTheOrdinaryCommandsEachWithOneLineOfHelp) {
  Load();
  for (const wchar_t* name : {L"ls", L"help", L"echo", L"clear", L"time", L"date", L"sysinfo", L"plugins", L"source",
                              L"reload", L"exit", L"version", L"calc"}) {
    const CommandEntry* entry = FindCommand(host_, name);
    ASSERT_NE(entry, nullptr) << WideToUtf8(name);
    EXPECT_EQ(FileNameOf(entry->pluginPath), L"basic.lua") << WideToUtf8(name);
  }
  for (const CommandSummary& command : host_.commandList) {
    EXPECT_FALSE(command.help.empty()) << WideToUtf8(command.name);
    EXPECT_EQ(command.help.find(L'\n'), std::wstring::npos) << WideToUtf8(command.name);
  }
}

TEST_F(ShippedPlugins, PluginManagerCommandAndMenuEntry) {
  Load();
  const CommandEntry* entry = FindCommand(host_, L"manager");
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(FileNameOf(entry->pluginPath), L"plugin-manager.lua");
  EXPECT_FALSE(entry->help.empty());

  ASSERT_EQ(host_.menuItems.size(), 1u);
  EXPECT_EQ(host_.menuItems[0].label, L"插件管理");
  EXPECT_EQ(host_.menuItems[0].command, L"manager");
  EXPECT_EQ(host_.menuItems[0].plugin, L"plugin-manager.lua");

  EXPECT_EQ(Run(host_.menuItems[0].command), L"");
  EXPECT_EQ(managerOpens_, 1);

  // Disabled, it takes its command and its menu entry with it.
  folder_.Write(L"plugin-manager\\disabled.txt", "plugin-manager.lua\r\n");
  Load();
  EXPECT_TRUE(host_.basicLoaded);
  EXPECT_FALSE(HasCommand(host_, L"manager"));
  EXPECT_TRUE(host_.menuItems.empty());
}

TEST_F(ShippedPlugins, LsListsEveryCommandGroupedByPluginWithAlignedHelp) {
  Load();
  const std::vector<std::wstring> lines = SplitLines(Run(L"ls"));
  ASSERT_GE(lines.size(), 6u);
  // The built-in command first, in a group of its own.
  EXPECT_EQ(lines[0], L"内置命令（1 条命令）");
  EXPECT_EQ(lines[1].rfind(L"  update  打开新版本的下载页面", 0), 0u) << WideToUtf8(lines[1]);

  // Rebuild the list from the lines: a header per plugin, then indented rows.
  std::vector<CommandSummary> listed;
  std::wstring plugin;
  size_t helpColumn = 0;
  size_t index = 2;
  for (; index < lines.size(); ++index) {
    const std::wstring& line = lines[index];
    if (line.empty() || line.rfind(L"输入 ", 0) == 0) break;
    if (line.rfind(L"  ", 0) != 0) {
      const size_t open = line.find(L"（");
      ASSERT_NE(open, std::wstring::npos) << WideToUtf8(line);
      plugin = line.substr(0, open);
      size_t count = 0;
      for (const CommandSummary& c : host_.commandList) count += c.plugin == plugin ? 1 : 0;
      EXPECT_EQ(line, plugin + L"（" + DecimalText(count) + L" 条命令）");
      helpColumn = 0;
      continue;
    }
    const size_t nameEnd = line.find(L' ', 2);
    const size_t help = line.find_first_not_of(L' ', nameEnd);
    ASSERT_NE(help, std::wstring::npos) << WideToUtf8(line);
    if (helpColumn == 0) helpColumn = help;
    EXPECT_EQ(help, helpColumn) << "help column differs: " << WideToUtf8(line);
    EXPECT_GE(help - nameEnd, 2u);
    listed.push_back(CommandSummary{line.substr(2, nameEnd - 2), line.substr(help), plugin});
  }
  ASSERT_EQ(listed.size(), host_.commandList.size());
  for (size_t i = 0; i < listed.size(); ++i) {
    EXPECT_EQ(listed[i].name, host_.commandList[i].name);
    EXPECT_EQ(listed[i].help, host_.commandList[i].help);
    EXPECT_EQ(listed[i].plugin, host_.commandList[i].plugin);
  }
  const std::vector<std::wstring> tail(lines.begin() + index, lines.end());
  EXPECT_EQ(tail, (std::vector<std::wstring>{L"输入 help <命令> 查看一条命令的用法。", L""}));
}

TEST_F(ShippedPlugins, HelpDescribesOneCommand) {
  Load();
  struct Case {
    const wchar_t* arguments;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {L"calc",
       L"命令：calc\r\n说明：计算算术表达式，支持 + - * / % ^、括号和小数\r\n"
       L"用法：calc <表达式>，例如 calc (1 + 2) * 3\r\n来自：basic.lua\r\n\r\n"},
      {L"ECHO",
       L"命令：echo\r\n说明：输出文字：参数之间以一个空格连接，引号本身不输出\r\n"
       L"用法：echo <文字>，要保留连续的空格请加引号，例如 echo \"a  b\"\r\n来自：basic.lua\r\n\r\n"},
      {L"manager", L"命令：manager\r\n说明：打开插件管理窗口，启用或停用插件\r\n来自：plugin-manager.lua\r\n\r\n"},
      {L"nosuch", L"没有名为“nosuch”的命令。\r\n输入 ls 查看全部命令。\r\n\r\n"},
      {L"Update",
       L"命令：update\r\n说明：打开新版本的下载页面（程序启动时会在后台检查更新）\r\n"
       L"用法：update（检查还没有结束或失败时，它会说明原因）\r\n来自：内置命令\r\n\r\n"},
      {L"", L"用法：help <命令>\r\n输入 ls 查看全部命令。\r\n\r\n"},
      {L"ls calc", L"用法：help <命令>\r\n输入 ls 查看全部命令。\r\n\r\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(Run(L"help", c.arguments), c.expected) << WideToUtf8(c.arguments);
}

TEST_F(ShippedPlugins, HelpShowsUsageWhateverTheCaseOfBasicsFileName) {
  // Deleted and copied anew: Wine keeps the old case through a rename that changes only the case.
  ASSERT_TRUE(DeleteFileW(Child(L"basic.lua").c_str()));
  ASSERT_TRUE(CopyFileW((test::SourcePluginsDir() + L"\\basic.lua").c_str(), Child(L"BASIC.LUA").c_str(), TRUE));
  Load();
  ASSERT_TRUE(host_.basicLoaded);
  EXPECT_EQ(Run(L"help", L"source"),
            L"命令：source\r\n说明：显示插件脚本的源代码\r\n"
            L"用法：source <插件>，例如 source basic.lua\r\n来自：BASIC.LUA\r\n\r\n");
}

TEST_F(ShippedPlugins, EchoJoinsTheWordsWithSingleSpaces) {
  Load();
  struct Case {
    const wchar_t* arguments;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {L"hello", L"hello\r\n\r\n"},
      {L"Hello   World", L"Hello World\r\n\r\n"},
      {L"\"a  b\" c", L"a  b c\r\n\r\n"},
      {L"你好 世界", L"你好 世界\r\n\r\n"},
      {L"C:\\temp", L"C:\\temp\r\n\r\n"},
      {L"", L"\r\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(Run(L"echo", c.arguments), c.expected) << WideToUtf8(c.arguments);
}

TEST_F(ShippedPlugins, ClearReloadAndExitAct) {
  Load();
  EXPECT_EQ(Run(L"clear"), L"");
  EXPECT_EQ(clears_, 1);

  EXPECT_EQ(Run(L"exit"), L"再见。\r\n\r\n");
  EXPECT_EQ(exits_, 1);

  EXPECT_EQ(Run(L"reload"), L"正在重新加载全部插件……\r\n\r\n");
  ASSERT_TRUE(TakeReloadRequest(host_));
  const size_t commandCount = host_.commands.size();
  const std::wstring firstReport = report_;
  Load();
  EXPECT_TRUE(host_.basicLoaded);
  EXPECT_EQ(report_, firstReport);
  EXPECT_EQ(host_.commands.size(), commandCount);
  EXPECT_EQ(host_.menuItems.size(), 1u);
}

TEST_F(ShippedPlugins, TimeAndDateFollowTheHostClock) {
  Load();
  const std::wstring time = Run(L"time");
  EXPECT_TRUE(std::regex_match(time, std::wregex(L"当前时间：([01][0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9]\r\n\r\n")))
      << WideToUtf8(time);

  const std::wstring date = Run(L"date");
  std::wsmatch match;
  ASSERT_TRUE(std::regex_match(date, match, std::wregex(L"今天是 (\\d{4})-(\\d\\d)-(\\d\\d) (星期.)\r\n\r\n")))
      << WideToUtf8(date);
  const std::chrono::year_month_day day{std::chrono::year{std::stoi(match[1].str())},
                                        std::chrono::month{static_cast<unsigned>(std::stoi(match[2].str()))},
                                        std::chrono::day{static_cast<unsigned>(std::stoi(match[3].str()))}};
  const wchar_t* const weekdays[] = {L"星期日", L"星期一", L"星期二", L"星期三", L"星期四", L"星期五", L"星期六"};
  ASSERT_TRUE(day.ok()) << WideToUtf8(date);
  EXPECT_EQ(match[4].str(), weekdays[std::chrono::weekday{std::chrono::sys_days{day}}.c_encoding()]);
}

TEST_F(ShippedPlugins, SysinfoAlignsEveryFactUnderChineseLabels) {
  Load();
  EXPECT_EQ(Run(L"sysinfo"),
            L"程序版本  0.4.0\r\n"
            L"机器码    QL-0123-4567\r\n"
            L"编译器    MinGW-w64 / GCC\r\n"
            L"程序架构  x64\r\n"
            L"程序路径  C:\\程序\\quorvantline.exe\r\n"
            L"工作目录  C:\\程序\r\n"
            L"进程号    4242\r\n"
            L"显示 DPI  96\r\n"
            L"操作系统  Windows 10 (19045)\r\n"
            L"系统架构  x64\r\n"
            L"处理器    Intel64 Family 6\r\n"
            L"处理器数  8\r\n"
            L"内存      16.0 GB，可用 9.5 GB\r\n"
            L"计算机名  DESKTOP\r\n"
            L"用户名    用户\r\n"
            L"界面语言  zh-CN\r\n"
            L"代码页    936\r\n"
            L"系统目录  C:\\Windows\\system32\r\n"
            L"开机时长  2 天 3 小时\r\n"
            L"\r\n");
}

TEST_F(ShippedPlugins, SysinfoAndVersionWithoutCollector) {
  host_.onSystemInfo = nullptr;
  Load();
  const std::vector<std::wstring> lines = SplitLines(Run(L"sysinfo"));
  ASSERT_EQ(lines.size(), 20u);
  for (size_t i = 0; i < 19; ++i) {
    EXPECT_TRUE(lines[i].size() > 2 && lines[i].substr(lines[i].size() - 4) == L"  未知") << WideToUtf8(lines[i]);
  }
  EXPECT_EQ(lines[19], L"");
  EXPECT_EQ(Run(L"version"), L"quorvantline （版本未知）\r\n插件接口 1.0\r\n\r\n");
}

TEST_F(ShippedPlugins, VersionShowsProgramAndInterface) {
  Load();
  EXPECT_EQ(Run(L"version"), L"quorvantline 0.4.0\r\n插件接口 1.0\r\n\r\n");
}

TEST_F(ShippedPlugins, PluginsShowsStateAndCommandCount) {
  folder_.Write(L"broken.lua", "host.register{ name = \"half\", run = function() end }\nerror(\"boom\")\n");
  folder_.Write(L"quiet.lua", "-- registers nothing\n");
  folder_.Write(L"switched-off.lua", "host.register{ name = \"never\", run = function() end }\n");
  folder_.Write(L"plugin-manager\\disabled.txt", "switched-off.lua\n");
  Load();
  const std::wstring basicCount = DecimalText(host_.pluginList[0].commands);
  ASSERT_EQ(basicCount.size(), 2u) << "the expected alignment below assumes a two-digit count";
  EXPECT_EQ(Run(L"plugins"),
            L"共 7 个插件：\r\n"
            L"  basic.lua            " + basicCount + L" 条命令  已加载\r\n"
            L"  broken.lua            1 条命令  加载出错\r\n"
            L"  notes.lua             2 条命令  已加载\r\n"
            L"  plugin-manager.lua    1 条命令  已加载\r\n"
            L"  quiet.lua             0 条命令  无命令\r\n"
            L"  reminder.lua          2 条命令  已加载\r\n"
            L"  switched-off.lua      0 条命令  已停用\r\n"
            L"\r\n");
}

TEST_F(ShippedPlugins, NotesAreKeptNumberedDeletedAndCopied) {
  std::wstring clipboard;
  bool clipboardWorks = true;
  host_.onSetClipboard = [&](const std::wstring& text) {
    clipboard = text;
    return clipboardWorks;
  };
  Load();
  const std::wstring usage = L"用法：\r\n  note <文字>        记下一条笔记\r\n  notes              列出全部笔记\r\n"
                             L"  note del <编号>    删除一条笔记\r\n  note copy <编号>   把一条笔记复制到剪贴板\r\n\r\n";
  const struct {
    const wchar_t* word;
    const wchar_t* arguments;
    std::wstring output;
  } steps[] = {
      {L"notes", L"", L"还没有笔记。输入 note <文字> 记下一条。\r\n\r\n"},
      {L"note", L"", usage},
      {L"note", L"del 1", L"还没有笔记。\r\n\r\n"},
      {L"note", L"买牛奶  \"两瓶\"", L"已记下第 1 条笔记。\r\n\r\n"},
      {L"NOTE", L"Delete the tests", L"已记下第 2 条笔记。\r\n\r\n"},
      {L"notes", L"", L"共 2 条笔记：\r\n  1. 买牛奶  \"两瓶\"\r\n  2. Delete the tests\r\n\r\n"},
      {L"note", L"copy 1", L"已把第 1 条笔记复制到剪贴板。\r\n\r\n"},
      {L"note", L"del 3", L"没有第 3 条笔记，现在共有 2 条。\r\n\r\n"},
      {L"note", L"del x", L"编号应是 1 以上的整数，例如 note del 1。\r\n\r\n"},
      {L"note", L"copy 0", L"编号应是 1 以上的整数，例如 note copy 1。\r\n\r\n"},
      {L"note", L"DEL", L"用法：note del <编号>\r\n\r\n"},
      {L"note", L"copy 1 2", L"用法：note copy <编号>\r\n\r\n"},
      {L"notes", L"all", L"用法：notes（列出全部笔记）\r\n记下新笔记请用 note <文字>。\r\n\r\n"},
      {L"note", L"del 1", L"已删除第 1 条笔记：买牛奶  \"两瓶\"\r\n\r\n"},
  };
  for (const auto& step : steps) {
    EXPECT_EQ(Run(step.word, step.arguments), step.output) << WideToUtf8(step.word) << " " << WideToUtf8(step.arguments);
  }
  EXPECT_EQ(clipboard, L"买牛奶  \"两瓶\"");
  clipboardWorks = false;
  EXPECT_EQ(Run(L"note", L"copy 1"), L"无法复制：无法写入剪贴板（可能正被其他程序占用）\r\n\r\n");

  // Tab after "note": the actions, then the numbers of the notes there are.
  using Words = std::optional<std::vector<std::wstring>>;
  EXPECT_EQ(CompleteArguments(host_, L"note", L"c"), (Words{{L"del", L"copy"}}));
  EXPECT_EQ(CompleteArguments(host_, L"note", L"copy "), (Words{{L"1"}}));
  EXPECT_EQ(CompleteArguments(host_, L"note", L"del 1"), (Words{{L"1"}}));
  EXPECT_EQ(CompleteArguments(host_, L"note", L"buy milk "), (Words{std::vector<std::wstring>{}}));

  // A new load pass (reload or restart) reads the notes back.
  Load();
  EXPECT_EQ(Run(L"notes"), L"共 1 条笔记：\r\n  1. Delete the tests\r\n\r\n");
}

TEST_F(ShippedPlugins, HelpAndSourceCompleteTheirOneArgument) {
  Load();
  const std::optional<std::vector<std::wstring>> commands = CompleteArguments(host_, L"help", L"ca");
  ASSERT_TRUE(commands.has_value());
  EXPECT_EQ(commands->size(), host_.commands.size() + 1);  // every command and the built-in update
  EXPECT_EQ(commands->front(), L"update");
  EXPECT_NE(std::find(commands->begin(), commands->end(), L"calc"), commands->end());
  EXPECT_EQ(CompleteArguments(host_, L"source", L""),
            (std::optional<std::vector<std::wstring>>{{L"basic.lua", L"notes.lua", L"plugin-manager.lua", L"reminder.lua"}}));
  EXPECT_EQ(CompleteArguments(host_, L"source", L"basic.lua "), std::vector<std::wstring>{});
  EXPECT_EQ(CompleteArguments(host_, L"help", L"ls x"), std::vector<std::wstring>{});
}

TEST_F(ShippedPlugins, SourcePrintsAScriptOrSaysWhyNot) {
  folder_.Write(L"empty.lua", "");
  folder_.Write(L"locked.lua", "-- locked\n");
  Load();
  std::string managerBytes;
  ASSERT_TRUE(ReadWholeFile(Child(L"plugin-manager.lua"), managerBytes));
  const std::wstring managerText = Utf8ToWide(managerBytes);
  ASSERT_FALSE(managerText.empty());
  ASSERT_EQ(managerText.back(), L'\n');
  EXPECT_EQ(Run(L"source", L"plugin-manager.lua"), managerText + L"\r\n");
  EXPECT_EQ(Run(L"source", L"PLUGIN-MANAGER"), managerText + L"\r\n");

  struct Case {
    const wchar_t* arguments;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {L"nosuch.lua", L"没有名为“nosuch.lua”的插件。\r\n输入 plugins 查看全部插件。\r\n\r\n"},
      {L"empty.lua", L"empty.lua 是一个空文件。\r\n\r\n"},
      {L"", L"用法：source <插件>，例如 source basic.lua\r\n\r\n"},
      {L"basic.lua extra", L"用法：source <插件>，例如 source basic.lua\r\n\r\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(Run(L"source", c.arguments), c.expected) << WideToUtf8(c.arguments);

  // A file held open for writing cannot be read.
  HANDLE writer = CreateFileW(Child(L"locked.lua").c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Run(L"source", L"locked.lua"), L"无法读取插件“locked.lua”的源代码。\r\n\r\n");
  CloseHandle(writer);
}

TEST_F(ShippedPlugins, CalcEvaluatesArithmeticLikeLua) {
  Load();
  const std::wstring deep150 = std::wstring(150, L'(') + L"1" + std::wstring(150, L')');
  const std::wstring deep300 = std::wstring(300, L'(') + L"1" + std::wstring(300, L')');
  struct Case {
    std::wstring expression;
    std::wstring expected;
  };
  const Case cases[] = {
      {L"1+2*3", L"= 7"},
      {L"(1 + 2) * 3", L"= 9"},
      {L"10 - 2 - 3", L"= 5"},
      {L"100 / 10 / 4", L"= 2.5"},
      {L"2 * 3 % 4", L"= 2"},
      {L"2^3^2", L"= 512"},
      {L"-2^2", L"= -4"},
      {L"(-2)^2", L"= 4"},
      {L"2^-1", L"= 0.5"},
      {L"- -3", L"= 3"},
      {L"3*-2", L"= -6"},
      {L"+4", L"= 4"},
      {L"7 % 3", L"= 1"},
      {L"-7 % 3", L"= 2"},
      {L"7 % -3", L"= -2"},
      {L"5.5 % 2", L"= 1.5"},
      {L"1/3", L"= 0.33333333333333"},
      {L"0.1 + 0.2", L"= 0.3"},
      {L".5 + 5.", L"= 5.5"},
      {L"1e3 + 1", L"= 1001"},
      {L"2^0.5", L"= 1.4142135623731"},
      {L"-0", L"= 0"},
      {L"2^53", L"= 9007199254740992"},
      {L"-2^53", L"= -9007199254740992"},
      {L"2^53 - 1", L"= 9007199254740991"},
      {L"123456789 * 1000000", L"= 123456789000000"},
      {L"2^54", L"= 1.8014398509482e+16"},
      {L"2^62", L"= 4.6116860184274e+18"},
      {L"-1/8", L"= -0.125"},
      {L"\"(1 + 2)\" * 3", L"= 9"},
      {L"（1＋2）×３", L"= 9"},
      {deep150, L"= 1"},
      {L"1/0", L"无法计算：除数不能为零。"},
      {L"0/0", L"无法计算：除数不能为零。"},
      {L"1/(2-2)", L"无法计算：除数不能为零。"},
      {L"5 % 0", L"无法计算：取余运算的除数不能为零。"},
      {L"10^400", L"无法计算：结果超出数值范围。"},
      {L"(-8)^(1/3)", L"无法计算：结果不是实数。"},
      {L"1 +", L"无法计算：表达式不完整。"},
      {L"-", L"无法计算：表达式不完整。"},
      {L"(1 + 2", L"无法计算：缺少右括号“)”。"},
      {L"1 + 2)", L"无法计算：第 6 个字符处的“)”不应出现在这里。"},
      {L"2 3", L"无法计算：第 3 个字符处的“3”不应出现在这里。"},
      {L"()", L"无法计算：第 2 个字符处的“)”不应出现在这里。"},
      {L"*2", L"无法计算：第 1 个字符处的“*”不应出现在这里。"},
      {L"2 ** 3", L"无法计算：第 4 个字符处的“*”不应出现在这里。"},
      {L"1.2.3", L"无法计算：第 4 个字符处的“.3”不应出现在这里。"},
      {L"abc", L"无法计算：第 1 个字符“a”无法识别。"},
      {L"1 + 好", L"无法计算：第 5 个字符“好”无法识别。"},
      {L"2x", L"无法计算：第 2 个字符“x”无法识别。"},
      {L".", L"无法计算：第 1 个字符“.”前后缺少数字。"},
      {deep300, L"无法计算：表达式嵌套太深。"},
      {L"", L"用法：calc <表达式>，例如 calc (1 + 2) * 3"},
      {L"\"\"", L"用法：calc <表达式>，例如 calc (1 + 2) * 3"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Run(L"calc", c.expression), c.expected + L"\r\n\r\n") << WideToUtf8(c.expression);
  }
}

// Whatever a user types after a command, the answer is a message, never a
// script error, and every block of output ends with one empty line.
TEST_F(ShippedPlugins, RemindersNotifyOnTimeAndOutliveAReload) {
  std::wstring notified;
  host_.onNotify = [&](const std::wstring& title, const std::wstring& text) {
    notified += title + L": " + text + L"\n";
    return true;
  };
  Load();
  const struct {
    const wchar_t* word;
    const wchar_t* arguments;
    const wchar_t* output;  // the start of what it prints
  } steps[] = {
      {L"reminders", L"", L"没有等待中的提醒。\r\n\r\n"},
      {L"remind", L"10m 喝水", L"10 分后提醒：喝水\r\n\r\n"},
      {L"remind", L"1.5h  站起来 走走 ", L"1 小时 30 分后提醒：站起来 走走\r\n\r\n"},
      {L"remind", L"1s 到点了", L"1 秒后提醒：到点了\r\n\r\n"},
      {L"remind", L"10x 喝水", L"时长应是数字加单位 s、m 或 h，例如 remind 10m 喝水。\r\n\r\n"},
      {L"remind", L"8d 喝水", L"时长应是数字加单位"},
      {L"remind", L"200h 喝水", L"最长只能提醒 7 天之后的事。\r\n\r\n"},
      {L"remind", L"5m", L"请写上提醒的内容，例如 remind 10m 喝水。\r\n\r\n"},
      {L"remind", L"cancel 9", L"没有第 9 条提醒，现在共有 3 条。\r\n\r\n"},
      {L"reminders", L"", L"1. 到点了（"},
  };
  for (const auto& step : steps) {
    const std::wstring output = Run(step.word, step.arguments);
    EXPECT_EQ(output.rfind(step.output, 0), 0u) << WideToUtf8(step.arguments) << ": " << WideToUtf8(output);
  }
  // The one-second reminder is shown by its timer, as a notification and in the log.
  Sleep(1200);
  output_.clear();
  while (RunDueTimers(host_)) {
  }
  EXPECT_EQ(output_, L"[提醒] 到点了\r\n\r\n");
  EXPECT_EQ(notified, L"提醒: 到点了\n");
  // A reload (or a restart) keeps the pending ones; cancelling forgets one for good.
  Load();
  const std::vector<std::wstring> listed = SplitLines(Run(L"reminders"));
  ASSERT_EQ(listed.size(), 3u);
  EXPECT_EQ(listed[0].rfind(L"1. 喝水（", 0), 0u) << WideToUtf8(listed[0]);
  EXPECT_EQ(listed[1].rfind(L"2. 站起来 走走（1 小时 ", 0), 0u) << WideToUtf8(listed[1]);
  EXPECT_EQ(Run(L"remind", L"cancel 1"), L"已取消提醒：喝水\r\n\r\n");
  Load();
  EXPECT_EQ(SplitLines(Run(L"reminders")).size(), 2u);
  EXPECT_EQ(host_.timers.Size(), 1u);
}

TEST_F(ShippedPlugins, NoTypingMistakeRaisesAScriptError) {
  Load();
  const std::vector<CommandSummary> commands = host_.commandList;
  const wchar_t* const arguments[] = {L"", L"x", L"\"\"", L"a b c", L"(((", L"1/0", L"\"unclosed", L"-- \x00E9\x4E2D"};
  for (const CommandSummary& command : commands) {
    for (const wchar_t* argument : arguments) {
      const std::wstring output = Run(command.name, argument);
      EXPECT_EQ(output.find(L"插件错误"), std::wstring::npos) << WideToUtf8(command.name + L" " + argument);
      const bool blockEnds = output.empty() || output == L"\r\n" ||
                             (output.size() >= 3 && output.substr(output.size() - 3) == L"\n\r\n");
      EXPECT_TRUE(blockEnds) << WideToUtf8(command.name + L" " + argument) << ": " << WideToUtf8(output);
    }
  }
  EXPECT_TRUE(host_.basicLoaded);
}

}  // namespace
}  // namespace qv
