// The console's drop-up menu of script entries.
#pragma once

#include <windows.h>

namespace qv {

// Window procedure of the menu window class.
LRESULT CALLBACK MenuWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
// Opens the menu above the console's menu button (client coordinates),
// holding the mouse capture and the focus.
void ShowMenuWindow(const RECT& menuButton);
// Closes the menu; gives the focus back to the input line when asked.
void HideMenuWindow(bool returnFocus);
// The entry index at client height y of the menu (as scrolled now), or -1.
int MenuItemAt(int y);
// Runs the command line of entry index (closing the menu first); an index
// that names no entry does nothing.
void ChooseMenuItem(int index);

}  // namespace qv
