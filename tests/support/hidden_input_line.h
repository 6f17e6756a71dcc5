// A hidden EDIT control made the console's input line (subclassed as the
// console does), for the tests and the benchmark that type into it without the
// console window. Header only: its users link the console.
#pragma once

#include <windows.h>

#include <string>
#include <utility>

#include "console/console_state.h"
#include "console/globals.h"
#include "console/input_line.h"

namespace qv::test {

class HiddenInputLine {
 public:
  HiddenInputLine()
      : parent_(CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 900, 60, nullptr, nullptr, GetModuleHandleW(nullptr),
                                nullptr)),
        input_(CreateWindowExW(0, L"EDIT", L"", WS_CHILD | ES_AUTOHSCROLL, 0, 0, 880, 24, parent_,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(kInputLineId)), GetModuleHandleW(nullptr),
                               nullptr)) {
    Console().inputLine = input_;
    SubclassInputLine(input_);
  }
  ~HiddenInputLine() { DestroyWindow(parent_); }
  HiddenInputLine(const HiddenInputLine&) = delete;
  HiddenInputLine& operator=(const HiddenInputLine&) = delete;

  HWND get() const { return input_; }
  void Type(const std::wstring& text) const {
    for (const wchar_t c : text) SendMessageW(input_, WM_CHAR, c, 1);
  }
  LRESULT Key(WPARAM key) const { return SendMessageW(input_, WM_KEYDOWN, key, 1); }
  std::pair<DWORD, DWORD> Selection() const {
    DWORD start = 0, end = 0;
    SendMessageW(input_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return {start, end};
  }

 private:
  HWND parent_;  // a hidden top-level window holding the control
  HWND input_;
};

}  // namespace qv::test
