// The program's window classes: the console, its fade overlay, the menu and
// the plugin manager, registered for AppInstance with the shared brushes.
#pragma once

#include <windows.h>

namespace qv {

// The program's icon (kProgramIconId in AppInstance's resources) at size x size
// pixels, or the generic program icon where the module has none. Shared: it is
// never destroyed.
HICON ProgramIcon(int size);

// The failure message, or null when every class is registered.
const wchar_t* RegisterWindowClasses();

}  // namespace qv
