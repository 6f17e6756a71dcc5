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

#include "tests/support/driver.h"

namespace {

using qv::e2e::AppProcess;
using std::chrono::milliseconds;

// Attaches to the program whose console window appears first and waits until
// its input line is shown (the start-up report has ended).
bool AttachToConsole(AppProcess& app, milliseconds timeout) {
  DWORD processId = 0;
  qv::e2e::WaitUntil(
      [&] {
        const HWND main = FindWindowW(qv::e2e::kMainClass, nullptr);
        if (main != nullptr) GetWindowThreadProcessId(main, &processId);
        return processId != 0;
      },
      timeout);
  return processId != 0 && app.Attach(processId) && app.WaitForConsole(timeout);
}

// Waits until the output log has not changed for a while.
void WaitForQuietLog(const AppProcess& app, milliseconds timeout) {
  constexpr ULONGLONG kQuietMs = 400;
  std::wstring last = app.ReadLog();
  ULONGLONG stableSince = GetTickCount64();
  qv::e2e::WaitUntil(
      [&] {
        std::wstring now = app.ReadLog();
        if (now != last) {
          last = std::move(now);
          stableSince = GetTickCount64();
        }
        return GetTickCount64() - stableSince >= kQuietMs;
      },
      timeout);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  milliseconds timeout{60000};
  bool close = false;
  std::vector<std::wstring> lines;
  for (int i = 1; i < argc; ++i) {
    if (std::wstring(argv[i]) == L"--timeout" && i + 1 < argc) {
      timeout = milliseconds(_wtoi(argv[++i]) * 1000LL);
    } else if (std::wstring(argv[i]) == L"--close") {
      close = true;
    } else {
      lines.emplace_back(argv[i]);
    }
  }
  AppProcess app;
  if (!AttachToConsole(app, timeout)) {
    std::fputs("qv_drive: the console did not appear\n", stderr);
    app.Detach();
    return 1;
  }
  WaitForQuietLog(app, milliseconds(5000));
  for (const std::wstring& line : lines) {
    app.Enter(line);
    app.Settle(milliseconds(10000));
    WaitForQuietLog(app, milliseconds(10000));
  }
  const std::string log = qv::e2e::Narrow(app.ReadLog());
  std::fwrite(log.data(), 1, log.size(), stdout);
  std::fflush(stdout);
  if (close) PostMessageW(app.MainWindow(), WM_CLOSE, 0, 0);
  // The program is not ours: it goes on running (or closes on its own).
  app.Detach();
  return 0;
}
