// Drives a running quorvantline from outside: waits until its console is
// shown, types each command line given on the command line into the input
// line (posted WM_CHAR and Enter), waits for the output to settle and prints
// the output log (UTF-8) to standard output.
//
//   qv_drive.exe [--timeout SECONDS] [--close] "ls" "time" "calc 1+2*3"
//
// --close posts WM_CLOSE to the console afterwards.
// Exit code 0 when the console was found and every line was typed, 1 otherwise.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kOutputViewId = 1001;
constexpr int kInputLineId = 1002;

std::wstring WindowText(HWND window) {
  const LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const LRESULT copied = SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(copied));
  return text;
}

// The console's main window once its input line is visible (the start-up report has ended).
HWND WaitForConsole(DWORD timeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  while (GetTickCount64() < end) {
    const HWND main = FindWindowW(L"QuorvantLineWindow", nullptr);
    const HWND input = main ? GetDlgItem(main, kInputLineId) : nullptr;
    if (input && IsWindowVisible(input)) return main;
    Sleep(100);
  }
  return nullptr;
}

// Waits until the output log has not changed for a while.
void WaitForQuiet(HWND output, DWORD timeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  std::wstring last = WindowText(output);
  ULONGLONG stableSince = GetTickCount64();
  while (GetTickCount64() < end && GetTickCount64() - stableSince < 400) {
    Sleep(50);
    std::wstring now = WindowText(output);
    if (now != last) {
      last = std::move(now);
      stableSince = GetTickCount64();
    }
  }
}

void TypeLine(HWND input, const std::wstring& line) {
  for (const wchar_t c : line) PostMessageW(input, WM_CHAR, c, 1);
  PostMessageW(input, WM_KEYDOWN, VK_RETURN, 1);
}

void PrintUtf8(const std::wstring& text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                       nullptr);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
  std::fflush(stdout);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  DWORD timeoutMs = 60000;
  bool close = false;
  std::vector<std::wstring> lines;
  for (int i = 1; i < argc; ++i) {
    if (std::wstring(argv[i]) == L"--timeout" && i + 1 < argc) {
      timeoutMs = static_cast<DWORD>(_wtoi(argv[++i])) * 1000;
    } else if (std::wstring(argv[i]) == L"--close") {
      close = true;
    } else {
      lines.emplace_back(argv[i]);
    }
  }
  const HWND main = WaitForConsole(timeoutMs);
  if (main == nullptr) {
    std::fputs("qv_drive: the console did not appear\n", stderr);
    return 1;
  }
  const HWND output = GetDlgItem(main, kOutputViewId);
  const HWND input = GetDlgItem(main, kInputLineId);
  WaitForQuiet(output, 5000);
  for (const std::wstring& line : lines) {
    TypeLine(input, line);
    WaitForQuiet(output, 10000);
  }
  PrintUtf8(WindowText(output));
  if (close) PostMessageW(main, WM_CLOSE, 0, 0);
  return 0;
}
