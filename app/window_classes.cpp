#include "app/window_classes.h"

#include <windows.h>

#include "console/globals.h"
#include "console/console_state.h"
#include "console/console_window.h"
#include "windows/manager_window.h"
#include "windows/menu_window.h"

namespace qv {

namespace {

// The console's class carries the program's icon: the taskbar and Alt+Tab take it from there.
bool RegisterWindowClass(const wchar_t* name, WNDPROC procedure, HBRUSH background, bool icons) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = AppInstance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = background;
  windowClass.lpszClassName = name;
  if (icons) {
    windowClass.hIcon = ProgramIcon(GetSystemMetrics(SM_CXICON));
    windowClass.hIconSm = ProgramIcon(GetSystemMetrics(SM_CXSMICON));
  }
  return RegisterClassExW(&windowClass) != 0;
}

}  // namespace

HICON ProgramIcon(int size) {
  // The system sizes (16, 32 and their DPI-scaled forms) are all in the icon
  // group, so each is drawn for its size rather than scaled from another.
  const auto icon = static_cast<HICON>(
      LoadImageW(AppInstance, MAKEINTRESOURCEW(kProgramIconId), IMAGE_ICON, size, size, LR_SHARED));
  return icon ? icon : LoadIconW(nullptr, IDI_APPLICATION);
}

const wchar_t* RegisterWindowClasses() {
  ConsoleMenu.show = ShowMenuWindow;
  ConsoleMenu.hide = HideMenuWindow;
  if (!RegisterWindowClass(kMainWindowClass, ConsoleWindowProc, SharedBrushes.background.get(), true)) {
    return L"注册窗口类失败。";
  }
  RegisterWindowClass(kFadeOverlayClass, DefWindowProcW, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)), false);
  if (!RegisterWindowClass(kMenuWindowClass, MenuWindowProc, SharedBrushes.dim.get(), false)) return L"注册菜单窗口类失败。";
  if (!RegisterWindowClass(kManagerWindowClass, ManagerWindowProc, SharedBrushes.background.get(), false)) {
    return L"注册插件管理窗口类失败。";
  }
  return nullptr;
}

}  // namespace qv
