#include "app/startup.h"

#include <memory>
#include <string>
#include <utility>

#include "app/desktop.h"
#include "app/plugin_events.h"
#include "app/hotkey.h"
#include "base/files.h"
#include "base/startup_trace.h"
#include "console/globals.h"
#include "base/system_calls.h"
#include "app/window_classes.h"
#include "console/appearance.h"
#include "console/call_wait.h"
#include "console/command_line.h"
#include "console/console_state.h"
#include "console/layout.h"
#include "console/output_buffer.h"
#include "sysinfo/system_info.h"
#include "windows/manager_window.h"
#include "host/enable_state.h"
#include "host/loading.h"
#include "host/script_env.h"

namespace qv {

namespace {

int FailStartup(const wchar_t* text) {
  MessageBoxW(nullptr, text, kProgramTitle, MB_ICONERROR);
  return 1;
}

// True when another instance runs: its window is brought forward and the user told.
bool AnotherInstanceRuns() {
  UniqueHandle mutex(CreateMutexW(nullptr, FALSE, kInstanceMutexName));
  const bool alreadyThere = mutex && GetLastError() == ERROR_ALREADY_EXISTS;
  InstanceGuard = std::move(mutex);
  if (!alreadyThere) return false;
  if (const HWND running = FindWindowW(kMainWindowClass, nullptr)) {
    ShowWindow(running, SW_RESTORE);
    SetForegroundWindow(running);
  }
  MessageBoxW(nullptr,
              L"quorvantline 已经在运行。\n\n多开一个实例可能会导致配置文件冲突。\n\n请关闭现有实例后再尝试。",
              kProgramTitle, MB_ICONINFORMATION | MB_SETFOREGROUND);
  return true;
}

// The plugin host of the run (GlobalHost): made and loaded with the run, its
// plugins closed and the host gone when the run ends, however it ends.
class RunHost {
 public:
  RunHost() {
    GlobalHost = std::make_unique<PluginHost>();
    PluginHost& host = *GlobalHost;
    host.onOutput = AppendOutput;
    host.pluginsDir = PluginsDirectory();
    host.onClear = ClearOutput;
    host.onSystemInfo = [] { return CollectSystemInfo(CurrentDpi); };
    host.onExit = [] {
      if (MainWindow) PostMessageW(MainWindow, WM_CLOSE, 0, 0);
    };
    host.onOpenPluginManager = OpenPluginManager;
    host.onCallBegin = BeginScriptCall;
    host.onCallWait = WaitDuringCall;
    host.onCallEnd = [] {
      EndScriptCall();
      AfterScriptCall();
    };
    host.onNotify = ShowNotification;
    host.onSetClipboard = [](const std::wstring& text) { return SetClipboardText(MainWindow, text); };
    host.onGetClipboard = [] { return GetClipboardText(MainWindow); };
    host.onOpen = [](const std::wstring& target, bool folder) { return OpenInShell(MainWindow, target, folder); };
    LoadPlugins(host);
  }
  ~RunHost() {
    if (GlobalHost) CloseAllPlugins(*GlobalHost);
    GlobalHost.reset();
  }
  RunHost(const RunHost&) = delete;
  RunHost& operator=(const RunHost&) = delete;
};

// Timers, reload on save and notifications, from the main window's creation
// to the end of the run.
class RunPluginEvents {
 public:
  RunPluginEvents() { StartPluginEvents(); }
  ~RunPluginEvents() { StopPluginEvents(); }
  RunPluginEvents(const RunPluginEvents&) = delete;
  RunPluginEvents& operator=(const RunPluginEvents&) = delete;
};

// The shared brushes of the run, deleted when it ends.
class RunBrushes {
 public:
  RunBrushes() {
    SharedBrushes.background.reset(CreateSolidBrush(kBackgroundColor));
    SharedBrushes.dim.reset(CreateSolidBrush(kDimColor));
    SharedBrushes.input.reset(CreateSolidBrush(kBackgroundColor));
    SharedBrushes.border.reset(CreateSolidBrush(kBorderColor));
    SharedBrushes.highlight.reset(CreateSolidBrush(kHighlightColor));
  }
  ~RunBrushes() { SharedBrushes = Brushes(); }
  RunBrushes(const RunBrushes&) = delete;
  RunBrushes& operator=(const RunBrushes&) = delete;

