#include "console/startup_animation.h"

#include <algorithm>

#include "console/globals.h"
#include "base/handles.h"
#include "base/text.h"
#include "console/console_state.h"
#include "console/input_actions.h"
#include "console/date_text.h"
#include "console/layout.h"
#include "console/output_buffer.h"
#include "console/console_window.h"
#include "update/update_check.h"
#include "host/script_env.h"

namespace qv {

namespace {

// The state after a plugin's name in the report: " 已加载（3 条命令）".
std::wstring ReportedPluginState(const PluginSummary& plugin) {
  if (!plugin.enabled) return L" 已禁用";
  if (!plugin.ok) return L" 加载失败";
  std::wstring text = L" 已加载";
  if (plugin.commands > 0) text += L"（" + DecimalText(plugin.commands) + L" 条命令）";
  return text;
}

}  // namespace

std::wstring BuildStartupScript(const std::vector<PluginSummary>* plugins, bool skipMode, const std::wstring& date) {
  const std::wstring prompt = skipMode ? L"" : L"> ";
  std::wstring script;
  if (!skipMode) script += prompt + L"v" + kProgramVersion + L"\n";
  script += prompt + date + L"\n";
  if (plugins && !plugins->empty()) {
    const std::size_t listed = std::min(plugins->size(), kListedPlugins);
    for (std::size_t i = 0; i < listed; ++i) {
      const PluginSummary& plugin = (*plugins)[i];
      script += prompt + L"[plugin] " + plugin.name + ReportedPluginState(plugin) + L"\n";
    }
    if (plugins->size() > kListedPlugins) {
      script += prompt + L"[plugin] ... 还有 " + DecimalText(static_cast<long long>(plugins->size() - kListedPlugins)) +
                L" 个插件\n";
    }
  } else {
    script += prompt + L"[plugin] 未发现插件\n";
  }
  script += prompt + (skipMode ? L"已跳过加载动画" : L"正在准备界面...");
  return script;
}

std::uint64_t RevealStep(std::uint64_t scriptLength) { return scriptLength <= 80 ? 1 : (scriptLength + 79) / 80; }

std::vector<std::wstring> VisibleScriptLines(const std::wstring& script, std::uint64_t revealed, int tick) {
  const std::wstring visible = script.substr(0, static_cast<std::size_t>(std::min<std::uint64_t>(revealed, script.size())));
  std::vector<std::wstring> lines;
  std::size_t start = 0;
  for (std::size_t lineFeed; (lineFeed = visible.find(L'\n', start)) != std::wstring::npos; start = lineFeed + 1) {
    lines.push_back(visible.substr(start, lineFeed - start));
  }
  lines.push_back(visible.substr(start));
  if ((tick / 6) % 2 == 0) lines.back() += L"|";
  return lines;
}

// ---- Running the animation ----------------------------------------------------

void BeginStartup(HWND window) {
  ConsoleState& console = Console();
  const bool skipMode = GlobalHost && GlobalHost->skipLoadingRequested;
  console.startupPending = true;
  console.startupScript = BuildStartupScript(GlobalHost ? &GlobalHost->pluginList : nullptr, skipMode, LocalDateText());
  console.revealedCount = 0;
  console.animationTick = 0;
  console.holdTicks = 0;
  if (skipMode) {
    AppendOutput(TakePendingLog(*GlobalHost));
    AppendOutput(console.startupScript + L"\n");
    FinishStartup(window);
    return;
  }
  SetTimer(window, kTypingTimer, kTypingInterval, nullptr);
  if (console.outputView && console.inputLine) LayoutControls(window);
}

namespace {

void FocusInputLine() {
  if (Console().inputLine) SetFocus(Console().inputLine);
}

RECT OverlayRectFor(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  return ComputeOverlayRect(origin, Width(client), Height(client), CurrentDpi);
}

void StartFade(HWND window) {
  ConsoleState& console = Console();
  const RECT r = OverlayRectFor(window);
  console.fadeOverlay = CreateWindowExW(WS_EX_NOACTIVATE | WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_TRANSPARENT,
                                        kFadeOverlayClass, L"", WS_POPUP, r.left, r.top, Width(r), Height(r), window,
                                        nullptr, AppInstance, nullptr);
  if (console.fadeOverlay == nullptr) {
    FinishStartup(window);
    FocusInputLine();
    return;
  }
  SetLayeredWindowAttributes(console.fadeOverlay, 0, 0, LWA_ALPHA);
  ShowWindow(console.fadeOverlay, SW_SHOWNOACTIVATE);
  SetWindowPos(console.fadeOverlay, nullptr, r.left, r.top, Width(r), Height(r), SWP_SHOWWINDOW | SWP_NOACTIVATE);
  console.fadeAlpha = 0;
  console.fadePhase = 1;
  KillTimer(window, kTypingTimer);
  SetTimer(window, kFadeTimer, kFadeInterval, nullptr);
}

void EndFade(HWND window) {
  ConsoleState& console = Console();
  console.fadeAlpha = 0;
  DestroyWindow(console.fadeOverlay);
  console.fadeOverlay = nullptr;
  console.fadePhase = 0;
  KillTimer(window, kFadeTimer);
  FocusInputLine();
  InvalidateRect(window, nullptr, TRUE);
}

}  // namespace

void OnTypingTimer(HWND window) {
  ConsoleState& console = Console();
  if (!console.startupPending) return;
  ++console.animationTick;
  const std::uint64_t length = console.startupScript.size();
  if (console.revealedCount < length) {
    console.revealedCount = std::min(length, console.revealedCount + RevealStep(length));
    InvalidateRect(window, nullptr, FALSE);
    return;
  }
  ++console.holdTicks;
  if (console.holdTicks < kHoldTicks) {
    InvalidateRect(window, nullptr, FALSE);
  } else if (console.holdTicks == kHoldTicks && console.fadeOverlay == nullptr) {
    StartFade(window);
  }
}

void OnFadeTimer(HWND window) {
  ConsoleState& console = Console();
  if (console.fadeOverlay == nullptr || (console.fadePhase != 1 && console.fadePhase != 2)) {
    KillTimer(window, kFadeTimer);
    return;
  }
  if (console.fadePhase == 1) {
    console.fadeAlpha = FadeInStep(console.fadeAlpha);
    SetLayeredWindowAttributes(console.fadeOverlay, 0, static_cast<BYTE>(console.fadeAlpha), LWA_ALPHA);
    if (console.fadeAlpha == 255) {
      FinishStartup(window);
      console.fadePhase = 2;
    }
    return;
  }
  console.fadeAlpha = FadeOutStep(console.fadeAlpha);
  if (console.fadeAlpha <= 0) {
    EndFade(window);
    return;
  }
  SetLayeredWindowAttributes(console.fadeOverlay, 0, static_cast<BYTE>(console.fadeAlpha), LWA_ALPHA);
}

void FinishStartup(HWND window) {
  ConsoleState& console = Console();
  if (!console.startupPending) return;
  console.startupPending = false;
  KillTimer(window, kTypingTimer);
  for (const HWND control : {console.outputView, console.inputLine}) {
    if (control) ShowWindow(control, SW_SHOW);
  }
  // During a call (a reload typed while the animation ran) the script thread
  // may be writing the pending log: the call's end shows it instead.
  if (GlobalHost && !GlobalHost->calls.Running()) AppendOutput(TakePendingLog(*GlobalHost));
  if (console.firstStart) AppendOutput(kFirstStartHint);
  if (console.outputView && console.inputLine) LayoutControls(window);
  InvalidateRect(window, nullptr, TRUE);
  if (!console.updateCheckStarted) {
    console.updateCheckStarted = true;
    SetTimer(window, kUpdateCheckTimer, 0, nullptr);
  }
}

void OnUpdateCheckTimer(HWND window) {
  KillTimer(window, kUpdateCheckTimer);
  if (!StartUpdateCheck(window)) Console().updateCheck = {UpdateCheckStage::kFailed, L"无法启动检查"};
}

void PositionFadeOverlay() {
  const HWND overlay = Console().fadeOverlay;
  if (overlay == nullptr || MainWindow == nullptr) return;
  const RECT r = OverlayRectFor(MainWindow);
  SetWindowPos(overlay, nullptr, r.left, r.top, Width(r), Height(r), SWP_NOACTIVATE | SWP_NOZORDER);
}

void StopStartup(HWND window) {
  ConsoleState& console = Console();
  KillTimer(window, kTypingTimer);
  KillTimer(window, kFadeTimer);
  KillTimer(window, kUpdateCheckTimer);
  if (console.fadeOverlay && IsWindow(console.fadeOverlay)) DestroyWindow(console.fadeOverlay);
  console.startupPending = false;
  console.fadeOverlay = nullptr;
  console.fadePhase = 0;
}

void PaintStartupView(HDC dc, int width, int height) {
  const ConsoleState& console = Console();
  const RECT client{0, 0, width, height};
  FillRect(dc, &client, SharedBrushes.background.get());
  const StartupReportLayout report = ComputeStartupReport(width, height, CurrentMetrics());
  FillRect(dc, &report.panel, SharedBrushes.dim.get());
  FrameRect(dc, &report.panel, SharedBrushes.border.get());

  const SelectedObject font(dc, console.uiFont.get());
  SetTextColor(dc, kTextColor);
  SetBkMode(dc, TRANSPARENT);
  RECT line = report.firstLine;
  for (const std::wstring& text : VisibleScriptLines(console.startupScript, console.revealedCount, console.animationTick)) {
    if (line.bottom > report.panel.bottom) break;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &line, DT_NOPREFIX | DT_SINGLELINE);
    OffsetRect(&line, 0, report.lineStep);
  }
}

}  // namespace qv
