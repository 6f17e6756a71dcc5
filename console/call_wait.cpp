#include "console/call_wait.h"

#include <windowsx.h>

#include "console/globals.h"
#include "console/console_state.h"
#include "console/input_actions.h"
#include "console/layout.h"

namespace qv {

namespace {

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
  console.callRunning = true;
  if (console.menuOpen) HideConsoleMenu(false);
  RefreshInputRow();  // the prompt and the running hint
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
        // A key's character is made now, so that it is held back right behind it.
        TranslateMessage(&message);
        Console().deferredMessages.push_back(message);
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
  console.callRunning = false;
  RefreshInputRow();
  // The message loop replays the held-back messages before it takes anything
  // newer; without a window (shutting down) only a quit request matters.
  if (console.deferredMessages.empty() || MainWindow) return;
  for (const MSG& message : console.deferredMessages) {
    if (message.message == WM_QUIT) PostQuitMessage(static_cast<int>(message.wParam));
  }
  console.deferredMessages.clear();
}

void DeferClose() {
  MSG close{};
  close.hwnd = MainWindow;
  close.message = WM_CLOSE;
  Console().deferredMessages.push_back(close);
}

void ReplayDeferredMessages() {
  ConsoleState& console = Console();
  // A replayed key may start a command, whose own held-back messages join the
  // end of the same queue.
  while (!console.callRunning && !console.deferredMessages.empty()) {
    const MSG message = console.deferredMessages.front();
    console.deferredMessages.pop_front();
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
    } else if (message.hwnd == nullptr || IsWindow(message.hwnd)) {
      DispatchMessageW(&message);
    }
  }
}

}  // namespace qv
