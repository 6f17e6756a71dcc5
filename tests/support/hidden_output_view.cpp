#include "tests/support/hidden_output_view.h"

namespace qv::test {

HiddenOutputView::HiddenOutputView() {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  parent_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 900, 560, nullptr, nullptr, instance, nullptr);
  edit_ = CreateWindowExW(0, L"EDIT", L"",
                          WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL |
                              ES_READONLY | ES_NOHIDESEL,
                          10, 40, 880, 500, parent_, nullptr, instance, nullptr);
  SendMessageW(edit_, EM_SETLIMITTEXT, 1000000, 0);
  SendMessageW(edit_, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(ANSI_FIXED_FONT)), TRUE);
}

HiddenOutputView::~HiddenOutputView() { DestroyWindow(parent_); }

std::wstring HiddenOutputView::Text() const {
  const int length = GetWindowTextLengthW(edit_);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(edit_, text.data(), length + 1)));
  return text;
}

}  // namespace qv::test
