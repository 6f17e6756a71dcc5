// The events window: plugin timers, reload on save and the notification icon.
//
// Timers cost nothing while none is due: one window timer is armed for the
// earliest due time (re-armed after every call into script code and every
// run), and WM_TIMER keeps arriving while the console is hidden or minimised.
// A timer or a reload that comes due while a call runs (or during the
// start-up report) waits: the call's end arms it again.
#include "app/plugin_events.h"

#include <shellapi.h>

#include <algorithm>
#include <cwchar>
#include <memory>
#include <utility>
#include <vector>

#include "app/script_folder_watch.h"
#include "base/constants.h"
#include "base/files.h"
#include "console/console_state.h"
#include "console/globals.h"
#include "console/output_buffer.h"
#include "host/enable_state.h"
#include "host/loading.h"
#include "host/script_env.h"
#include "host/timer_calls.h"

namespace qv {

namespace {

constexpr wchar_t kEventsWindowClass[] = L"QuorvantLinePluginEvents";
constexpr UINT kScriptsChangedMessage = WM_APP + 22;
constexpr UINT_PTR kPluginTimerId = 1;
constexpr UINT_PTR kReloadTimerId = 2;
// While the start-up report plays, due work looks again this often.
constexpr UINT kStartupRetryMs = 100;

// The notification-area icon, added with the first notification and removed
// when the run ends. Its balloon is a toast on Windows 10 and 11.
class NotificationIcon {
 public:
  NotificationIcon() = default;
  ~NotificationIcon() { Remove(); }
  NotificationIcon(const NotificationIcon&) = delete;
  NotificationIcon& operator=(const NotificationIcon&) = delete;

  bool Show(HWND owner, const std::wstring& title, const std::wstring& text) {
    // A second try re-adds an icon that a restarted taskbar has lost.
    for (int attempt = 0; attempt < 2; ++attempt) {
      if (!added_ && !Add(owner)) return false;
      NOTIFYICONDATAW info = data_;
      info.uFlags = NIF_INFO;
      wcsncpy(info.szInfo, text.c_str(), std::size(info.szInfo) - 1);
      wcsncpy(info.szInfoTitle, title.c_str(), std::size(info.szInfoTitle) - 1);
      info.dwInfoFlags = NIIF_USER;
      info.hBalloonIcon = data_.hIcon;
      if (Shell_NotifyIconW(NIM_MODIFY, &info)) return true;
      added_ = false;
    }
    return false;
  }

  void Remove() {
    if (added_) Shell_NotifyIconW(NIM_DELETE, &data_);
    added_ = false;
  }

 private:
  bool Add(HWND owner) {
    data_ = NOTIFYICONDATAW{};
    data_.cbSize = sizeof(data_);
    data_.hWnd = owner;
    data_.uID = 1;
    data_.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
    data_.uCallbackMessage = kNotifyIconMessage;
    // The main window class's small icon: the program's own once it has one.
    if (MainWindow) data_.hIcon = reinterpret_cast<HICON>(GetClassLongPtrW(MainWindow, GCLP_HICONSM));
    if (data_.hIcon == nullptr) data_.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    wcsncpy(data_.szTip, kProgramTitle, std::size(data_.szTip) - 1);
    added_ = Shell_NotifyIconW(NIM_ADD, &data_) != FALSE;
    return added_;
  }

