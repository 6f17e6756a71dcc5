// The real program with 100 repeating timers of one plugin, against the same
// program with none: the share of one core the process uses (user and kernel
// time over wall time) while nothing else happens.
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cwchar>
#include <optional>
#include <string>
#include <vector>

#include "bench/figures.h"
#include "tests/support/driver.h"

namespace qv::bench {
namespace {

using e2e::AppProcess;

constexpr int kTimers = 100;
constexpr int kIntervalMs = 50;  // the shortest interval host.every takes

// Skip mode, so no start-up animation runs while the process is measured.
const char kBasicScript[] = "host.skip_loading()\nhost.register{ name = \"ls\", run = function() end }\n";

// 100 timers (the most one plugin may have) and a command that tells how often
// they ran: "runs#<tag>=<runs> made=<timers> short=<why 10 ms was refused>".
std::string TickingScript() {
  return "local runs, made = 0, 0\n"
         "local function tick() runs = runs + 1 end\n"
         "local short, why = host.every(10, tick)\n"
         "if short then host.cancel(short) end\n"
         "for i = 1, " + std::to_string(kTimers) + " do\n"
         "  if host.every(" + std::to_string(kIntervalMs) + ", tick) then made = made + 1 end\n"
         "end\n"
         "host.register{ name = \"runs\", run = function(args)\n"
         "  print(\"runs#\" .. args[1] .. \"=\" .. runs .. \" made=\" .. made .. \" short=\" .. tostring(why))\n"
         "end }\n";
}

ULONGLONG Ticks(const FILETIME& time) { return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime; }

// User plus kernel seconds of the process's threads now living. Under Wine,
// GetProcessTimes of another process gives the caller's own times; its
// threads' times are read from the system. Only thread `only` when not 0.
double ThreadsCpuSeconds(DWORD processId, DWORD only = 0) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  ULONGLONG ticks = 0;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID != processId || (only != 0 && entry.th32ThreadID != only)) continue;
    HANDLE thread = OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ThreadID);
    if (thread == nullptr) continue;
    FILETIME created, exited, kernel, user;
    if (GetThreadTimes(thread, &created, &exited, &kernel, &user)) ticks += Ticks(kernel) + Ticks(user);
    CloseHandle(thread);
  }
  CloseHandle(snapshot);
  return static_cast<double>(ticks) / 1e7;
}

double ProcessCpuSeconds(HANDLE process) {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
  return static_cast<double>(Ticks(kernel) + Ticks(user)) / 1e7;
}

bool UnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// The process's CPU seconds so far (user and kernel).
double CpuSeconds(const AppProcess& app) {
  static const bool byThreads = UnderWine();
  return byThreads ? ThreadsCpuSeconds(app.id()) : ProcessCpuSeconds(app.handle());
}

// What "runs <tag>" printed, or nothing when it did not answer.
struct RunsReport {
  long runs = 0;
  long made = 0;
  std::wstring shortRefusal;
};

std::optional<RunsReport> AskRuns(AppProcess& app, int tag) {
  const std::wstring marker = L"runs#" + std::to_wstring(tag) + L"=";
  app.Enter(L"runs " + std::to_wstring(tag));
  std::wstring log;
  if (!app.WaitForLogMatch([&](const std::wstring& text) {
        log = text;
        return text.find(L" short=", text.find(marker)) != std::wstring::npos && text.find(marker) != std::wstring::npos;
      })) {
    return std::nullopt;
  }
  const std::size_t at = log.find(marker) + marker.size();
  RunsReport report;
  report.runs = std::wcstol(log.c_str() + at, nullptr, 10);
  const std::size_t made = log.find(L" made=", at);
  const std::size_t why = log.find(L" short=", at);
  report.made = std::wcstol(log.c_str() + made + 6, nullptr, 10);
  report.shortRefusal = log.substr(why + 7, log.find(L"\r\n", why) - why - 7);
  return report;
}

// The share of one core, in percent, the process used over one second of
// wall time from now, and the part of it on the console window's thread.
struct CoreShare {
  double total = 0;
  double windowThread = 0;
};

CoreShare MeasureSecond(const AppProcess& app) {
  const DWORD windowThread = GetWindowThreadProcessId(app.MainWindow(), nullptr);
  const double windowBefore = ThreadsCpuSeconds(app.id(), windowThread);
  const double cpuBefore = CpuSeconds(app);
  const double wallBefore = Now();
  Sleep(1000);
  const double cpuAfter = CpuSeconds(app);
  const double windowAfter = ThreadsCpuSeconds(app.id(), windowThread);
  const double wall = Now() - wallBefore;
  return {(cpuAfter - cpuBefore) / wall * 100, (windowAfter - windowBefore) / wall * 100};
}

// One run of the program copied into folder: started, left a second to
// settle, then measured over a second with its window shown and, with ticking
// plugins, another with it minimised (nothing to draw then). The timer runs
// per second are seen through the runs command between the measured seconds.
struct LoadRun {
  bool ok = false;
  CoreShare shown;
  CoreShare minimized;
  double runsPerSecond = 0;
  double runsPerSecondMinimized = 0;
  RunsReport first;
};

