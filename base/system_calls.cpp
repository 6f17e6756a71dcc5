#include "base/system_calls.h"

#include "base/dpi.h"

namespace qv {

namespace {

// An export of a loaded module as the function type it is documented (or
// known) to have, or null. The cast goes through void (*)(), the one function
// type that converts to any other without a warning: the export's true type is
// this file's knowledge, not the compiler's.
template <typename Function>
Function ModuleFunction(HMODULE module, const char* nameOrOrdinal) {
  if (module == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, nameOrOrdinal)));
}

// A function of the already loaded user32.dll, or null.
template <typename Function>
Function User32Function(const char* name) {
  return ModuleFunction<Function>(GetModuleHandleW(L"user32.dll"), name);
}

template <typename Function>
Function LibraryFunction(const UniqueLibrary& library, const char* nameOrOrdinal) {
  return ModuleFunction<Function>(library.get(), nameOrOrdinal);
}

const char* Ordinal(WORD ordinal) { return MAKEINTRESOURCEA(ordinal); }

}  // namespace

bool RealWindowsVersion(RTL_OSVERSIONINFOW& version) {
  using GetVersion = LONG(WINAPI*)(RTL_OSVERSIONINFOW*);
  const auto getVersion = ModuleFunction<GetVersion>(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion");
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
  const UniqueWindowDC screen = WindowDC(nullptr);
  if (!screen) return kBaseDpi;
  const int dpi = GetDeviceCaps(screen.get(), LOGPIXELSX);
  return dpi != 0 ? dpi : kBaseDpi;
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

DarkModeExports DarkModeExportsFor(DWORD build) {
  constexpr DWORD kFirstWithDarkMode = 17763;        // 1809
  constexpr DWORD kFirstWithPreferredAppMode = 18334;  // ordinal 135 changed meaning here (1903)
  DarkModeExports exports;
  if (build < kFirstWithDarkMode) return exports;
  exports.allowDarkModeForWindow = true;
  exports.appMode =
      build < kFirstWithPreferredAppMode ? AppModeExport::kAllowDarkModeForApp : AppModeExport::kSetPreferredAppMode;
  return exports;
}

const UxTheme& UxTheme::Instance() {
  static const UxTheme instance;
  return instance;
}

UxTheme::UxTheme()
    : library_(LoadSystemLibrary(L"uxtheme.dll")),
      setWindowTheme_(LibraryFunction<SetThemeFunction>(library_, "SetWindowTheme")) {
  RTL_OSVERSIONINFOW version{};
  const DarkModeExports exports = DarkModeExportsFor(RealWindowsVersion(version) ? version.dwBuildNumber : 0);
  // Undocumented exports, by ordinal only, each looked up only where the build
  // has it with the signature it has there:
  //   133  AllowDarkModeForWindow(HWND, BOOL)          1809 and later
  //   135  AllowDarkModeForApp(BOOL)                    1809 up to build 18333
  //   135  SetPreferredAppMode(PreferredAppMode)        build 18334 and later
  if (exports.allowDarkModeForWindow) allowForWindow_ = LibraryFunction<AllowForWindowFunction>(library_, Ordinal(133));
  if (exports.appMode == AppModeExport::kAllowDarkModeForApp) {
    allowForApp_ = LibraryFunction<AllowForAppFunction>(library_, Ordinal(135));
  } else if (exports.appMode == AppModeExport::kSetPreferredAppMode) {
    setAppMode_ = LibraryFunction<SetAppModeFunction>(library_, Ordinal(135));
  }
}

void UxTheme::UseDarkAppMode() const {
  constexpr int kForceDark = 2;  // PreferredAppMode: 0 default, 1 allow dark, 2 force dark, 3 force light
  if (setAppMode_) setAppMode_(kForceDark);
  if (allowForApp_) allowForApp_(TRUE);
}

void UxTheme::AllowDarkModeForWindow(HWND window) const {
  if (allowForWindow_) allowForWindow_(window, TRUE);
}

void UxTheme::SetWindowTheme(HWND window, const wchar_t* subApp) const {
  if (setWindowTheme_) setWindowTheme_(window, subApp, nullptr);
}

DwmApi::DwmApi()
    : library_(LoadSystemLibrary(L"dwmapi.dll")),
      setAttribute_(LibraryFunction<SetAttributeFunction>(library_, "DwmSetWindowAttribute")) {}

HRESULT DwmApi::SetWindowAttribute(HWND window, DWORD attribute, DWORD value) const {
  if (setAttribute_ == nullptr) return E_NOTIMPL;
  return setAttribute_(window, attribute, &value, sizeof(value));
}

}  // namespace qv