  bool Complete() const {
    const Brushes& b = SharedBrushes;
    return b.background && b.dim && b.input && b.border && b.highlight;
  }
};

// False (after telling the user) when basic.lua did not load.
bool BasicScriptLoaded() {
  if (GlobalHost->basicLoaded) return true;
  std::wstring text = std::wstring(L"缺少或无法加载 ") + kBasicScript +
                      L"，程序无法启动。\n\n所有命令都由这个脚本提供，请确认它存在、语法正确：\n" +
                      PluginsDirectory() + L"\\" + kBasicScript;
  const std::wstring details = TakePendingLog(*GlobalHost);
  if (!details.empty()) text += L"\n\n详细信息：\n" + details;
  MessageBoxW(nullptr, text.c_str(), kProgramTitle, MB_ICONERROR);
  return false;
}

RECT MainWindowPlacement() {
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  RECT frame{0, 0, ScaleAt(kMainClientSize.cx, CurrentDpi), ScaleAt(kMainClientSize.cy, CurrentDpi)};
  AdjustFrameRect(frame, CurrentDpi);
  const SIZE screen{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  return ComputeMainWindowPlacement(work, screen, Width(frame), Height(frame), CurrentDpi);
}

bool CreateMainWindow(int showCommand) {
  const RECT r = MainWindowPlacement();
  MainWindow = CreateWindowExW(WS_EX_APPWINDOW, kMainWindowClass, kProgramTitle, kMainWindowStyle, r.left, r.top,
                               Width(r), Height(r), nullptr, nullptr, AppInstance, nullptr);
  if (MainWindow == nullptr) return false;
  MarkStartup("window_created");
  ShowWindow(MainWindow, showCommand);
  ApplyFrameColors(MainWindow);
  MarkStartup("shown");
  UpdateWindow(MainWindow);
  MarkStartup("painted");
  if (!Console().startupPending && Console().inputLine) SetFocus(Console().inputLine);
  return true;
}

// The folder of disabled.txt: the program's own data beside the plugins.
std::wstring ProgramDataFolder() {
  const std::wstring listPath = DisabledListPath(*GlobalHost);
  return listPath.substr(0, listPath.find_last_of(L'\\'));
}

// A line for the log: with the loading report while that is still to come.
void LogAtStart(const std::wstring& text) {
  if (text.empty()) return;
  if (Console().startupPending && GlobalHost) {
    AppendLog(*GlobalHost, text);
  } else {
    AppendOutput(text + L"\r\n");
  }
}

void StartHotkey() {
  const Settings settings = LoadSettings(ProgramDataFolder());
  LogAtStart(settings.problem);
  LogAtStart(RegisterConsoleHotkey(MainWindow, settings, Console().hotkeyId));
}

int RunMessageLoop() {
  MSG message{};
  for (;;) {
    if (GetMessageW(&message, nullptr, 0, 0) <= 0) break;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

}  // namespace

int RunProgram(HINSTANCE instance, int showCommand) {
  MarkStartup("main");
  EnableDpiAwareness();
  if (AnotherInstanceRuns()) return 0;
  WarmUpUiFont();
  MarkStartup("single_instance");
  UxTheme::Instance().UseDarkAppMode();
  MarkStartup("dark_mode");
  AppInstance = instance;
  CurrentDpi = SystemDpi();
  MarkStartup("system_dpi");

  // What the run makes goes again in the reverse order when it returns.
  const RunHost host;
  MarkStartup("load_pass");
  if (!BasicScriptLoaded()) return 1;
  LogAtStart(StartCommandHistory(ProgramDataFolder()));
  const RunBrushes brushes;
  if (!brushes.Complete()) return FailStartup(L"创建绘图资源失败。");
  if (const wchar_t* failure = RegisterWindowClasses()) return FailStartup(failure);
  MarkStartup("window_classes");
  if (!CreateMainWindow(showCommand)) return FailStartup(L"创建主窗口失败。");
  const RunPluginEvents events;
  StartHotkey();
  const int exitCode = RunMessageLoop();
  FinishStartupTrace();
  return exitCode;
}

}  // namespace qv
