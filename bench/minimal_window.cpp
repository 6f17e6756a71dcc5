// The yardstick for start-up time: a Win32 program that registers one class,
// shows one window and runs its message loop until the window is closed.
#include <windows.h>

#include "base/startup_trace.h"

namespace {

LRESULT CALLBACK MinimalWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

// The marks are those of the program's start (app/startup.cpp) that this
// program also goes through.
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  qv::MarkStartup("main");
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = MinimalWindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  windowClass.lpszClassName = L"QvBenchMinimalWindow";
  if (!RegisterClassExW(&windowClass)) return 1;
  qv::MarkStartup("window_classes");
  HWND window = CreateWindowExW(0, L"QvBenchMinimalWindow", L"minimal", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, 960, 640, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 1;
  qv::MarkStartup("window_created");
  ShowWindow(window, show);
  qv::MarkStartup("shown");
  UpdateWindow(window);
  qv::MarkStartup("painted");
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  qv::FinishStartupTrace();
  return 0;
}
