// A hidden EDIT control of the console output view's style, for the tests and
// the benchmark that drive the output log without the console window.
#pragma once

#include <windows.h>

#include <string>

namespace qv::test {

class HiddenOutputView {
 public:
  HiddenOutputView();
  ~HiddenOutputView();
  HiddenOutputView(const HiddenOutputView&) = delete;
  HiddenOutputView& operator=(const HiddenOutputView&) = delete;

  HWND get() const { return edit_; }
  std::wstring Text() const;

 private:
  HWND parent_ = nullptr;  // a hidden top-level window holding the control
  HWND edit_ = nullptr;
};

}  // namespace qv::test
