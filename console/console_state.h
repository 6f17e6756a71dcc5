// The console window's state, kept in one place. User-interface thread only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "base/handles.h"
#include "console/command_line.h"
#include "console/history_search.h"
#include "console/layout.h"
#include "console/output_buffer.h"

namespace qv {

// Control identifiers of the console's children.
inline constexpr int kOutputViewId = 1001;
inline constexpr int kInputLineId = 1002;
inline constexpr int kMenuWindowId = 0;
// Most characters the input line takes.
inline constexpr std::size_t kInputTextLimit = 4096;

// A message held back while a call runs, with the keyboard state of its own moment.
struct DeferredMessage {
  MSG message{};
  bool controlDown = false;
};

struct ConsoleState {
  HWND outputView = nullptr;
  HWND inputLine = nullptr;
  HWND menuWindow = nullptr;
  HWND fadeOverlay = nullptr;
  HWND pluginManagerWindow = nullptr;

  UniqueFont uiFont;
  UniqueFont titleFont;
  int charWidth = kFallbackCharWidth;
  int lineHeight = kFallbackLineHeight;

  bool startupPending = true;
  bool pinned = false;
  bool menuOpen = false;
  bool updateNoticeShown = false;
  int highlightedRow = -1;  // the menu window's highlighted row, -1 for none

  std::wstring updateDownloadUrl;

  std::vector<std::wstring> commandHistory;  // oldest first, at most kHistoryLimit
  int historyPosition = 0;
  std::wstring historyDraft;
  std::wstring historyFolder;  // where history.txt is kept; empty: kept in memory only
  bool historyWriteFailed = false;
  bool firstStart = false;  // there was no history file yet
  HistorySearch search;     // Ctrl+R
  // The line that a Tab left with several matches: Tab on it again lists them.
  std::wstring ambiguousTabLine;
  bool inputCutShown = false;  // the line reached the input limit and the log said so
  UpdateCheckState updateCheck;
  // The global hotkey's identifier while it is registered, 0 otherwise.
  int hotkeyId = 0;

  // The numbered output log and what of it the output view shows.
  OutputLog output;
  // The input line's own procedure, saved when it is subclassed.
  WNDPROC inputLineDefaultProc = nullptr;

  // Start-up report and fade.
  std::wstring startupScript;
  std::uint64_t revealedCount = 0;
  int animationTick = 0;
  int holdTicks = 0;
  int fadeAlpha = 0;
  int fadePhase = 0;  // 0 none, 1 fading in, 2 fading out
  bool updateCheckStarted = false;

  // Held back while a call into script code runs (see call_wait.h).
  std::deque<DeferredMessage> deferredMessages;
  bool runningShown = false;  // the running call shows the running prompt and hint  // held back while a call runs, oldest first
  std::size_t replayTriggersQueued = 0;  // kReplayDeferredMessage posts not yet handled
  // While a held-back key is handled: whether Ctrl was down when it was typed.
  std::optional<bool> replayedControlDown;
};

// The one console state of the process.
ConsoleState& Console();

// The drop-up menu's window lives a layer above the console: its two
// operations are installed with the window classes. Either may be null (no
// menu window), and then opening and closing the menu do nothing.
struct MenuOperations {
  void (*show)(const RECT& menuButton) = nullptr;
  void (*hide)(bool returnFocus) = nullptr;
};
inline MenuOperations ConsoleMenu;

inline void HideConsoleMenu(bool returnFocus) {
  if (ConsoleMenu.hide) ConsoleMenu.hide(returnFocus);
}

}  // namespace qv
