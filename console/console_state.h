// The console window's state, kept in one place. User-interface thread only.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace qv {

// Control identifiers of the console's children.
inline constexpr int kOutputViewId = 1001;
inline constexpr int kInputLineId = 1002;
inline constexpr int kMenuWindowId = 0;

// Message posted by the update check when a newer version is announced.
inline constexpr UINT UpdateAvailableMessage = WM_APP + 1;

struct ConsoleState {
  HWND outputView = nullptr;
  HWND inputLine = nullptr;
  HWND menuWindow = nullptr;
  HWND fadeOverlay = nullptr;
  HWND pluginManagerWindow = nullptr;

  HFONT uiFont = nullptr;
  HFONT titleFont = nullptr;
  int charWidth = 8;
  int lineHeight = 16;

  bool startupPending = true;
  bool pinned = false;
  bool menuOpen = false;
  bool updateNoticeShown = false;
  int highlightedRow = -1;  // the menu window's highlighted row, -1 for none

  std::wstring updateDownloadUrl;

  std::vector<std::wstring> commandHistory;  // oldest first, at most 100
  int historyPosition = 0;
  std::wstring historyDraft;
};

// The one console state of the process.
ConsoleState& Console();

}  // namespace qv
