// Load passes over plugin folders that the tests build.
#include <gtest/gtest.h>

#include "base/text.h"
#include "host/loading.h"
#include "host_fixture.h"

namespace qv {
namespace {

std::vector<std::wstring> LoadOrder(const PluginHost& host) {
  std::vector<std::wstring> names;
  for (const auto& record : host.plugins) names.push_back(FileNameOf(record->path));
  return names;
}

std::vector<std::wstring> LogLines(const std::wstring& log) {
  std::vector<std::wstring> lines;
  size_t start = 0;
  for (size_t end; (end = log.find(L"\r\n", start)) != std::wstring::npos; start = end + 2) {
    lines.push_back(log.substr(start, end - start));
  }
  if (start < log.size()) lines.push_back(log.substr(start));
  return lines;
}

TEST(LoadPlugins, BasicFirstThenOrdinalOrder) {
  test::CapturedHost captured;
  for (const wchar_t* name : {L"alpha.lua", L"Zeta.lua", L"BASIC.LUA", L"_under.lua", L"beta.lua"}) {
    captured.folder.Write(name, "");
  }
  CreateDirectoryW(captured.folder.Child(L"x.lua").c_str(), nullptr);
  captured.folder.Write(L"notes.txt", "");
  captured.Load();
  EXPECT_EQ(LoadOrder(captured.host),
            (std::vector<std::wstring>{L"BASIC.LUA", L"Zeta.lua", L"_under.lua", L"alpha.lua", L"beta.lua"}));
  EXPECT_TRUE(captured.host.basicLoaded);
  EXPECT_FALSE(captured.host.loading);
}

TEST(LoadPlugins, ReportLinesForEveryKindOfFolder) {
  struct File {
    const wchar_t* name;
    std::string content;
  };
  const std::string bom = "\xEF\xBB\xBF";
  const struct {
    const char* title;
    std::vector<File> files;
    std::vector<std::wstring> lines;  // with {dir} for the plugin folder
    bool basicLoaded;
  } cases[] = {
      {"empty folder", {}, {L"[插件] 缺少 basic.lua，程序无法启动。", L"[插件] 未找到脚本：{dir}\\*.lua"}, false},
      {"only basic",
       {{L"basic.lua", "host.register{ name = 'a', run = print }"}},
       {L"[插件] 目录：{dir}", L"[插件] 已加载 1/1 个脚本，注册 1 条命令。"},
       true},
      {"basic with a byte-order mark, one script of the mark only",
       {{L"basic.lua", bom + "host.register{ name = 'a', run = print }"}, {L"mark.lua", bom}},
       {L"[插件] 目录：{dir}", L"[插件] 已加载 2/2 个脚本，注册 1 条命令。"},
       true},
      {"no basic among others",
       {{L"other.lua", ""}},
       {L"[插件] 缺少 basic.lua，程序无法启动。", L"[插件] 目录：{dir}", L"[插件] 已加载 1/1 个脚本，注册 0 条命令。"},
       false},
      {"compile error in basic",
       {{L"basic.lua", "this is not lua"}},
       {L"[插件] basic.lua 加载失败：basic.lua:1: syntax error near 'is'", L"[插件] 目录：{dir}",
        L"[插件] 已加载 0/1 个脚本，注册 0 条命令。"},
       false},
      {"run error after a registration",
       {{L"basic.lua", ""}, {L"half.lua", "host.register{ name = 'kept', run = print }\nerror('late')"}},
       {L"[插件] half.lua 运行出错：half.lua:2: late\nstack traceback:\n\t[C]: in function 'error'\n\t"
        L"half.lua:2: in main chunk",
        L"[插件] 目录：{dir}",
        L"[插件] 已加载 1/2 个脚本，注册 1 条命令。"},
       true},
      {"precompiled chunk refused",
       {{L"basic.lua", ""}, {L"binary.lua", "\x1bLua\x54"}},
       {L"[插件] binary.lua 加载失败：attempt to load a binary chunk (mode is 't')", L"[插件] 目录：{dir}",
        L"[插件] 已加载 1/2 个脚本，注册 0 条命令。"},
       true},
      {"prints during load stay in order",
       {{L"basic.lua", "print('hello from basic')"}, {L"b.lua", "print('b says', 1)"}},
       {L"hello from basic", L"b says\t1", L"[插件] 目录：{dir}", L"[插件] 已加载 2/2 个脚本，注册 0 条命令。"},
       true},
      {"a script saved in GBK still loads, with a hint",
       {{L"basic.lua", ""}, {L"gbk.lua", "local greeting = '\xC4\xE3\xBA\xC3'"}},
       {L"[插件] gbk.lua 不是有效的 UTF-8 文本，可能是以 GBK 保存的，请另存为 UTF-8。", L"[插件] 目录：{dir}",
        L"[插件] 已加载 2/2 个脚本，注册 0 条命令。"},
       true},
      {"disabled scripts are skipped and counted",
       {{L"basic.lua", ""}, {L"a.lua", ""}, {L"b.lua", "error('never runs')"},
        {L"plugin-manager\\disabled.txt", "B.LUA\r\nbasic.lua\n"}},
       {L"[插件] 目录：{dir}", L"[插件] 已加载 2/3 个脚本，跳过 1 个已禁用，注册 0 条命令。"},
       true},
  };
  for (const auto& c : cases) {
    test::CapturedHost captured;
    for (const File& file : c.files) captured.folder.Write(file.name, file.content);
    captured.Load();
    std::vector<std::wstring> expected;
    for (std::wstring line : c.lines) {
      for (size_t at; (at = line.find(L"{dir}")) != std::wstring::npos;) line.replace(at, 5, captured.folder.path());
      expected.push_back(line);
    }
    EXPECT_EQ(LogLines(captured.host.pendingLog), expected) << c.title;
    EXPECT_EQ(captured.host.basicLoaded, c.basicLoaded) << c.title;
  }
}

TEST(LoadPlugins, DisabledListLineRules) {
  const struct {
    std::string content;
    std::vector<std::wstring> skipped;
  } cases[] = {
      {"alpha.lua\n", {L"alpha.lua"}},
      {"ALPHA.lua\r\n\r\n\nbeta.lua", {L"alpha.lua", L"beta.lua"}},
      {"alpha.lua \n", {}},
      {"\xEF\xBB\xBF" "alpha.lua\nbeta.lua\n", {L"beta.lua"}},
      {"basic.lua\n", {}},
      {"\xFF\xFE\n\n\nalpha.lua", {L"alpha.lua"}},
      {"\talpha.lua\n", {}},
      {"", {}},
  };
  for (const auto& c : cases) {
    test::CapturedHost captured;
    for (const wchar_t* name : {L"basic.lua", L"alpha.lua", L"beta.lua"}) captured.folder.Write(name, "");
    captured.folder.Write(L"plugin-manager\\disabled.txt", c.content);
    captured.Load();
    std::vector<std::wstring> skipped;
    for (const auto& record : captured.host.plugins) {
      if (record->disabled) {
        skipped.push_back(FileNameOf(record->path));
        EXPECT_EQ(record->luaState, nullptr);
      }
    }
    EXPECT_EQ(skipped, c.skipped) << c.content;
  }
}

TEST(LoadPlugins, UnreadableScripts) {
  test::CapturedHost captured;
  captured.folder.Write(L"basic.lua", "");
  const std::wstring locked = captured.folder.Write(L"locked.lua", "print('x')");
  const std::wstring huge = captured.folder.Child(L"huge.lua");
  {
    HANDLE file = CreateFileW(huge.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    LARGE_INTEGER size;
    size.QuadPart = 64ll * 1024 * 1024 + 1;
    SetFilePointerEx(file, size, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    CloseHandle(file);
  }
  HANDLE writer = CreateFileW(locked.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  captured.Load();
  CloseHandle(writer);
  const std::wstring& log = captured.host.pendingLog;
  EXPECT_NE(log.find(L"[插件] 无法读取：" + huge + L"\r\n"), std::wstring::npos) << WideToUtf8(log);
  EXPECT_NE(log.find(L"[插件] 无法读取：" + locked + L"\r\n"), std::wstring::npos);
  EXPECT_NE(log.find(L"已加载 1/3 个脚本"), std::wstring::npos);
  EXPECT_TRUE(captured.host.plugins[1]->loadFailed);
  EXPECT_NE(captured.host.plugins[1]->luaState, nullptr);  // a failed script keeps its state
}

TEST(LoadPlugins, MissingFolderIsCreatedAndEmptyDirectoryIsReported) {
  PluginHost host;
  LoadPlugins(host);
  EXPECT_EQ(host.pendingLog, L"[插件] 未设置插件目录。\r\n");
  EXPECT_FALSE(host.loading);

  test::TempFolder parent;
  host.pluginsDir = parent.Child(L"plugins");
  LoadPlugins(host);
  EXPECT_TRUE(test::FolderExists(host.pluginsDir));
  EXPECT_EQ(host.pendingLog,
            L"[插件] 缺少 basic.lua，程序无法启动。\r\n[插件] 未找到脚本：" + host.pluginsDir + L"\\*.lua\r\n");
}

TEST(LoadPlugins, ANewPassLeavesNothingOfThePreviousOne) {
  test::CapturedHost captured;
  captured.folder.Write(L"basic.lua", R"(
    counter = (counter or 0) + 1
    host.register{ name = 'count', run = function() print(counter) end }
    host.menu('entry', 'count')
    host.register{ name = 'addmenu', run = function() host.menu('late', 'count') end }
  )");
  captured.Load();
  captured.Run(L"addmenu");
  ASSERT_EQ(captured.host.menuItems.size(), 2u);
  captured.host.pendingLog = L"stale text";
  captured.Load();
  EXPECT_EQ(captured.host.menuItems.size(), 1u);
  EXPECT_EQ(captured.host.commands.size(), 2u);
  EXPECT_EQ(captured.host.plugins.size(), 1u);
  EXPECT_EQ(captured.host.pendingLog.find(L"stale"), std::wstring::npos);
  EXPECT_EQ(captured.Run(L"count"), L"1\r\n");  // globals did not survive
}

TEST(LoadPlugins, FiftyScriptsLoadInOnePass) {
  test::CapturedHost captured;
  captured.folder.Write(L"basic.lua", "");
  for (int i = 0; i < 50; ++i) {
    captured.folder.Write(L"p" + std::to_wstring(i) + L".lua",
                          "host.register{ name = 'c" + std::to_string(i) + "', run = print }");
  }
  captured.Load();
  EXPECT_NE(captured.host.pendingLog.find(L"已加载 51/51 个脚本，注册 50 条命令。"), std::wstring::npos);
  EXPECT_EQ(captured.host.pluginList.size(), 51u);
}

TEST(ParseDisabledList, SplitsLinesByTheReaderRules) {
  EXPECT_EQ(ParseDisabledList("a\r\nb\n\r\n c \r\r\nd"),
            (std::vector<std::wstring>{L"a", L"b", L" c \r", L"d"}));
  EXPECT_TRUE(ParseDisabledList("\n\n\r\n").empty());
}

}  // namespace
}  // namespace qv
