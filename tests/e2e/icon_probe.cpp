// A hook procedure that Windows (and Wine) load into the hooked program's process: there it reads the main
// window's class icons, which Wine does not give to another process, and asks each where it was loaded from.
#include <windows.h>

#include "base/constants.h"
#include "tests/e2e/icon_probe.h"

// 1 when the class icon at index was loaded from the program's own icon group.
static int FromProgram(HWND window, int index) {
  ICONINFOEXW info{};
  info.cbSize = sizeof(info);
  const auto icon = reinterpret_cast<HICON>(GetClassLongPtrW(window, index));
  if (icon == nullptr || !GetIconInfoExW(icon, &info)) return 0;
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  wchar_t program[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, program, MAX_PATH);
  return info.wResID == qv::kProgramIconId && lstrcmpiW(info.szModName, program) == 0;
}

extern "C" __declspec(dllexport) LRESULT CALLBACK IconProbeHook(int code, WPARAM wParam, LPARAM lParam) {
  const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && message->message == RegisterWindowMessageW(qv::e2e::kIconProbeMessage)) {
    PostThreadMessageW(static_cast<DWORD>(message->wParam), message->message,
                       FromProgram(message->hwnd, GCLP_HICON), FromProgram(message->hwnd, GCLP_HICONSM));
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}
