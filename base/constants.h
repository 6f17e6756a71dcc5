// The program-wide constants: version, title, icon, kernel object and window class
// names, and the colours of the dark interface.
#pragma once

#include <windows.h>

#include "base/version.h"  // kProgramVersion, generated from the project's version

namespace qv {

inline constexpr wchar_t kProgramTitle[] = L"quorvantline";

// The program's icon group in the executable's resources (app/resources/quorvantline.rc.in):
// the lowest id, so Explorer shows it for the file.
inline constexpr WORD kProgramIconId = 1;

// The named mutex that keeps a second copy from running on the same desktop.
inline constexpr wchar_t kInstanceMutexName[] = L"Local\\quorvantline-single-instance-1f0a6d4e";

// Window class names.
inline constexpr wchar_t kMainWindowClass[] = L"QuorvantLineWindow";
inline constexpr wchar_t kFadeOverlayClass[] = L"QuorvantLineFadeOverlay";
inline constexpr wchar_t kMenuWindowClass[] = L"QuorvantLineMenuWindow";
inline constexpr wchar_t kManagerWindowClass[] = L"QuorvantLineManagerWindow";

// Colours of the dark interface.
inline constexpr COLORREF kTextColor = RGB(212, 212, 212);
inline constexpr COLORREF kDimTextColor = RGB(130, 130, 130);
inline constexpr COLORREF kBackgroundColor = RGB(12, 12, 12);
inline constexpr COLORREF kDimColor = RGB(7, 7, 7);
inline constexpr COLORREF kBorderColor = RGB(88, 88, 88);
inline constexpr COLORREF kHighlightColor = RGB(30, 30, 30);

}  // namespace qv
