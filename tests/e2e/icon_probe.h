// What the icon probe (icon_probe.cpp, a DLL loaded into the running program by
// a message hook) answers: the message it listens for on the main window, and
// the bits of its answer, posted back to the thread named in wParam.
#pragma once

namespace qv::e2e {

inline constexpr wchar_t kIconProbeMessage[] = L"quorvantline-e2e-icon-probe";
inline constexpr unsigned kBigIconFromProgram = 1;    // GCLP_HICON
inline constexpr unsigned kSmallIconFromProgram = 2;  // GCLP_HICONSM

}  // namespace qv::e2e
