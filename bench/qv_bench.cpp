// qv_bench: prints one "name: value" line per figure, each the median of
// several runs. Figures, not a pass/fail test: Wine on a shared machine is
// noisy, so compare ratios taken side by side in one run.
//
//   qv_bench.exe <quorvantline.exe> <qv_bench_window.exe>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bench/figures.h"
#include "console/globals.h"
#include "console/console_state.h"
#include "console/output_buffer.h"
#include "host/lua/block_memory.h"
#include "host/lua/state_context.h"
#include "host/plugin_host.h"
#include "host/execute.h"
#include "host/loading.h"
#include "host/lua/sandbox.h"
#include "host/script_env.h"
#include "lauxlib.h"
#include "lua.h"
#include "lualib.h"
#include "tests/support/driver.h"
#include "tests/support/hidden_output_view.h"

namespace qv::bench {
namespace {

using e2e::AppProcess;
using e2e::TempFolder;
using e2e::WriteBytes;

// ---- The console's output log with a real, hidden EDIT control -----------------

const std::wstring kLine40 = L"0123456789abcdefghijABCDEFGHIJ0123456789\r\n";

void FillToCap() {
  ClearOutput();
  std::wstring block;
  for (int i = 0; i < 100; ++i) block += kLine40;
  // At the cap once lines have been dropped from the front; collected, then shown once.
  while (Console().output.buffer.StartPosition() == 0) AppendToLog(Console().output, Console().outputView, block, true);
  ShowCollectedOutput();
}

// Microseconds per AppendOutput of one 40-character line. collected: as inside
// a command (the view is brought up to date once, after the batch, and that
// one update is included in the figure).
double AppendMicroseconds(bool atCap, bool collected, int appends) {
  if (atCap) {
    FillToCap();
  }
  double total = 0;
  for (int i = 0; i < appends; ++i) {
    if (!atCap) ClearOutput();
    double start = Now();
    AppendToLog(Console().output, Console().outputView, kLine40, collected);
    total += Now() - start;
  }
  if (collected) {
    double start = Now();
    ShowCollectedOutput();
    total += Now() - start;
  }
  return total * 1e6 / appends;
}

// ---- The plugin host -----------------------------------------------------------

const char kBenchScript[] = R"lua(
host.register{ name = "print10k", run = function()
  for i = 1, 10000 do print("第 " .. i .. " 行：0123456789abcdefghij") end
end }
host.register{ name = "add", run = function() return ADD() end }
host.register{ name = "strings", run = function() return STRINGS() end }
host.register{ name = "tables", run = function() return TABLES() end }
host.register{ name = "empty", run = function() end }
)lua";

// The two workloads, defined the same way in the host's state and in a bare one.
const char kWorkloads[] = R"lua(
function ADD()
  local s = 0
  for i = 1, 10000000 do s = s + i end
  return s
end
function STRINGS()
  local parts = {}
  for i = 1, 200000 do
    parts[#parts + 1] = string.format("%d:%s", i, string.rep("x", i % 10)):upper()
  end
  return #table.concat(parts, ",")
end
function TABLES()
  local rows = {}
  for i = 1, 100000 do
    rows[i] = { id = i, name = "row" .. i, tags = { "a", "b", tostring(i % 7) } }
  end
  local kept = 0
  for i = 1, #rows, 3 do
    local row = rows[i]
    row.tags[#row.tags + 1] = row.name:sub(1, 3)
    kept = kept + #row.tags
  end
  return kept
end
)lua";

bool LoadBenchPlugins(PluginHost& host, const std::wstring& folder) {
  CreateDirectoryW(folder.c_str(), nullptr);
  if (!WriteBytes(folder + L"\\basic.lua", std::string(kWorkloads) + kBenchScript)) return false;
  host.pluginsDir = folder;
  LoadPlugins(host);
  TakePendingLog(host);
  return host.basicLoaded;
}

double CommandSeconds(PluginHost& host, const wchar_t* command) {
  double start = Now();
  ExecuteCommand(host, command, L"");
  return Now() - start;
}

// The same workloads in a bare Lua state with Lua's default allocator, called
// with lua_pcall and no hook. The state lives as long as the plugin's, and runs
// the workloads in the same order, so both carry the same garbage.
class PlainState {
 public:
  PlainState() : L(luaL_newstate()) {
    luaL_openlibs(L);
    luaL_dostring(L, kWorkloads);
  }
  ~PlainState() { lua_close(L); }
  double CallSeconds(const char* function) {
    lua_getglobal(L, function);
    double start = Now();
    lua_pcall(L, 0, 0, 0);
    return Now() - start;
  }

 private:
  lua_State* L;
};

double LoadPassMilliseconds(const std::wstring& folder) {
  PluginHost host;
  host.pluginsDir = folder;
  double start = Now();
  LoadPlugins(host);
  double seconds = Now() - start;
  CloseAllPlugins(host);
  return seconds * 1e3;
}

bool WriteSmallScripts(const std::wstring& folder, int count) {
  CreateDirectoryW(folder.c_str(), nullptr);
  bool ok = WriteBytes(folder + L"\\basic.lua", "host.register{ name = \"ls\", run = function() end }\n");
  for (int i = 1; i < count; ++i) {
    char script[512];
    std::snprintf(script, sizeof script,
                  "local count = 0\n"
                  "host.register{ name = \"cmd%02d\", help = \"第 %d 个命令\", run = function(args)\n"
                  "  count = count + 1\n  print(\"cmd%02d \" .. table.concat(args, \" \"))\nend }\n"
                  "host.menu(\"菜单 %d\", \"cmd%02d\")\n",
                  i, i, i, i, i);
    wchar_t name[32];
    swprintf(name, 32, L"\\plugin%02d.lua", i);
    ok = WriteBytes(folder + name, script) && ok;
  }
  return ok;
}

// ---- Memory given back after closing states -------------------------------------

// The process's committed private memory, in MiB: the committed private
// regions of its address space, summed (Wine leaves the PrivateUsage of
// GetProcessMemoryInfo at zero).
double CommittedMiB() {
  std::size_t committed = 0;
  MEMORY_BASIC_INFORMATION region{};
  for (auto* at = static_cast<char*>(nullptr); VirtualQuery(at, &region, sizeof region) == sizeof region;
       at = static_cast<char*>(region.BaseAddress) + region.RegionSize) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) committed += region.RegionSize;
  }
  return static_cast<double>(committed) / (1 << 20);
}

