// The message that the icon probe (icon_probe.cpp) answers on the main window: it posts it back to the thread
// named in wParam, wParam 1 when the class's large icon is the program's own, lParam 1 when the small one is.
#pragma once

namespace qv::e2e {
inline constexpr wchar_t kIconProbeMessage[] = L"quorvantline-e2e-icon-probe";
}  // namespace qv::e2e
