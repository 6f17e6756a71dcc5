// The plugin manager window ("插件管理").
#pragma once

#include <windows.h>

namespace qv {

// Window procedure of the plugin manager window class.
LRESULT CALLBACK ManagerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
// Opens the window (taking the enable-state snapshot) or brings the open one forward.
void OpenPluginManager();

}  // namespace qv