// Scripts that each keep about 100 KiB of tables and strings in their state.
bool WriteHoldingScripts(const std::wstring& folder, int count) {
  CreateDirectoryW(folder.c_str(), nullptr);
  bool ok = WriteBytes(folder + L"\\basic.lua", "host.register{ name = \"ls\", run = function() end }\n");
  const std::string script =
      "local kept = {}\n"
      "for i = 1, 1000 do kept[i] = { i, tostring(i) .. string.rep(\"x\", i % 50) } end\n"
      "host.register{ name = \"keep\" .. #kept, run = function() return #kept end }\n";
  for (int i = 1; i < count; ++i) {
    wchar_t name[32];
    swprintf(name, 32, L"\\holding%03d.lua", i);
    ok = WriteBytes(folder + name, script) && ok;
  }
  return ok;
}

// Loads and closes the folder's states three times; prints the committed
// memory at the peak and after the last close, against before the first load.
void StateMemoryFigures(const std::wstring& folder) {
  const double before = CommittedMiB();
  double peak = before;
  double after = before;
  for (int round = 0; round < 3; ++round) {
    PluginHost host;
    host.pluginsDir = folder;
    LoadPlugins(host);
    peak = std::max(peak, CommittedMiB());
    CloseAllPlugins(host);
    after = CommittedMiB();
  }
  Figure("states_800_loaded_commit_mib", peak - before, "MiB");
  Figure("states_800_closed_commit_left_mib", after - before, "MiB");
}

// What the allocator keeps by itself: the same states made and closed here
// directly, the memory left before and after ReturnFreedMemory.
void DirectStateMemoryFigures(int count) {
  const double before = CommittedMiB();
  std::vector<std::unique_ptr<StateContext>> contexts;
  std::vector<lua_State*> states;
  for (int i = 0; i < count; ++i) {
    contexts.push_back(std::make_unique<StateContext>());
    lua_State* L = NewCountedState(*contexts.back());
    luaL_openlibs(L);
    luaL_dostring(L, "kept = {} for i = 1, 1000 do kept[i] = { i, tostring(i) .. string.rep('x', i % 50) } end");
    states.push_back(L);
  }
  for (lua_State* L : states) lua_close(L);
  Figure("states_800_closed_before_return_left_mib", CommittedMiB() - before, "MiB");
  ReturnFreedMemory();
  Figure("states_800_closed_after_return_left_mib", CommittedMiB() - before, "MiB");
}

