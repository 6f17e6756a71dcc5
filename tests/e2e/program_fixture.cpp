#include "tests/e2e/program_fixture.h"

#include <algorithm>

namespace qv::e2e {

namespace {

// The built executable and the source tree's plugins folder, handed in by the build.
std::wstring BuiltExecutable() { return WindowsPath(QV_E2E_EXECUTABLE); }
std::wstring SourcePluginsFolder() { return WindowsPath(QV_E2E_SOURCE_PLUGINS); }

}  // namespace

std::string TestBasicScript(bool skipLoading) {
  std::string script = skipLoading ? "host.skip_loading()\n" : "";
  script += R"lua(
host.register{ name = "ls", help = "列出命令", run = function()
  for _, c in ipairs(host.commands()) do print(c.name) end
end }
host.register{ name = "echo", help = "回显", run = function(args) print(table.concat(args, " ")) end }
host.register{ name = "lines", help = "打印若干行", run = function(args)
  for i = 1, tonumber(args[1]) do print("第 " .. i .. " 行") end
end }
host.register{ name = "fill", help = "打印长行", run = function(args)
  for i = 1, tonumber(args[1]) do print(string.format("%06d ", i) .. string.rep("x", 40)) end
end }
host.register{ name = "boom", help = "出错", run = function()
  local function inner() error("炸了") end
  inner()
end }
host.register{ name = "again", help = "重新加载", run = function()
  print("准备重新加载")
  host.reload()
end }
host.register{ name = "bye", help = "退出", run = function() host.exit() end }
host.register{ name = "cls", help = "清屏", run = function() host.clear() end }
host.menu("第一项", "echo 来自菜单一")
host.menu("第二项", "echo 来自菜单二")
)lua";
  return script;
}

void ProgramTest::SetUp() {
  ASSERT_FALSE(folder.path().empty()) << "no temporary folder";
  exePath = folder.path() + L"\\quorvantline.exe";
  pluginsFolder = folder.path() + L"\\plugins";
  ASSERT_TRUE(CopyFileW(BuiltExecutable().c_str(), exePath.c_str(), FALSE))
      << "cannot copy " << Narrow(BuiltExecutable());
  // Client coordinates and sizes in the program's own (per-monitor aware) pixels.
  SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
  dpi_ = static_cast<int>(GetDpiForSystem());
}

void ProgramTest::TearDown() {
  if (HasFailure()) {
    std::wstring log = app.MainWindow() != nullptr ? app.ReadLog() : std::wstring();
    if (!log.empty()) std::printf("---- output log ----\n%s\n--------------------\n", Narrow(log).c_str());
  }
  app.Kill();
  KillStrayCopies();
}

void ProgramTest::KillStrayCopies() {
  // A copy started from this test's folder by the program itself (the restart)
  // is not the test's own process: find it by its windows and image path.
  std::vector<DWORD> seen;
  for (const wchar_t* className : {kMainClass, kMessageBoxClass}) {
    std::vector<HWND> windows;
    EnumWindows(
        [](HWND window, LPARAM list) {
          reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&windows));
    for (HWND window : windows) {
      if (ClassOf(window) != className) continue;
      DWORD id = 0;
      GetWindowThreadProcessId(window, &id);
      if (id == 0 || id == GetCurrentProcessId() || std::find(seen.begin(), seen.end(), id) != seen.end()) continue;
      seen.push_back(id);
      HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
      if (process == nullptr) continue;
      wchar_t image[1024] = {};
      DWORD size = 1024;
      if (QueryFullProcessImageNameW(process, 0, image, &size) &&
          _wcsnicmp(image, folder.path().c_str(), folder.path().size()) == 0) {
        ADD_FAILURE() << "a copy of the program was still running: " << Narrow(image);
        TerminateProcess(process, 99);
        WaitForSingleObject(process, 5000);
      }
      CloseHandle(process);
    }
  }
}

void ProgramTest::WritePlugin(const std::wstring& name, const std::string& content) {
  CreateDirectoryW(pluginsFolder.c_str(), nullptr);
  ASSERT_TRUE(WriteBytes(pluginsFolder + L"\\" + name, content));
}

void ProgramTest::CopyShippedPlugins() { ASSERT_TRUE(CopyFolder(SourcePluginsFolder(), pluginsFolder)); }

bool ProgramTest::Start(std::vector<std::pair<std::wstring, std::wstring>> environment) {
  bool hasUrl = false;
  for (const auto& entry : environment) hasUrl = hasUrl || entry.first == L"QUORVANTLINE_UPDATE_URL";
  // Port 9 (discard) is closed here: the check fails at once without a network.
  if (!hasUrl) environment.emplace_back(L"QUORVANTLINE_UPDATE_URL", L"http://127.0.0.1:9/");
  return app.Start(exePath, environment);
}

void ProgramTest::StartConsole() {
  if (!FileExists(pluginsFolder + L"\\basic.lua")) WritePlugin(L"basic.lua", TestBasicScript(true));
  ASSERT_TRUE(Start());
  ASSERT_NE(app.WaitForMainWindow(), nullptr) << "no main window";
  ASSERT_TRUE(app.WaitForConsole()) << "the console did not appear";
  ASSERT_TRUE(app.WaitForLog(L"[插件] 已加载")) << "no loading report";
}

void ProgramTest::Run(const std::wstring& line, const std::wstring& expected) {
  app.Enter(line);
  // A line containing expected after the last echo of the typed line.
  auto answered = [&](const std::wstring& log) {
    std::vector<LogLine> lines = ParseLog(log);
    int echo = -1;
    for (int i = 0; i < static_cast<int>(lines.size()); ++i) {
      if (lines[static_cast<size_t>(i)].text == L"> " + line) echo = i;
    }
    if (echo < 0) return false;
    for (size_t i = static_cast<size_t>(echo) + 1; i < lines.size(); ++i) {
      if (lines[i].text.find(expected) != std::wstring::npos) return true;
    }
    return false;
  };
  EXPECT_TRUE(app.WaitForLogMatch(answered)) << "after \"" << Narrow(line) << "\" the log lacks \"" << Narrow(expected)
                                        << "\"";
}

}  // namespace qv::e2e
