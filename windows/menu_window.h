// The console's drop-up menu of script entries.
#pragma once

#include <windows.h>

namespace qv {

// Window procedure of the menu window class.
LRESULT CALLBACK MenuWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
// Closes the menu; gives the focus back to the input line when asked.
void HideMenuWindow(bool returnFocus);

}  // namespace qv
