#include "window_fixture.h"

#include <memory>

#include "console/globals.h"
#include "app/window_classes.h"
#include "console/console_state.h"
#include "console/output_buffer.h"
#include "host/loading.h"

namespace qv::test {

namespace {

constexpr wchar_t kStandInClass[] = L"QvTestStandInConsole";

// The program's own classes (the menu and the manager among them) and the stand-in's.
void RegisterOnce() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  AppInstance = GetModuleHandleW(nullptr);
  RegisterWindowClasses();
  WNDCLASSEXW standIn{};
  standIn.cbSize = sizeof(standIn);
  standIn.lpfnWndProc = DefWindowProcW;
  standIn.hInstance = AppInstance;
  standIn.lpszClassName = kStandInClass;
  RegisterClassExW(&standIn);
}

void ResetSharedConsoleState() {
  ConsoleState& console = Console();
  console.menuOpen = false;
  console.highlightedRow = -1;
  console.menuWindow = nullptr;
  console.pluginManagerWindow = nullptr;
  console.inputLine = nullptr;
  console.lineHeight = 16;
}

}  // namespace

GlobalHostScope::GlobalHostScope() {
  ResetSharedConsoleState();
  GlobalHost = std::make_unique<PluginHost>();
  GlobalHost->pluginsDir = folder.path();
  GlobalHost->onOutput = [this](const std::wstring& text) { output += text; };
}

GlobalHostScope::~GlobalHostScope() {
  GlobalHost.reset();
  ResetSharedConsoleState();
}

void GlobalHostScope::Load() { LoadPlugins(*GlobalHost); }

PluginHost& GlobalHostScope::host() { return *GlobalHost; }

StandInConsole::StandInConsole(int x, int y, int width, int height) {
  RegisterOnce();
  window_ = CreateWindowExW(0, kStandInClass, L"stand-in console", WS_POPUP | WS_VISIBLE, x, y, width, height, nullptr,
                            nullptr, AppInstance, nullptr);
  MainWindow = window_;
  // The output log shows text only while it has a view.
  Console().outputView = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | ES_MULTILINE, 0, 0, 100, 100, window_,
                                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(kOutputViewId)), AppInstance,
                                         nullptr);
  ClearOutput();
}

StandInConsole::~StandInConsole() {
  MainWindow = nullptr;
  Console().outputView = nullptr;
  if (window_) DestroyWindow(window_);
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

bool StandInConsole::TakeClose() {
  MSG message;
  return PeekMessageW(&message, window_, WM_CLOSE, WM_CLOSE, PM_REMOVE) != FALSE;
}

}  // namespace qv::test
