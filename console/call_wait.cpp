#include "console/call_wait.h"

#include <windowsx.h>

#include <algorithm>

#include "console/globals.h"
#include "console/console_state.h"
#include "console/input_actions.h"
#include "console/layout.h"
#include "host/execute.h"

namespace qv {

namespace {

// Posted messages a queue holds are limited (10,000 by default).
constexpr std::size_t kMostReplayTriggers = 1000;

bool IsKeyboardMessage(UINT message) { return message >= WM_KEYFIRST && message <= WM_KEYLAST; }

bool IsClientButtonMessage(UINT message) {
  switch (message) {
    case WM_LBUTTONDOWN: case WM_LBUTTONUP: case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN: case WM_RBUTTONUP: case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN: case WM_MBUTTONUP: case WM_MBUTTONDBLCLK:
    case WM_XBUTTONDOWN: case WM_XBUTTONUP: case WM_XBUTTONDBLCLK:
      return true;
    default:
      return false;
  }
}

int TitleHitOf(const MSG& message) {
  if (message.hwnd != MainWindow || message.message != WM_LBUTTONDOWN) return static_cast<int>(TitleHit::kOutside);
  RECT client{};
  GetClientRect(MainWindow, &client);
  const POINT point{GET_X_LPARAM(message.lParam), GET_Y_LPARAM(message.lParam)};
  return static_cast<int>(HitTitleBar(point, client.right - client.left, CurrentDpi));
}

}  // namespace

bool ControlKeyDown() { return GetKeyState(VK_CONTROL) < 0 || GetAsyncKeyState(VK_CONTROL) < 0; }

namespace {

void DeferMessage(const MSG& message) {
  ConsoleState& console = Console();
  const bool controlDown = IsKeyboardMessage(message.message) && ControlKeyDown();
  // A replay trigger that a new call overtook: the call's end posts enough anew.
  if (message.message == kReplayDeferredMessage && message.hwnd == MainWindow) {
    if (console.replayTriggersQueued > 0) --console.replayTriggersQueued;
    return;
  }
  console.deferredMessages.push_back(DeferredMessage{message, controlDown});
  // A key's character is made now, so that it is held back right behind it.
  MSG translated = message;
  TranslateMessage(&translated);
}

// One trigger per held-back message, all posted at once, so that each comes
// before anything posted or typed later, whichever loop retrieves them.
void PostReplayTriggers() {
  ConsoleState& console = Console();
  const std::size_t wanted = std::min(console.deferredMessages.size(), kMostReplayTriggers);
  while (MainWindow && console.replayTriggersQueued < wanted &&
         PostMessageW(MainWindow, kReplayDeferredMessage, 0, 0)) {
    ++console.replayTriggersQueued;
  }
}

}  // namespace

CallTimeAction ClassifyCallTimeMessage(const MSG& message, bool onMainWindow, int titleHit) {
  const UINT id = message.message;
  if (IsKeyboardMessage(id) && message.wParam == VK_ESCAPE) {
    return id == WM_KEYDOWN ? CallTimeAction::kStop : CallTimeAction::kDrop;
  }
  // Typed ahead and clicked ahead: handled once the call has ended, as
  // Windows itself queues input for a program that is busy.
  if (IsKeyboardMessage(id)) return CallTimeAction::kDefer;
  if (IsClientButtonMessage(id)) {
    const bool minimize = onMainWindow && id == WM_LBUTTONDOWN && static_cast<TitleHit>(titleHit) == TitleHit::kMinimize;
    return minimize ? CallTimeAction::kDispatch : CallTimeAction::kDefer;
  }
  // Painting, timers, the pointer, and the non-client mouse that moves and sizes.
  const bool nonClientMouse = id >= WM_NCMOUSEMOVE && id <= WM_NCXBUTTONDBLCLK;
  if (id == WM_PAINT || id == WM_TIMER || id == WM_MOUSEMOVE || id == WM_MOUSEWHEEL || id == WM_MOUSEHWHEEL ||
      id == WM_MOUSELEAVE || id == WM_NCMOUSELEAVE || nonClientMouse) {
    return CallTimeAction::kDispatch;
  }
  // Everything else that was posted (closing, notices, control requests) keeps
  // its order and is handled once the call has ended.
  return CallTimeAction::kDefer;
}

void BeginScriptCall() {
  ConsoleState& console = Console();
  console.runningShown = false;
  if (console.menuOpen) HideConsoleMenu(false);
}

void WaitDuringCall() {
  ConsoleState& console = Console();
  // Only a call that outlives the quick hand-over shows the running prompt
  // and hint: a timer's run or a short command does not redraw the window.
  if (!console.runningShown) {
    console.runningShown = true;
    RefreshInputRow();
  }
  PumpDuringCall();
}

void PumpDuringCall() {
  MSG message{};
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    switch (ClassifyCallTimeMessage(message, message.hwnd != nullptr && message.hwnd == MainWindow,
                                    TitleHitOf(message))) {
      case CallTimeAction::kDispatch:
        TranslateMessage(&message);
        DispatchMessageW(&message);
        break;
      case CallTimeAction::kStop:
        if (GlobalHost) StopRunningCall(*GlobalHost);
        break;
      case CallTimeAction::kDefer:
        DeferMessage(message);
        break;
      case CallTimeAction::kDrop:
        break;
    }
  }
}