// ---- Process start --------------------------------------------------------------

// The steps of the program's start as its trace file tells them (see
// base/startup_trace.h): each step's milliseconds since the step before, the
// first since `start`. Empty when the program wrote no trace.
std::vector<std::pair<std::string, double>> ReadStartupTrace(const std::wstring& path, double start) {
  std::vector<std::pair<std::string, double>> steps;
  std::ifstream file(e2e::Narrow(path));
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  double previous = start;
  std::string step;
  long long counter = 0;
  while (file >> step >> counter) {
    const double at = static_cast<double>(counter) / static_cast<double>(frequency.QuadPart);
    steps.emplace_back(step, (at - previous) * 1e3);
    previous = at;
  }
  return steps;
}

// Step name -> its milliseconds in each run, in the order the steps come.
using StepTimes = std::vector<std::pair<std::string, std::vector<double>>>;

void AddStartupTrace(const std::wstring& path, double start, StepTimes& steps) {
  for (const auto& [name, ms] : ReadStartupTrace(path, start)) {
    auto known = std::find_if(steps.begin(), steps.end(), [&](const auto& step) { return step.first == name; });
    if (known == steps.end()) known = steps.insert(steps.end(), {name, {}});
    known->second.push_back(ms);
  }
}

void StepFigures(const char* prefix, const StepTimes& steps) {
  for (const auto& [name, values] : steps) Figure((prefix + name + "_ms").c_str(), Median(values), "ms");
}

// Seconds from CreateProcessW to the console showing its loading report; the
// steps of its start are added to `steps`.
double ProgramStartSeconds(const std::wstring& exe, const std::wstring& tracePath, StepTimes& steps) {
  AppProcess app;
  DeleteFileW(tracePath.c_str());
  double start = Now();
  if (!app.Start(exe, {{L"QUORVANTLINE_UPDATE_URL", L"http://127.0.0.1:9/"},
                       {L"QUORVANTLINE_STARTUP_TRACE", tracePath}})) {
    std::fprintf(stderr, "cannot start %s (error %lu)\n", e2e::Narrow(exe).c_str(), GetLastError());
    return -1;
  }
  HWND main = nullptr;
  double seconds = -1;
  for (int i = 0; i < 20000; ++i) {
    if (main == nullptr) {
      for (HWND window : e2e::TopLevelWindows(app.id(), e2e::kMainClass)) {
        if (IsWindowVisible(window)) main = window;
      }
    }
    HWND log = main == nullptr ? nullptr : GetDlgItem(main, e2e::kOutputLogId);
    if (log != nullptr && IsWindowVisible(log) && e2e::TextOf(log).find(L"[插件] 已加载") != std::wstring::npos) {
      seconds = Now() - start;
      break;
    }
    Sleep(1);
  }
  if (seconds < 0) {
    std::fprintf(stderr, "the console did not show its loading report (running %d, exit code %ld); windows:\n",
                 app.Running() ? 1 : 0, app.Running() ? 0L : app.WaitForExit(std::chrono::milliseconds(0)));
    for (HWND window : e2e::TopLevelWindows(app.id(), nullptr)) {
      std::fprintf(stderr, "  %s \"%s\" visible=%d\n", e2e::Narrow(e2e::ClassOf(window)).c_str(),
                   e2e::Narrow(e2e::TextOf(window)).c_str(), IsWindowVisible(window) ? 1 : 0);
    }
    if (main != nullptr) std::fprintf(stderr, "  log: %s\n", e2e::Narrow(e2e::TextOf(GetDlgItem(main, e2e::kOutputLogId))).c_str());
  }
  if (main != nullptr) PostMessageW(main, WM_CLOSE, 0, 0);
  app.WaitForExit(std::chrono::milliseconds(10000));
  if (seconds > 0) AddStartupTrace(tracePath, start, steps);
  return seconds;
}

