#include "app/system_calls.h"

namespace qv {

namespace {

// A function of the already loaded user32.dll, or null.
template <typename Function>
Function User32Function(const char* name) {
  const HMODULE user32 = GetModuleHandleW(L"user32.dll");
  return user32 ? reinterpret_cast<Function>(GetProcAddress(user32, name)) : nullptr;
}

template <typename Function>
Function LibraryFunction(const UniqueLibrary& library, const char* nameOrOrdinal) {
  return library ? reinterpret_cast<Function>(GetProcAddress(library.get(), nameOrOrdinal)) : nullptr;
}

const char* Ordinal(WORD ordinal) { return MAKEINTRESOURCEA(ordinal); }

}  // namespace

bool RealWindowsVersion(RTL_OSVERSIONINFOW& version) {
  using GetVersion = LONG(WINAPI*)(RTL_OSVERSIONINFOW*);
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  const auto getVersion = ntdll ? reinterpret_cast<GetVersion>(GetProcAddress(ntdll, "RtlGetVersion")) : nullptr;
  if (getVersion == nullptr) return false;
  version = RTL_OSVERSIONINFOW{};
  version.dwOSVersionInfoSize = sizeof(version);
  return getVersion(&version) == 0;
}

void EnableDpiAwareness() {
  // Windows 10 1703 and later.
  using SetContext = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT);
  const auto setContext = User32Function<SetContext>("SetProcessDpiAwarenessContext");
  if (setContext && setContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2)) return;
  SetProcessDPIAware();
}

int SystemDpi() {
  // Windows 10 1607 and later.
  using GetDpi = UINT(WINAPI*)();
  const auto getDpiForSystem = User32Function<GetDpi>("GetDpiForSystem");
  if (getDpiForSystem) {
    const UINT dpi = getDpiForSystem();
    if (dpi != 0) return static_cast<int>(dpi);
  }
  const HDC screen = GetDC(nullptr);
  if (screen == nullptr) return 96;
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  return dpi != 0 ? dpi : 96;
}

int DpiForWindow(HWND window) {
  // Windows 10 1607 and later.
  using GetDpi = UINT(WINAPI*)(HWND);
  const auto getDpiForWindow = User32Function<GetDpi>("GetDpiForWindow");
  return getDpiForWindow ? static_cast<int>(getDpiForWindow(window)) : 0;
}

BOOL AdjustFrameRect(RECT& rect, int dpi) {
  // Windows 10 1607 and later.
  using AdjustForDpi = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
  const auto adjustForDpi = User32Function<AdjustForDpi>("AdjustWindowRectExForDpi");
  if (adjustForDpi) return adjustForDpi(&rect, kMainWindowStyle, FALSE, 0, static_cast<UINT>(dpi));
  return AdjustWindowRectEx(&rect, kMainWindowStyle, FALSE, 0);
}

UxTheme::UxTheme() : library_(L"uxtheme.dll") {}

void UxTheme::SetPreferredAppMode(int mode) const {
  // Undocumented export 135 of uxtheme.dll: SetPreferredAppMode(PreferredAppMode).
  using Function = int(WINAPI*)(int);
  if (const auto function = LibraryFunction<Function>(library_, Ordinal(135))) function(mode);
}

void UxTheme::AllowDarkModeForWindow(HWND window, bool allow) const {
  // Undocumented export 133 of uxtheme.dll: AllowDarkModeForWindow(HWND, BOOL).
  using Function = BOOL(WINAPI*)(HWND, BOOL);
  if (const auto function = LibraryFunction<Function>(library_, Ordinal(133))) function(window, allow);
}

void UxTheme::SetWindowTheme(HWND window, const wchar_t* subApp) const {
  using Function = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);
  if (const auto function = LibraryFunction<Function>(library_, "SetWindowTheme")) function(window, subApp, nullptr);
}

DwmApi::DwmApi()
    : library_(L"dwmapi.dll"), setAttribute_(LibraryFunction<SetAttributeFunction>(library_, "DwmSetWindowAttribute")) {}

HRESULT DwmApi::SetWindowAttribute(HWND window, DWORD attribute, DWORD value) const {
  if (setAttribute_ == nullptr) return E_NOTIMPL;
  return setAttribute_(window, attribute, &value, sizeof(value));
}

}  // namespace qv
