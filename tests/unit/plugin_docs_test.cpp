// What plugin authors read, checked against the program: every Lua example of
// the guide (docs/plugins.md) runs through the host beside the shipped
// basic.lua and prints what the guide shows, and the editor stubs
// (lua-types/host.lua) declare exactly the fields that scripts find.
//
// In the guide, a ```lua block is one plugin script. An HTML comment right
// before it may name the file and the command lines to type:
//   <!-- example file: notes.lua | run: note 买牛奶 | run: notes -->
// ("keep" loads it beside the previous example's scripts). The output the
// guide shows for it is the next fenced block after "<!-- output -->": what
// its load pass printed (without the two summary lines of the start-up log),
// then for each command line "> line" and the command's output, with the
// plugin folder shown as C:\quorvantline\plugins.
#include <windows.h>

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/text.h"
#include "console/command_line.h"
#include "host/plugin_host.h"
#include "host/commands.h"
#include "host/execute.h"
#include "host/loading.h"
#include "host/script_env.h"
#include "host_fixture.h"
#include "tests/support/test_files.h"

namespace qv {
namespace {

constexpr wchar_t kShownPluginsDir[] = L"C:\\quorvantline\\plugins";

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

std::string Trim(const std::string& text) {
  const size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string::npos) return {};
  return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

// ---- The guide's examples -------------------------------------------------------

struct Example {
  size_t line = 0;  // of the ```lua fence, for messages
  std::string file = "example.lua";
  bool keep = false;
  std::vector<std::string> commands;
  std::string script;
  std::optional<std::string> shown;
};

// Applies one "key: value" setting of an example comment; false when unknown.
bool ApplySetting(Example& example, const std::string& setting) {
  const size_t colon = setting.find(':');
  const std::string key = Trim(setting.substr(0, colon));
  const std::string value = colon == std::string::npos ? std::string() : Trim(setting.substr(colon + 1));
  if (key == "file") example.file = value;
  else if (key == "run") example.commands.push_back(value);
  else if (key == "keep") example.keep = true;
  else return false;
  return true;
}

std::vector<Example> ParseExamples(const std::string& guide, std::vector<std::string>& problems) {
  const std::vector<std::string> lines = SplitLines(guide);
  std::vector<Example> examples;
  std::optional<Example> pending;
  bool outputNext = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (StartsWith(line, "<!-- example")) {
      pending = Example{};
      std::string settings = line.substr(12);
      while (settings.find("-->") == std::string::npos && i + 1 < lines.size()) settings += " | " + lines[++i];
      settings.erase(settings.find("-->"));
      for (size_t start = 0; start <= settings.size();) {
        size_t bar = settings.find(" | ", start);
        if (bar == std::string::npos) bar = settings.size();
        const std::string setting = Trim(settings.substr(start, bar - start));
        if (!setting.empty() && !ApplySetting(*pending, setting)) {
          problems.push_back("line " + std::to_string(i + 1) + ": unknown setting \"" + setting + "\"");
        }
        start = bar + 3;
      }
    } else if (line == "<!-- output -->") {
      outputNext = true;
    } else if (StartsWith(line, "```")) {
      const size_t fence = i;
      std::string body;
      while (++i < lines.size() && lines[i] != "```") body += lines[i] + "\n";
      if (line == "```lua") {
        Example example = pending.value_or(Example{});
        example.line = fence + 1;
        example.script = body;
        examples.push_back(std::move(example));
      } else if (outputNext) {
        if (examples.empty() || examples.back().shown) {
          problems.push_back("line " + std::to_string(fence + 1) + ": output block without its example");
        } else {
          examples.back().shown = body;
        }
      }
      pending.reset();
      outputNext = false;
    }
  }
  return examples;
}

// A plugin folder at a short path: Lua shortens a script's path in its
// messages past 59 bytes, and the guide shows whole paths.
class ShortFolder {
 public:
  ShortFolder() {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp, 3) + L"qvguide-" + std::to_wstring(GetCurrentProcessId());
    test::RemoveTree(path_);
    CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~ShortFolder() { test::RemoveTree(path_); }
  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_;
};

// The shipped basic.lua and the examples' scripts in one host, driven the way
// the console drives it.
class GuideHost {
 public:
  GuideHost() {
    CopyFileW((test::SourcePluginsDir() + L"\\basic.lua").c_str(), (folder_.path() + L"\\basic.lua").c_str(), FALSE);
    host_.pluginsDir = folder_.path();
    host_.onOutput = [this](const std::wstring& text) { transcript_ += text; };
  }

