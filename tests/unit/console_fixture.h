// Helpers for the console tests: a hidden output control of the console's own
// style, a fresh console state, and a temporary plugin folder.
#pragma once

#include <windows.h>

#include <string>

#include "app/globals.h"
#include "app/text.h"
#include "console/console_state.h"

namespace qv::test {

// A hidden multi-line read-only EDIT like the console's output view.
class HiddenOutputView {
 public:
  HiddenOutputView()
      : window_(CreateWindowExW(0, L"EDIT", L"",
                                WS_POPUP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY | ES_NOHIDESEL,
                                0, 0, 400, 300, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr)) {
    SendMessageW(window_, EM_SETLIMITTEXT, 1000000, 0);
  }
  ~HiddenOutputView() { DestroyWindow(window_); }
  HiddenOutputView(const HiddenOutputView&) = delete;
  HiddenOutputView& operator=(const HiddenOutputView&) = delete;

  HWND get() const { return window_; }
  std::wstring Text() const {
    const int length = GetWindowTextLengthW(window_);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window_, text.data(), length + 1)));
    return text;
  }

 private:
  HWND window_;
};

// Resets the console state and attaches a hidden output view for one test.
class ConsoleUnderTest {
 public:
  ConsoleUnderTest() {
    Console() = ConsoleState();
    Console().outputView = view.get();
  }
  ~ConsoleUnderTest() {
    Console() = ConsoleState();
    GlobalHost.reset();
  }
  std::wstring Shown() const { return view.Text(); }
  HiddenOutputView view;
};

// A temporary folder that is removed (one level deep) afterwards.
class TempPluginFolder {
 public:
  TempPluginFolder() {
    wchar_t base[MAX_PATH]{};
    GetTempPathW(MAX_PATH, base);
    static int counter = 0;
    path_ = std::wstring(base) + L"qv-console-" + DecimalText(GetCurrentProcessId()) + L"-" + DecimalText(++counter);
    CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~TempPluginFolder() {
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW((path_ + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring child = path_ + L"\\" + found.cFileName;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW(child.c_str());
      } while (FindNextFileW(search, &found));
      FindClose(search);
    }
    RemoveDirectoryW(path_.c_str());
  }
  TempPluginFolder(const TempPluginFolder&) = delete;
  TempPluginFolder& operator=(const TempPluginFolder&) = delete;

  const std::wstring& path() const { return path_; }
  void Write(const std::wstring& name, const std::string& content) const {
    const HANDLE file = CreateFileW((path_ + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
  }

 private:
  std::wstring path_;
};

}  // namespace qv::test
