// Every system function that may be missing on the running Windows (or under
// Wine) is looked up here and nowhere else. A missing function is never an
// error: each call below falls back or does nothing.
#pragma once

#include <windows.h>

#include "app/handles.h"

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

// uxtheme.dll, loaded for the lifetime of the object.
class UxTheme {
 public:
  UxTheme();
  // Ordinal 135, SetPreferredAppMode: 2 forces the dark application theme.
  void SetPreferredAppMode(int mode) const;
  // Ordinal 133, AllowDarkModeForWindow.
  void AllowDarkModeForWindow(HWND window, bool allow) const;
  // SetWindowTheme, by name.
  void SetWindowTheme(HWND window, const wchar_t* subApp) const;

 private:
  UniqueLibrary library_;
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