  // Writes the script, loads the folder, types the command lines; returns what
  // the console would show, as the guide shows it.
  std::string Run(const Example& example) {
    test::WriteBytes(folder_.path() + L"\\" + Utf8ToWide(example.file), example.script);
    transcript_.clear();
    LoadPlugins(host_);
    for (const std::wstring& line : SplitWideLines(TakePendingLog(host_))) {
      if (line.rfind(L"[插件] 目录：", 0) != 0 && line.rfind(L"[插件] 已加载 ", 0) != 0) transcript_ += line + L"\n";
    }
    for (const std::string& command : example.commands) {
      transcript_ += L"> " + Utf8ToWide(command) + L"\n";
      const SplitLine split = SplitCommandLine(TrimWhitespace(Utf8ToWide(command)));
      EXPECT_TRUE(HasCommand(host_, split.word)) << command;
      ExecuteCommand(host_, split.word, split.arguments);
      if (TakeReloadRequest(host_)) {
        LoadPlugins(host_);
        transcript_ += TakePendingLog(host_);
      }
    }
    std::wstring shown;
    for (const wchar_t c : transcript_) {
      if (c != L'\r') shown += c;
    }
    for (size_t at; (at = shown.find(folder_.path())) != std::wstring::npos;) {
      shown.replace(at, folder_.path().size(), kShownPluginsDir);
    }
    return WideToUtf8(shown);
  }

 private:
  static std::vector<std::wstring> SplitWideLines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    for (const std::string& line : SplitLines(WideToUtf8(text))) lines.push_back(Utf8ToWide(line));
    return lines;
  }

  ShortFolder folder_;
  PluginHost host_;
  std::wstring transcript_;
};

TEST(PluginGuide, EveryExampleRunsAndPrintsWhatTheGuideShows) {
  const std::string guide = test::ReadBytes(test::SourcePath(L"docs\\plugins.md"));
  ASSERT_FALSE(guide.empty());
  std::vector<std::string> problems;
  const std::vector<Example> examples = ParseExamples(guide, problems);
  for (const std::string& problem : problems) ADD_FAILURE() << problem;
  ASSERT_FALSE(examples.empty());

  std::optional<GuideHost> host;
  for (const Example& example : examples) {
    SCOPED_TRACE("docs/plugins.md:" + std::to_string(example.line) + " (" + example.file + ")");
    if (!example.keep || !host) host.emplace();
    const std::string shown = host->Run(example);
    if (example.shown) {
      EXPECT_EQ(shown, *example.shown);
    } else {
      // Without output in the guide, the example must load and run cleanly.
      EXPECT_EQ(shown.find("[插件]"), std::string::npos) << shown;
      EXPECT_EQ(shown.find("插件错误："), std::string::npos) << shown;
    }
  }
}

// ---- The editor stubs -----------------------------------------------------------

// The stub classes that describe tables a script receives, by the name the
// probe below prints them under.
const std::pair<std::string, std::string> kStubClasses[] = {
    {"host", "host"},
    {"qv.SystemInfo", "system"},
    {"qv.CommandInfo", "command"},
    {"qv.PluginInfo", "plugin"},
    {"qv.CommandArgs", "args"},
};

