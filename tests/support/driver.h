// Drives the real quorvantline.exe from outside: starts it in a folder of its
// own, finds its windows, types into the input line, reads the output log,
// clicks, answers message boxes and collects the exit code. Every wait polls
// with a time-out, so a test fails instead of hanging, and a program that is
// still running when its driver goes away is killed (unless detached).
// Shared by the end-to-end tests, the benchmark and tools/qv_drive.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/test_files.h"

namespace qv::e2e {

using std::chrono::milliseconds;

inline constexpr milliseconds kDefaultTimeout{20000};

// Control ids and classes of the program's windows.
inline constexpr int kOutputLogId = 1001;
inline constexpr int kInputLineId = 1002;
inline constexpr wchar_t kMainClass[] = L"QuorvantLineWindow";
inline constexpr wchar_t kMenuClass[] = L"QuorvantLineMenuWindow";
inline constexpr wchar_t kManagerClass[] = L"QuorvantLineManagerWindow";
inline constexpr wchar_t kMessageBoxClass[] = L"#32770";

// A Unix path handed in by the build becomes a Wine path ("Z:" + backslashes).
std::wstring WindowsPath(const std::string& path);

// Polls condition every few milliseconds until it holds or the time-out passes.
bool WaitUntil(const std::function<bool()>& condition, milliseconds timeout = kDefaultTimeout);

// ---- Files ------------------------------------------------------------------

// Temporary folders and whole-file reads and writes, shared with the unit tests.
using test::CopyFolder;
using test::FileExists;
using test::FolderExists;
using test::RemoveTree;
using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;
std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& text);

// ---- Windows of any process ---------------------------------------------------

// Top-level windows of a process with the given class (null class: any).
std::vector<HWND> TopLevelWindows(DWORD processId, const wchar_t* className);
std::wstring ClassOf(HWND window);
std::wstring TextOf(HWND window);  // WM_GETTEXT, with a time-out
// The text of a message box: its Static children joined (the icon has no text).
std::wstring MessageBoxText(HWND box);
// BM_CLICK on the box's button with this id (IDYES, IDNO, IDOK ...).
bool PressMessageBoxButton(HWND box, int buttonId);
// Client size of a window.
SIZE ClientSize(HWND window);
// Posts a left click (down and up) at a client point.
void ClickAt(HWND window, int x, int y);
// DPI-scaled length as the program computes it.
int ScaleFor(int pixels, int dpi);

// ---- The program ----------------------------------------------------------------

// One run of quorvantline.exe.
class AppProcess {
 public:
  AppProcess() = default;
  ~AppProcess();  // kills the process when it still runs
  AppProcess(const AppProcess&) = delete;
  AppProcess& operator=(const AppProcess&) = delete;

  // Starts exe with the current environment plus these variables; a copy this
  // object started before is killed if it still runs, and forgotten.
  bool Start(const std::wstring& exe, const std::vector<std::pair<std::wstring, std::wstring>>& environment = {});
  // Takes over a process started by someone else (the restarted copy).
  bool Attach(DWORD processId);
  // Lets the process go on running after the driver goes away.
  void Detach();

  DWORD id() const { return processId_; }
  HANDLE handle() const { return process_; }
  bool Running() const;
  // Waits for the process to end; the exit code, or -1 on time-out.
  long WaitForExit(milliseconds timeout = kDefaultTimeout);
  void Kill();

  // The main window (visible, class QuorvantLineWindow), or null on time-out.
  HWND WaitForMainWindow(milliseconds timeout = kDefaultTimeout);
  // Waits until the start-up has finished: the input line is visible.
  bool WaitForConsole(milliseconds timeout = kDefaultTimeout);
  HWND MainWindow() const { return main_; }
  HWND OutputLog() const;
  HWND InputLine() const;
  // A top-level window of this process with the class, or null on time-out.
  HWND WaitForWindow(const wchar_t* className, milliseconds timeout = kDefaultTimeout);
  HWND WaitForMessageBox(milliseconds timeout = kDefaultTimeout) { return WaitForWindow(kMessageBoxClass, timeout); }
  // The menu window, a child of the main window.
  HWND MenuWindow() const;

  // Input line.
  void Type(const std::wstring& text);
  void PressKey(UINT virtualKey, HWND target = nullptr);
  void PressCtrlKey(UINT virtualKey);
  // Types the line and presses Enter.
  void Enter(const std::wstring& line);
  std::wstring InputText() const;
  // Waits until the input line holds exactly this text.
  bool WaitForInput(const std::wstring& text, milliseconds timeout = kDefaultTimeout);

  // Output log.
  std::wstring ReadLog() const;
  // Waits until the log contains the text; gives the log as last read.
  bool WaitForLog(const std::wstring& text, milliseconds timeout = kDefaultTimeout);
  bool WaitForLogMatch(const std::function<bool(const std::wstring&)>& test, milliseconds timeout = kDefaultTimeout);
  // Waits until the program has handled everything posted so far.
  bool Settle(milliseconds timeout = kDefaultTimeout) const;

 private:
  HANDLE process_ = nullptr;
  DWORD processId_ = 0;
  HWND main_ = nullptr;
};

// ---- The numbered log --------------------------------------------------------------

struct LogLine {
  int number = 0;
  std::wstring text;
};

// Splits the log at "\r\n" and parses every line's number; a line that does not
// have the "  7 | text" form gets number -1 and its whole content as text; a
// display line under a blank number ("    | text") is joined to the line above.
std::vector<LogLine> ParseLog(const std::wstring& log);
// True when every line is numbered and the numbers rise by one from the first.
bool NumbersConsecutive(const std::vector<LogLine>& lines, std::wstring* problem);
// Index of the first line whose text equals text at or after start, or -1.
int FindLine(const std::vector<LogLine>& lines, const std::wstring& text, int start = 0);
// Index of the first line whose text starts with prefix at or after start, or -1.
int FindLineStarting(const std::vector<LogLine>& lines, const std::wstring& prefix, int start = 0);
// How often the text occurs in the log.
int CountOccurrences(const std::wstring& log, const std::wstring& text);

// ---- Screenshots ------------------------------------------------------------------

// Saves the screen to QV_E2E_SHOT_DIR/<name>.bmp when that variable is set,
// after waiting settleMs for the last paint to reach the display.
void SaveScreenshot(const std::wstring& name, DWORD settleMs = 150);

// Sets the user's screen DPI in the registry; the previous value is put back by
// the destructor (or removed when there was none).
class ScopedDpi {
 public:
  explicit ScopedDpi(DWORD dpi);
  ~ScopedDpi();
  ScopedDpi(const ScopedDpi&) = delete;
  ScopedDpi& operator=(const ScopedDpi&) = delete;

 private:
  bool hadValue_ = false;
  DWORD previous_ = 0;
};

}  // namespace qv::e2e