  NOTIFYICONDATAW data_{};
  bool added_ = false;
};

struct PluginEvents {
  HWND window = nullptr;
  std::unique_ptr<ScriptFolderWatch> watch;
  std::vector<std::wstring> changedScripts;  // since the last reload
  bool reloadWaits = false;                  // the quiet period ended while busy
  NotificationIcon icon;
};

PluginEvents& Events() {
  static PluginEvents events;
  return events;
}

// A call into script code, a load pass or the start-up report is under way.
// (The console's flag still holds while it handles the messages that arrived
// during a call that has just ended.)
bool Busy() {
  return !GlobalHost || GlobalHost->calls.Running() || GlobalHost->loading ||
         Console().startupPending;
}

void RetryAfterStartup(UINT_PTR timer) {
  if (Console().startupPending) SetTimer(Events().window, timer, kStartupRetryMs, nullptr);
}

void ShowConsole() {
  if (MainWindow == nullptr) return;
  ShowWindow(MainWindow, IsIconic(MainWindow) ? SW_RESTORE : SW_SHOW);
  SetForegroundWindow(MainWindow);
}

// settings.json lives with the program's other data, beside disabled.txt.
bool ReloadOnSaveWanted() {
  const std::wstring listPath = DisabledListPath(*GlobalHost);
  std::string settings;
  if (!ReadWholeFile(listPath.substr(0, listPath.find_last_of(L'\\')) + L"\\settings.json", settings)) return true;
  return ReloadOnSaveSetting(settings);
}

void ReloadNow() {
  PluginHost& host = *GlobalHost;
  const std::vector<std::wstring> names = std::exchange(Events().changedScripts, {});
  HideConsoleMenu(false);
  AppendOutput(ReloadNoticeText(names) + L"\r\n");
  LoadPlugins(host);
  AppendOutput(TakePendingLog(host));
  if (Console().pluginManagerWindow) InvalidateRect(Console().pluginManagerWindow, nullptr, TRUE);
  if (MainWindow) InvalidateRect(MainWindow, nullptr, FALSE);
}

void ArmPluginTimer() {
  const HWND window = Events().window;
  if (window == nullptr || !GlobalHost) return;
  const std::optional<std::uint64_t> wait = GlobalHost->timers.MillisecondsToNext();
  if (!wait) {
    KillTimer(window, kPluginTimerId);
    return;
  }
  const auto elapse = std::clamp<std::uint64_t>(*wait, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
  SetTimer(window, kPluginTimerId, static_cast<UINT>(elapse), nullptr);
}

// ---- Message handlers ----------------------------------------------------------

void OnPluginTimer(HWND window) {
  KillTimer(window, kPluginTimerId);
  if (Busy()) return RetryAfterStartup(kPluginTimerId);
  RunDueTimers(*GlobalHost);
  ArmPluginTimer();
}

void OnReloadTimer(HWND window) {
  KillTimer(window, kReloadTimerId);
  if (Busy()) {
    Events().reloadWaits = true;
    return RetryAfterStartup(kReloadTimerId);
  }
  Events().reloadWaits = false;
  ReloadNow();
  ArmPluginTimer();
}

// Every change starts the quiet period again.
void OnScriptsChanged(HWND window) {
  PluginEvents& events = Events();
  if (!events.watch) return;
  for (std::wstring& name : events.watch->TakeNames()) events.changedScripts.push_back(std::move(name));
  SetTimer(window, kReloadTimerId, kReloadQuietMs, nullptr);
}

void OnNotifyIcon(LPARAM lParam) {
  switch (LOWORD(lParam)) {
    case NIN_BALLOONUSERCLICK:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
      ShowConsole();
      break;
    default:
      break;
  }
}

LRESULT CALLBACK EventsWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  switch (message) {
    case WM_TIMER:
      if (wParam == kPluginTimerId) OnPluginTimer(window);
      if (wParam == kReloadTimerId) OnReloadTimer(window);
      return 0;
    case kScriptsChangedMessage: OnScriptsChanged(window); return 0;
    case kNotifyIconMessage: OnNotifyIcon(lParam); return 0;
    default: return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace

void StartPluginEvents() {
  PluginEvents& events = Events();
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = EventsWindowProc;
  windowClass.hInstance = AppInstance;
  windowClass.lpszClassName = kEventsWindowClass;
  RegisterClassExW(&windowClass);
  events.window = CreateWindowExW(0, kEventsWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, AppInstance,
                                  nullptr);
  if (events.window == nullptr) return;
  if (GlobalHost && ReloadOnSaveWanted()) {
    events.watch = std::make_unique<ScriptFolderWatch>(GlobalHost->pluginsDir, events.window, kScriptsChangedMessage);
  }
  ArmPluginTimer();
}

void StopPluginEvents() {
  PluginEvents& events = Events();
  events.watch.reset();
  events.icon.Remove();
  if (events.window) DestroyWindow(events.window);
  events.window = nullptr;
  events.changedScripts.clear();
}

void AfterScriptCall() {
  ArmPluginTimer();
  PluginEvents& events = Events();
  if (events.reloadWaits && events.window) SetTimer(events.window, kReloadTimerId, USER_TIMER_MINIMUM, nullptr);
}

bool ShowNotification(const std::wstring& title, const std::wstring& text) {
  PluginEvents& events = Events();
  return events.window != nullptr && events.icon.Show(events.window, title, text);
}

}  // namespace qv
