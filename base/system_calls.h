// Every system function that may be missing on the running Windows (or under
// Wine) is looked up here and nowhere else. A missing function is never an
// error: each call below falls back or does nothing.
#pragma once

#include <windows.h>

#include "base/handles.h"

namespace qv {

// Window style of the main window, for frame size computations.
inline constexpr DWORD kMainWindowStyle = WS_POPUP | WS_CLIPCHILDREN | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX;

// Per-monitor (v2) DPI awareness, or system DPI awareness where that is missing.
void EnableDpiAwareness();
// The system DPI (96 when nothing better is known).
int SystemDpi();
// The DPI of a window, or 0 when the system cannot tell.
int DpiForWindow(HWND window);
// Grows a client rectangle to the main window's outer size at the DPI.
BOOL AdjustFrameRect(RECT& rect, int dpi);

// ntdll's RtlGetVersion: the real Windows version, unaffected by compatibility
// shims. False when the function is missing or fails.
bool RealWindowsVersion(RTL_OSVERSIONINFOW& version);

// What ordinal 135 of uxtheme.dll is on a Windows build.
enum class AppModeExport {
  kNone,                 // before 1809 (build 17763): missing
  kAllowDarkModeForApp,  // 1809 up to build 18333: BOOL AllowDarkModeForApp(BOOL)
  kSetPreferredAppMode,  // build 18334 and later: PreferredAppMode SetPreferredAppMode(PreferredAppMode)
};

// The undocumented dark-mode exports of uxtheme.dll that a Windows build has.
struct DarkModeExports {
  bool allowDarkModeForWindow = false;  // ordinal 133: BOOL AllowDarkModeForWindow(HWND, BOOL), from 1809
  AppModeExport appMode = AppModeExport::kNone;
};
// 0 (build unknown) counts as a build before 1809.
DarkModeExports DarkModeExportsFor(DWORD build);

// uxtheme.dll from the system folder, loaded once for the process, with the
// dark-mode exports of the running Windows build. Where an export is missing
// (older builds, Wine) its call does nothing and the feature stays off.
class UxTheme {
 public:
  static const UxTheme& Instance();

  // Dark menus and controls for the whole application (ordinal 135): forced
  // from build 18334, allowed (when the user chose dark) on 1809.
  void UseDarkAppMode() const;
  // Dark controls for one window (ordinal 133).
  void AllowDarkModeForWindow(HWND window) const;
  // SetWindowTheme, by name.
  void SetWindowTheme(HWND window, const wchar_t* subApp) const;

 private:
  UxTheme();

  using AllowForWindowFunction = BOOL(WINAPI*)(HWND, BOOL);
  using AllowForAppFunction = BOOL(WINAPI*)(BOOL);
  using SetAppModeFunction = int(WINAPI*)(int);
  using SetThemeFunction = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);
  UniqueLibrary library_;
  AllowForWindowFunction allowForWindow_ = nullptr;
  AllowForAppFunction allowForApp_ = nullptr;
  SetAppModeFunction setAppMode_ = nullptr;
  SetThemeFunction setWindowTheme_ = nullptr;
};

// dwmapi.dll's DwmSetWindowAttribute, loaded for the lifetime of the object.
class DwmApi {
 public:
  DwmApi();
  bool Available() const { return setAttribute_ != nullptr; }
  // The call's result; E_NOTIMPL when the function is missing.
  HRESULT SetWindowAttribute(HWND window, DWORD attribute, DWORD value) const;

 private:
  using SetAttributeFunction = HRESULT(WINAPI*)(HWND, DWORD, LPCVOID, DWORD);
  UniqueLibrary library_;
  SetAttributeFunction setAttribute_ = nullptr;
};

}  // namespace qv