// "host.print", "host.store.get", "system.os", ...: every `function host...`,
// `host... =` and `---@field` of the classes above.
std::set<std::string> DeclaredNames(const std::string& stubs) {
  std::set<std::string> names;
  std::string prefix;
  for (const std::string& line : SplitLines(stubs)) {
    if (StartsWith(line, "---@class ")) {
      const std::string name = line.substr(10, line.find_first_of(": ", 10) - 10);
      prefix.clear();
      for (const auto& [cls, shown] : kStubClasses) prefix = cls == name ? shown : prefix;
    } else if (StartsWith(line, "---@field ") && !prefix.empty()) {
      std::string field = line.substr(10, line.find(' ', 10) - 10);
      if (!field.empty() && field.back() == '?') field.pop_back();
      names.insert(prefix + "." + field);
    } else if (StartsWith(line, "function host.")) {
      names.insert(line.substr(9, line.find('(') - 9));
    } else if (StartsWith(line, "host.")) {
      names.insert(Trim(line.substr(0, line.find('='))));
    }
  }
  return names;
}

// Prints the name of every field of the host table (nested tables too), of a
// host.system() result, of rows of host.commands() and host.plugins(), and the
// string keys of a command's arguments.
constexpr char kProbe[] = R"(
local names = {}
local function walk(prefix, t)
  for key, value in pairs(t) do
    names[#names + 1] = prefix .. "." .. key
    if type(value) == "table" then walk(prefix .. "." .. key, value) end
  end
end
local function keys(prefix, t)
  for key in pairs(t) do
    if type(key) == "string" then names[#names + 1] = prefix .. "." .. key end
  end
end
host.register{ name = "probe", run = function(args)
  walk("host", host)
  keys("system", host.system())
  keys("command", host.commands()[1])
  keys("plugin", host.plugins()[1])
  keys("args", args)
  print(table.concat(names, "\n"))
end }
)";

TEST(PluginTypes, StubsDeclareExactlyTheFieldsScriptsFind) {
  const std::string stubs = test::ReadBytes(test::SourcePath(L"lua-types\\host.lua"));
  ASSERT_TRUE(StartsWith(stubs, "---@meta")) << "the stubs must stay a meta file that no program runs";
  const std::set<std::string> declared = DeclaredNames(stubs);

  test::CapturedHost captured;
  captured.folder.Write(L"probe.lua", kProbe);
  captured.Load();
  ASSERT_EQ(TakePendingLog(captured.host).find(L"probe.lua"), std::wstring::npos);
  std::set<std::string> found;
  for (const std::string& line : SplitLines(WideToUtf8(captured.Run(L"probe", L"a b")))) found.insert(line);

  for (const std::string& name : found) EXPECT_TRUE(declared.count(name)) << name << " is missing from the stubs";
  for (const std::string& name : declared) EXPECT_TRUE(found.count(name)) << name << " is not in the program";
}

// Every folder in plugins/ is the data folder of the plugin of that name, so
// nothing shipped may be one: the stubs lie beside plugins/, and .luarc.json
// reaches them from there.
TEST(PluginTypes, EditorsReachTheStubsBesideThePluginsFolder) {
  const std::wstring plugins = test::SourcePluginsDir();
  const auto config = nlohmann::json::parse(test::ReadBytes(plugins + L"\\.luarc.json"));
  const auto& libraries = config.at("workspace").at("library");
  ASSERT_EQ(libraries.size(), 1u);
  EXPECT_TRUE(test::FileExists(plugins + L"\\" + Utf8ToWide(libraries[0].get<std::string>()) + L"\\host.lua"))
      << libraries[0];

  WIN32_FIND_DATAW entry{};
  HANDLE find = FindFirstFileW((plugins + L"\\*").c_str(), &entry);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  do {
    const std::wstring name = entry.cFileName;
    if (name == L"." || name == L"..") continue;
    EXPECT_FALSE(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) << WideToUtf8(name) << " is a folder in plugins";
  } while (FindNextFileW(find, &entry));
  FindClose(find);
}

}  // namespace
}  // namespace qv
