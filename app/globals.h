// Process-wide state of the running program. Used on the user-interface
// thread only; every window handle may be null.
#pragma once

#include <windows.h>

#include <memory>

#include "app/dpi.h"
#include "app/handles.h"
#include "host/plugin_host.h"

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

// The five shared brushes, made by start-up for the run.
struct Brushes {
  UniqueBrush background;  // kBackgroundColor
  UniqueBrush dim;         // kDimColor
  UniqueBrush input;       // kBackgroundColor, a brush of its own for the input line
  UniqueBrush border;      // kBorderColor
  UniqueBrush highlight;   // kHighlightColor
};

inline HINSTANCE AppInstance = nullptr;
inline int CurrentDpi = kBaseDpi;
inline std::unique_ptr<PluginHost> GlobalHost;
// The single-instance mutex; the restart lets go of it before it starts the
// new process.
inline UniqueHandle InstanceGuard;
inline HWND MainWindow = nullptr;
inline Brushes SharedBrushes;

}  // namespace qv
