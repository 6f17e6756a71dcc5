// The plugin manager window ("插件管理").
#pragma once

#include <windows.h>

#include <string>

namespace qv {

// Window procedure of the plugin manager window class.
LRESULT CALLBACK ManagerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
// Opens the window (taking the enable-state snapshot) or brings the open one forward.
void OpenPluginManager();
// Starts a new copy of this program and closes this one. When the new process
// cannot be started this one keeps running, holds the single-instance mutex
// again and says so in the output log.
void RestartProgram();
// RestartProgram with a given executable; true when the new process started.
bool RestartProgramFrom(const std::wstring& executable);
// Whether the plugin with this file name (any case) is disabled; false when
// there is no such plugin or no host.
bool IsPluginDisabled(const std::wstring& fileName);

}  // namespace qv
