// Switching plugins on and off at run time, the saved disabled list and the
// snapshot that the plugin manager reverts to, on real files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/handles.h"
#include "base/text.h"
#include "host/plugin_host.h"
#include "host/commands.h"
#include "host/enable_state.h"
#include "host_fixture.h"

namespace qv {
namespace {

// Load order: basic.lua, then ordinal order, so "Notes.Lua" comes before "a.lua".
struct PluginFolder : test::CapturedHost {
  PluginFolder() {
    folder.Write(L"basic.lua", R"(
      host.register{ name = 'hello', run = function() print('hello') end }
      host.menu('Hello', 'hello')
    )");
    folder.Write(L"a.lua", R"(
      runs = (runs or 0) + 1
      print('a loaded ' .. runs)
      host.register{ name = 'alpha', run = function() print('alpha') end }
      host.register{ name = 'alpha2', run = function() end }
      host.menu('Alpha one', 'alpha')
      host.menu('Alpha two', 'alpha2')
    )");
    folder.Write(L"b.lua", R"(
      host.register{ name = 'beta', run = function() end }
      host.menu('Beta', 'beta')
    )");
    folder.Write(L"Notes.Lua", "host.register{ name = 'notes', run = function() end }\n");
    folder.Write(L"broken.lua", "host.register{ name = 'half', run = function() end }\nerror('boom')\n");
  }

  std::wstring DisabledFile() const { return DisabledListPath(host); }
  std::string DisabledBytes() const { return test::ReadBytes(DisabledFile()); }

  const PluginSummary* Summary(const std::wstring& name) const {
    for (const PluginSummary& row : host.pluginList) {
      if (row.name == name) return &row;
    }
    return nullptr;
  }

  std::vector<std::wstring> DisabledNames() const {
    std::vector<std::wstring> names;
    for (const auto& record : host.plugins) {
      if (record->disabled) names.push_back(FileNameOf(record->path));
    }
    return names;
  }