// Seconds from CreateProcessW to the minimal program's window being visible;
// the steps of its start are added to `steps`.
double MinimalStartSeconds(const std::wstring& exe, const std::wstring& tracePath, StepTimes& steps) {
  AppProcess app;
  DeleteFileW(tracePath.c_str());
  double start = Now();
  if (!app.Start(exe, {{L"QUORVANTLINE_STARTUP_TRACE", tracePath}})) return -1;
  double seconds = -1;
  HWND shown = nullptr;
  for (int i = 0; i < 20000 && shown == nullptr; ++i) {
    for (HWND window : e2e::TopLevelWindows(app.id(), L"QvBenchMinimalWindow")) {
      if (IsWindowVisible(window)) shown = window;
    }
    if (shown == nullptr) Sleep(1);
  }
  if (shown != nullptr) {
    seconds = Now() - start;
    PostMessageW(shown, WM_CLOSE, 0, 0);
  }
  app.WaitForExit(std::chrono::milliseconds(10000));
  if (seconds > 0) AddStartupTrace(tracePath, start, steps);
  return seconds;
}

int Run(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: qv_bench <quorvantline.exe> <qv_bench_window.exe> [figure 1-8]\n");
    return 2;
  }
  // With a figure number, only that figure is measured.
  const int only = argc > 3 ? _wtoi(argv[3]) : 0;
  auto wanted = [only](int figure) { return only == 0 || only == figure; };
  const std::wstring programExe = e2e::WindowsPath(e2e::Narrow(argv[1]));
  const std::wstring minimalExe = e2e::WindowsPath(e2e::Narrow(argv[2]));
  TempFolder folder;
  constexpr int kRuns = 7;

  GlobalHost = std::make_unique<PluginHost>();
  PluginHost& host = *GlobalHost;
  if (!LoadBenchPlugins(host, folder.path() + L"\\plugins")) {
    std::fprintf(stderr, "the bench plugin did not load:\n%s\n", e2e::Narrow(TakePendingLog(host)).c_str());
    return 1;
  }
  if (wanted(1) || wanted(2)) {
    // The console's log, drawn into a hidden control of the output view's style.
    test::HiddenOutputView view;
    Console().outputView = view.get();
    if (wanted(1)) {
      // (1) One 40-character line per AppendOutput.
      Figure("append_empty_shown_us", MedianOf(kRuns, [] { return AppendMicroseconds(false, false, 200); }), "us");
      Figure("append_empty_collected_us", MedianOf(kRuns, [] { return AppendMicroseconds(false, true, 200); }), "us");
      // Each of these replaces the whole 200000-unit text of the control: few runs.
      Figure("append_at_cap_shown_us", MedianOf(3, [] { return AppendMicroseconds(true, false, 3); }), "us");
      Figure("append_at_cap_collected_us", MedianOf(3, [] { return AppendMicroseconds(true, true, 1000); }), "us");
    }
    if (wanted(2)) {
      // (2) A command printing 10,000 lines, shown and discarded.
      host.onOutput = [](const std::wstring& text) { AppendOutput(text); };
      Figure("print_10000_lines_ms", MedianOf(kRuns, [&] {
               ClearOutput();
               return CommandSeconds(host, L"print10k") * 1e3;
             }),
             "ms");
      host.onOutput = [](const std::wstring&) {};
      Figure("print_10000_lines_discarded_ms",
             MedianOf(kRuns, [&] { return CommandSeconds(host, L"print10k") * 1e3; }), "ms");
    }
    Console().outputView = nullptr;
  }

  if (wanted(3)) {
    // (3) Command call overhead: through RunCommand (time limit armed) / bare lua_pcall.
    std::vector<double> addRatios;
    std::vector<double> stringRatios;
    std::vector<double> tableRatios;
    std::vector<double> addCommand;
    std::vector<double> addPlain;
    PlainState plain;
    // Ratios of runs this short scatter by several percent on a shared
    // machine: three times the usual number of runs.
    for (int i = 0; i < 3 * kRuns; ++i) {
      double command = CommandSeconds(host, L"add");
      double bare = plain.CallSeconds("ADD");
      addCommand.push_back(command * 1e3);
      addPlain.push_back(bare * 1e3);
      addRatios.push_back(command / bare);
      stringRatios.push_back(CommandSeconds(host, L"strings") / plain.CallSeconds("STRINGS"));
      tableRatios.push_back(CommandSeconds(host, L"tables") / plain.CallSeconds("TABLES"));
    }
    Figure("add_1e7_command_ms", Median(addCommand), "ms");
    Figure("add_1e7_plain_pcall_ms", Median(addPlain), "ms");
    Figure("add_1e7_command_over_plain", Median(addRatios), "x");
    Figure("strings_command_over_plain", Median(stringRatios), "x");
    // The counting allocator with its cap against Lua's default allocator, on
    // a table- and string-heavy command.
    Figure("tables_command_over_plain", Median(tableRatios), "x");
    // The whole cost of a command that does nothing, hand-over to the script
    // thread and back included.
    Figure("empty_command_us", MedianOf(kRuns, [&] {
             constexpr int kCalls = 2000;
             double start = Now();
             for (int i = 0; i < kCalls; ++i) ExecuteCommand(host, L"empty", L"");
             return (Now() - start) * 1e6 / kCalls;
           }),
           "us");
  }
  CloseAllPlugins(host);
  GlobalHost.reset();

  // (7) Tab and the inline suggestion, per key, with 1,600 commands and a full history.
  if (wanted(7) && !KeyFigures(folder.path() + L"\\keys", kRuns)) return 1;

  // (8) The program's share of one core with 100 timers running, and idle.
  if (wanted(8) && !TimerLoadFigures(programExe, folder.path() + L"\\timers", 5)) return 1;

  // (4) One load pass over 50 small scripts.
  const std::wstring fifty = folder.path() + L"\\fifty";
  if (wanted(4) && WriteSmallScripts(fifty, 50)) {
    // A pass is short and Wine's server makes single passes scatter widely:
    // many passes, and the fastest beside the median.
    std::vector<double> passes;
    for (int i = 0; i < 5 * kRuns; ++i) passes.push_back(LoadPassMilliseconds(fifty));
    Figure("load_pass_50_scripts_ms", Median(passes), "ms");
    Figure("load_pass_50_scripts_fastest_ms", *std::min_element(passes.begin(), passes.end()), "ms");
  }

  // (6) Memory given back: 800 states loaded and closed.
  const std::wstring holding = folder.path() + L"\\holding";
  if (wanted(6) && WriteHoldingScripts(holding, 800)) {
    std::printf("plugin_allocator: %s\n", BlockAllocatorName());
    StateMemoryFigures(holding);
    DirectStateMemoryFigures(800);
  }

  // (5) Process start to the console with its loading report (skip mode),
  // beside a minimal Win32 program that shows one window, alternating.
  if (wanted(5)) {
    const std::wstring programFolder = folder.path() + L"\\program";
    CreateDirectoryW(programFolder.c_str(), nullptr);
    CreateDirectoryW((programFolder + L"\\plugins").c_str(), nullptr);
    const std::wstring programCopy = programFolder + L"\\quorvantline.exe";
    if (!CopyFileW(programExe.c_str(), programCopy.c_str(), FALSE) ||
        !WriteBytes(programFolder + L"\\plugins\\basic.lua",
                       "host.skip_loading()\nhost.register{ name = \"ls\", run = function() end }\n")) {
      std::fprintf(stderr, "cannot copy %s\n", e2e::Narrow(programExe).c_str());
      return 1;
    }
    const std::wstring tracePath = folder.path() + L"\\startup-trace.txt";
    std::vector<double> program;
    std::vector<double> minimal;
    StepTimes programSteps;
    StepTimes minimalSteps;
    for (int i = 0; i < kRuns; ++i) {
      program.push_back(ProgramStartSeconds(programCopy, tracePath, programSteps) * 1e3);
      minimal.push_back(MinimalStartSeconds(minimalExe, tracePath, minimalSteps) * 1e3);
    }
    double programMs = Median(program);
    double minimalMs = Median(minimal);
    Figure("start_to_console_skip_mode_ms", programMs, "ms");
    Figure("start_to_window_minimal_program_ms", minimalMs, "ms");
    Figure("start_console_over_minimal", minimalMs > 0 ? programMs / minimalMs : 0, "x");
    // Where each start goes: each step's milliseconds since the step before
    // (medians), "main" from CreateProcessW to the program's own code.
    StepFigures("start_step_", programSteps);
    StepFigures("start_minimal_step_", minimalSteps);
  }
  return 0;
}

}  // namespace
}  // namespace qv::bench

int wmain(int argc, wchar_t** argv) { return qv::bench::Run(argc, argv); }
