// What the window thread does while a call into script code runs on the
// script thread: it keeps painting, timers, moving and sizing, turns Esc into
// a stop request, and holds back everything else that was posted (keys and
// clicks, closing, the update notice) until the call has ended, so no second
// command, menu entry or plugin manager action starts while the call runs.
// (Messages sent from other threads and processes, such as a read of a
// window's text, are answered as always.)
#pragma once

#include <windows.h>


namespace qv {

enum class CallTimeAction {
  kDispatch,   // handled as usual
  kStop,       // Esc: stop the running call
  kDefer,      // posted again once the call has ended
  kDrop,       // the rest of an Esc key
};

// What to do with a message retrieved while a call runs. titleHit is what the
// title bar has at the point of a main-window click (TitleHit as an int, see
// console/layout.h), ignored for other messages.
CallTimeAction ClassifyCallTimeMessage(const MSG& message, bool onMainWindow, int titleHit);

// The three host callbacks (onCallBegin, onCallWait, onCallEnd).
void BeginScriptCall();
void WaitDuringCall();
void EndScriptCall();
// Handles or holds back what has arrived while a call runs.
void PumpDuringCall();
// Ctrl as the program sees it for the message just retrieved (the key state
// follows the retrieved input), so a held-back key keeps its own moment's state.
bool ControlKeyDown();
// Closing asked for while a call runs: queued behind what was typed before it.
void DeferClose();
// A key that reaches the input line while held-back messages still wait (it
// was posted between the call's last look at the queue and their replay)
// joins the end of their queue; true when it was held.
bool HoldBehindDeferred(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Posted to the main window to replay the held-back messages one by one.
inline constexpr UINT kReplayDeferredMessage = WM_APP + 2;
// Handles the oldest held-back message (the main window does, on
// kReplayDeferredMessage), in the keyboard state of its own moment; the
// messages thus come in the order they arrived and before anything newer, in
// whichever message loop runs.
void ReplayNextDeferredMessage();

}  // namespace qv
