// The program-wide constants: version, title, kernel object and window class
// names, and the colours of the dark interface.
#pragma once

#include <windows.h>

namespace qv {

// The program's version, shown in the start-up report and compared by the update check.
inline constexpr wchar_t kProgramVersion[] = L"0.4.0";
inline constexpr wchar_t kProgramTitle[] = L"quorvantline";

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
