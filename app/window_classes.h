// The program's window classes: the console, its fade overlay, the menu and
// the plugin manager, registered for AppInstance with the shared brushes.
#pragma once

namespace qv {

// The failure message, or null when every class is registered.
const wchar_t* RegisterWindowClasses();

}  // namespace qv