LoadRun MeasureOnce(const std::wstring& exe, bool ticking) {
  LoadRun result;
  AppProcess app;
  if (!app.Start(exe, {{L"QUORVANTLINE_UPDATE_URL", L"http://127.0.0.1:9/"}}) || !app.WaitForConsole()) {
    std::fprintf(stderr, "the program did not come up (%s)\n", e2e::Narrow(exe).c_str());
    return result;
  }
  Sleep(1000);
  if (!ticking) {
    result.shown = MeasureSecond(app);
  } else {
    std::optional<RunsReport> first = AskRuns(app, 1);
    double askedAt = Now();
    if (!first || first->runs == 0) {
      std::fprintf(stderr, "the timers did not run:\n%s\n", e2e::Narrow(app.ReadLog()).c_str());
      return result;
    }
    result.first = *first;
    Sleep(200);  // the command's own work is done before the measured second
    result.shown = MeasureSecond(app);
    const std::optional<RunsReport> second = AskRuns(app, 2);
    double secondAt = Now();
    ShowWindow(app.MainWindow(), SW_MINIMIZE);
    Sleep(300);
    result.minimized = MeasureSecond(app);
    const std::optional<RunsReport> third = AskRuns(app, 3);
    if (!second || !third) {
      std::fprintf(stderr, "no answer to the runs command:\n%s\n", e2e::Narrow(app.ReadLog()).c_str());
      return result;
    }
    result.runsPerSecond = static_cast<double>(second->runs - first->runs) / (secondAt - askedAt);
    result.runsPerSecondMinimized = static_cast<double>(third->runs - second->runs) / (Now() - secondAt);
  }
  result.ok = true;
  if (app.MainWindow() != nullptr) PostMessageW(app.MainWindow(), WM_CLOSE, 0, 0);
  app.WaitForExit(std::chrono::milliseconds(10000));
  return result;
}

bool MakeProgramFolder(const std::wstring& programExe, const std::wstring& folder, bool ticking) {
  CreateDirectoryW(folder.c_str(), nullptr);
  CreateDirectoryW((folder + L"\\plugins").c_str(), nullptr);
  return CopyFileW(programExe.c_str(), (folder + L"\\quorvantline.exe").c_str(), FALSE) &&
         e2e::WriteBytes(folder + L"\\plugins\\basic.lua", kBasicScript) &&
         (!ticking || e2e::WriteBytes(folder + L"\\plugins\\ticking.lua", TickingScript()));
}

}  // namespace

bool TimerLoadFigures(const std::wstring& programExe, const std::wstring& folder, int runs) {
  const std::wstring idleFolder = folder + L"\\idle";
  const std::wstring tickingFolder = folder + L"\\ticking";
  CreateDirectoryW(folder.c_str(), nullptr);
  if (!MakeProgramFolder(programExe, idleFolder, false) || !MakeProgramFolder(programExe, tickingFolder, true)) {
    std::fprintf(stderr, "cannot copy %s\n", e2e::Narrow(programExe).c_str());
    return false;
  }
  std::vector<double> idle;
  std::vector<double> shown;
  std::vector<double> shownWindowThread;
  std::vector<double> minimized;
  std::vector<double> runsPerSecond;
  std::vector<double> runsPerSecondMinimized;
  std::vector<double> msPerRun;
  RunsReport report;
  // Alternating, so a busy moment of the machine falls on both alike.
  for (int i = 0; i < runs; ++i) {
    const LoadRun quiet = MeasureOnce(idleFolder + L"\\quorvantline.exe", false);
    const LoadRun busy = MeasureOnce(tickingFolder + L"\\quorvantline.exe", true);
    if (!quiet.ok || !busy.ok) return false;
    idle.push_back(quiet.shown.total);
    shown.push_back(busy.shown.total);
    shownWindowThread.push_back(busy.shown.total > 0 ? busy.shown.windowThread / busy.shown.total * 100 : 0);
    minimized.push_back(busy.minimized.total);
    runsPerSecond.push_back(busy.runsPerSecond);
    runsPerSecondMinimized.push_back(busy.runsPerSecondMinimized);
    msPerRun.push_back(busy.runsPerSecond > 0 ? (busy.shown.total - quiet.shown.total) * 10 / busy.runsPerSecond : 0);
    report = busy.first;
  }
  std::printf("timer_cpu_time_source: %s\n", UnderWine() ? "GetThreadTimes over the threads" : "GetProcessTimes");
  std::printf("timer_setup: %ld timers of %d ms made; host.every(10) answered \"%s\"\n", report.made, kIntervalMs,
              e2e::Narrow(report.shortRefusal).c_str());
  Figure("idle_core_share_percent", Median(idle), "%");
  Figure("timer_dispatch_100x50ms_core_share_percent", Median(shown), "%");
  // Where it goes: the part on the console's window thread (the dispatch, the
  // call's hand-over and what the console redraws), the rest being the script
  // thread's; and the same timers with the window minimised, nothing drawn.
  Figure("timer_dispatch_window_thread_part_percent", Median(shownWindowThread), "%");
  Figure("timer_dispatch_minimized_core_share_percent", Median(minimized), "%");
  Figure("timer_cpu_per_run_ms", Median(msPerRun), "ms");
  Figure("timer_runs_per_second_due", report.made * 1000.0 / kIntervalMs, "runs/s");
  Figure("timer_runs_per_second_observed", Median(runsPerSecond), "runs/s");
  Figure("timer_runs_per_second_minimized_observed", Median(runsPerSecondMinimized), "runs/s");
  return true;
}

}  // namespace qv::bench