  std::vector<std::wstring> MenuLabels() const {
    std::vector<std::wstring> labels;
    for (const MenuItem& item : host.menuItems) labels.push_back(item.label);
    return labels;
  }
};

struct Switch {
  const wchar_t* name;
  bool enable;
};

TEST(EnableState, DisabledFileListsLoadOrderWithTheFileSystemsCase) {
  const struct {
    const char* what;
    std::vector<Switch> switches;
    std::string bytes;
  } cases[] = {
      {"b then a", {{L"b.lua", false}, {L"a.lua", false}}, "a.lua\r\nb.lua\r\n"},
      {"a then b", {{L"a.lua", false}, {L"b.lua", false}}, "a.lua\r\nb.lua\r\n"},
      {"case kept", {{L"notes.lua", false}}, "Notes.Lua\r\n"},
      {"upper-case request", {{L"A.LUA", false}, {L"b.lua", false}}, "a.lua\r\nb.lua\r\n"},
      {"off and on again", {{L"a.lua", false}, {L"a.lua", true}}, ""},
      {"already enabled", {{L"a.lua", true}}, ""},
      {"mixed", {{L"b.lua", false}, {L"Notes.Lua", false}, {L"a.lua", false}, {L"b.lua", true}},
       "Notes.Lua\r\na.lua\r\n"},
  };
  for (const auto& c : cases) {
    PluginFolder plugins;
    plugins.Load();
    for (const Switch& s : c.switches) {
      EXPECT_TRUE(SetPluginEnabledAndSave(plugins.host, s.name, s.enable)) << c.what;
    }
    EXPECT_TRUE(test::FileExists(plugins.DisabledFile())) << c.what;
    EXPECT_EQ(plugins.DisabledBytes(), c.bytes) << c.what;
    EXPECT_FALSE(test::FileExists(plugins.DisabledFile() + L".tmp")) << c.what;

    // The next load pass reads back exactly the plugins that were disabled.
    const std::vector<std::wstring> disabled = plugins.DisabledNames();
    plugins.Load();
    EXPECT_EQ(plugins.DisabledNames(), disabled) << c.what;
  }
}

TEST(EnableState, RefusedRequestsChangeNothingAndWriteNothing) {
  const struct {
    const char* what;
    Switch request;
  } cases[] = {
      {"unknown plugin", {L"missing.lua", false}},
      {"unknown plugin enabled", {L"missing.lua", true}},
      {"failed plugin off", {L"broken.lua", false}},
      {"failed plugin on", {L"broken.lua", true}},
      {"folder part in the name", {L"plugins\\a.lua", false}},
  };
  for (const auto& c : cases) {
    for (const bool fileExisted : {false, true}) {
      PluginFolder plugins;
      if (fileExisted) plugins.folder.Write(L"plugin-manager\\disabled.txt", "gone.lua\n");
      plugins.Load();
      const size_t commands = plugins.host.commands.size();
      EXPECT_FALSE(SetPluginEnabledAndSave(plugins.host, c.request.name, c.request.enable)) << c.what;
      EXPECT_EQ(test::FileExists(plugins.DisabledFile()), fileExisted) << c.what;
      if (fileExisted) {
        EXPECT_EQ(plugins.DisabledBytes(), "gone.lua\n") << c.what;
      }
      EXPECT_TRUE(plugins.DisabledNames().empty()) << c.what;
      EXPECT_EQ(plugins.host.commands.size(), commands) << c.what;
    }
  }
  // The failed script keeps its state and mark: it stays "加载失败", not disabled.
  PluginFolder plugins;
  plugins.Load();
  const PluginSummary* broken = plugins.Summary(L"broken.lua");
  ASSERT_NE(broken, nullptr);
  EXPECT_FALSE(broken->ok);
  EXPECT_TRUE(broken->enabled);
}

TEST(EnableState, DisablingRemovesCommandsAndMenuEntriesAtOnce) {
  PluginFolder plugins;
  plugins.Load();
  ASSERT_EQ(plugins.MenuLabels(), (std::vector<std::wstring>{L"Hello", L"Alpha one", L"Alpha two", L"Beta"}));
  ASSERT_EQ(plugins.Summary(L"a.lua")->commands, 2);

  ASSERT_TRUE(SetPluginEnabled(plugins.host, L"a.lua", false));
  EXPECT_FALSE(HasCommand(plugins.host, L"alpha"));
  EXPECT_FALSE(HasCommand(plugins.host, L"alpha2"));
  EXPECT_TRUE(HasCommand(plugins.host, L"beta"));
  EXPECT_EQ(plugins.MenuLabels(), (std::vector<std::wstring>{L"Hello", L"Beta"}));
  const PluginSummary* a = plugins.Summary(L"a.lua");
  EXPECT_EQ(a->commands, 0);
  EXPECT_FALSE(a->enabled);
  EXPECT_EQ(FindPlugin(plugins.host, L"a.lua")->luaState, nullptr);
  bool listed = false;
  for (const CommandSummary& command : plugins.host.commandList) listed = listed || command.name == L"alpha";
  EXPECT_FALSE(listed);
}

TEST(EnableState, EnablingRunsTheBodyAgainAndItsPrintsReachTheConsoleAtOnce) {
  PluginFolder plugins;
  plugins.folder.Write(L"plugin-manager\\disabled.txt", "a.lua\r\n");
  plugins.Load();
  ASSERT_TRUE(plugins.DisabledNames() == std::vector<std::wstring>{L"a.lua"});
  ASSERT_TRUE(plugins.output.empty());

  ASSERT_TRUE(SetPluginEnabledAndSave(plugins.host, L"a.lua", true));
  EXPECT_EQ(plugins.output, L"a loaded 1\r\n");
  EXPECT_EQ(plugins.Run(L"alpha"), L"alpha\r\n");
  // Its entries come back at the end of the menu.
  EXPECT_EQ(plugins.MenuLabels(),
            (std::vector<std::wstring>{L"Hello", L"Beta", L"Alpha one", L"Alpha two"}));
  EXPECT_EQ(plugins.Summary(L"a.lua")->commands, 2);
  EXPECT_EQ(plugins.DisabledBytes(), "");

  // Off and on again: a fresh state, so the global counter starts over.
  plugins.output.clear();
  ASSERT_TRUE(SetPluginEnabled(plugins.host, L"a.lua", false));
  ASSERT_TRUE(SetPluginEnabled(plugins.host, L"a.lua", true));
  EXPECT_EQ(plugins.output, L"a loaded 1\r\n");
}

TEST(EnableState, RevertGoesBackToTheSnapshotAlsoForPluginsToggledTwice) {
  PluginFolder plugins;
  plugins.folder.Write(L"plugin-manager\\disabled.txt", "b.lua\n");
  plugins.Load();
  TakeEnableSnapshot(plugins.host);
  const Switch clicks[] = {{L"a.lua", false},     {L"b.lua", true},      {L"Notes.Lua", false},
                           {L"Notes.Lua", true},  {L"a.lua", true},      {L"a.lua", false}};
  for (const Switch& click : clicks) ASSERT_TRUE(SetPluginEnabledAndSave(plugins.host, click.name, click.enable));
  ASSERT_EQ(plugins.DisabledBytes(), "a.lua\r\n");

  RevertToEnableSnapshot(plugins.host);
  EXPECT_EQ(plugins.DisabledBytes(), "b.lua\r\n");
  EXPECT_EQ(plugins.DisabledNames(), std::vector<std::wstring>{L"b.lua"});
  EXPECT_TRUE(HasCommand(plugins.host, L"alpha"));
  EXPECT_TRUE(HasCommand(plugins.host, L"notes"));
  EXPECT_FALSE(HasCommand(plugins.host, L"beta"));
  EXPECT_TRUE(plugins.host.enableSnapshot.empty());

  // With the snapshot used up, a revert only rewrites the file from the flags.
  plugins.folder.Write(L"plugin-manager\\disabled.txt", "junk\r\n");
  RevertToEnableSnapshot(plugins.host);
  EXPECT_EQ(plugins.DisabledBytes(), "b.lua\r\n");
  EXPECT_EQ(plugins.DisabledNames(), std::vector<std::wstring>{L"b.lua"});
}

TEST(EnableState, FailedSaveLeavesTheOldFileIntact) {
  enum class Obstacle { TempIsFolder, TempHeldOpen, TargetHeldOpen };
  const struct {
    const char* what;
    Obstacle obstacle;
  } cases[] = {
      {"a folder named disabled.txt.tmp", Obstacle::TempIsFolder},
      {"the temporary file held open", Obstacle::TempHeldOpen},
      {"disabled.txt held open without delete sharing", Obstacle::TargetHeldOpen},
  };
  for (const auto& c : cases) {
    PluginFolder plugins;
    plugins.folder.Write(L"plugin-manager\\disabled.txt", "b.lua\r\n");
    plugins.Load();
    const std::wstring target = plugins.DisabledFile();
    const std::wstring temporary = target + L".tmp";
    UniqueHandle holder;
    switch (c.obstacle) {
      case Obstacle::TempIsFolder:
        ASSERT_TRUE(CreateDirectoryW(temporary.c_str(), nullptr));
        break;
      case Obstacle::TempHeldOpen:
        holder.reset(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                 nullptr));
        ASSERT_TRUE(holder);
        break;
      case Obstacle::TargetHeldOpen:
        holder.reset(CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(holder);
        break;
    }
    // The switch itself succeeds in memory; only the file keeps its old content.
    EXPECT_TRUE(SetPluginEnabledAndSave(plugins.host, L"a.lua", false)) << c.what;
    EXPECT_FALSE(HasCommand(plugins.host, L"alpha")) << c.what;
    EXPECT_FALSE(SaveDisabledList(plugins.host)) << c.what;
    holder.reset();
    EXPECT_EQ(plugins.DisabledBytes(), "b.lua\r\n") << c.what;
    if (c.obstacle == Obstacle::TargetHeldOpen) {
      EXPECT_FALSE(test::FileExists(temporary)) << c.what << ": the temporary file is removed";
      // Once the obstacle is gone the next save goes through.
      EXPECT_TRUE(SaveDisabledList(plugins.host)) << c.what;
      EXPECT_EQ(plugins.DisabledBytes(), "a.lua\r\nb.lua\r\n") << c.what;
    }
  }
}

}  // namespace
}  // namespace qv