void EndScriptCall() {
  // What arrived since the last look is older than anything posted from now on.
  PumpDuringCall();
  ConsoleState& console = Console();
  const bool shown = std::exchange(console.runningShown, false);
  if (console.deferredMessages.empty()) {
    if (shown) RefreshInputRow();  // the prompt back, the running hint gone
    return;
  }
  // The replay goes through the message queue, so that every message loop
  // (a message box's too) replays the held-back messages before anything
  // newer; without a window (shutting down) only a quit request matters.
  if (MainWindow) {
    PostReplayTriggers();
    RefreshInputRow();  // only now: nothing may come between the last look and the replay
    return;
  }
  for (const DeferredMessage& deferred : console.deferredMessages) {
    if (deferred.message.message == WM_QUIT) PostQuitMessage(static_cast<int>(deferred.message.wParam));
  }
  console.deferredMessages.clear();
}

void DeferClose() {
  MSG close{};
  close.hwnd = MainWindow;
  close.message = WM_CLOSE;
  Console().deferredMessages.push_back(DeferredMessage{close, false});
}

bool HoldBehindDeferred(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  ConsoleState& console = Console();
  if (console.replayedControlDown || console.deferredMessages.empty() || !IsKeyboardMessage(message)) return false;
  MSG held{};
  held.hwnd = window;
  held.message = message;
  held.wParam = wParam;
  held.lParam = lParam;
  console.deferredMessages.push_back(DeferredMessage{held, ControlKeyDown()});
  if (console.replayTriggersQueued == 0) PostReplayTriggers();
  return true;
}

void ReplayNextDeferredMessage() {
  ConsoleState& console = Console();
  if (console.replayTriggersQueued > 0) --console.replayTriggersQueued;
  // A replayed key may start a command, whose own held-back messages join the
  // end of the same queue; its end posts the triggers anew.
  if (ScriptCallRunning() || console.deferredMessages.empty()) return;
  const DeferredMessage deferred = console.deferredMessages.front();
  console.deferredMessages.pop_front();
  // Past kMostReplayTriggers held-back messages the rest follow one by one.
  if (console.replayTriggersQueued == 0) PostReplayTriggers();
  const MSG& message = deferred.message;
  if (message.message == WM_QUIT) {
    PostQuitMessage(static_cast<int>(message.wParam));
  } else if (message.hwnd == nullptr || IsWindow(message.hwnd)) {
    console.replayedControlDown = deferred.controlDown;
    DispatchMessageW(&message);
    Console().replayedControlDown.reset();
  }
}

}  // namespace qv
