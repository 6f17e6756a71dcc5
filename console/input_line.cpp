#include "console/input_line.h"

#include "console/call_wait.h"

#include <utility>

#include "console/globals.h"
#include "console/command_line.h"
#include "console/console_state.h"
#include "console/input_actions.h"
#include "console/output_buffer.h"

namespace qv {

std::optional<std::wstring> StepHistory(const std::vector<std::wstring>& history, int& position,
                                        std::wstring& draft, int direction, const std::wstring& liveText) {
  const int count = static_cast<int>(history.size());
  if (count == 0) return std::nullopt;
  if (position < 0 || position > count) position = count;
  if (direction < 0) {
    if (position == count) draft = liveText;
    if (position > 0) --position;
    return history[position];
  }
  if (position < count - 1) return history[++position];
  position = count;
  return draft;
}

std::wstring ReadInputText() {
  const HWND input = Console().inputLine;
  if (input == nullptr) return std::wstring();
  const int length = GetWindowTextLengthW(input);
  if (length <= 0) return std::wstring();
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(input, text.data(), length + 1);
  if (copied < 1) return std::wstring();
  text.resize(static_cast<std::size_t>(copied));
  return text;
}

void SetInputText(const std::wstring& text) {
  const HWND input = Console().inputLine;
  if (input == nullptr) return;
  SetWindowTextW(input, text.c_str());
  const int length = GetWindowTextLengthW(input);
  SendMessageW(input, EM_SETSEL, length, length);
}

void NavigateHistory(int direction) {
  ConsoleState& console = Console();
  const std::optional<std::wstring> shown = StepHistory(console.commandHistory, console.historyPosition,
                                                        console.historyDraft, direction, ReadInputText());
  if (shown) SetInputText(*shown);
}

namespace {

LRESULT Forward(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const WNDPROC previous = Console().inputLineDefaultProc;
  return previous ? CallWindowProcW(previous, window, message, wParam, lParam)
                  : DefWindowProcW(window, message, wParam, lParam);
}

// A key held back during a call sees Ctrl as it was when the key was typed.
bool ControlDown() {
  if (const std::optional<bool> replayed = Console().replayedControlDown) return *replayed;
  return ControlKeyDown();
}

LRESULT OnFocusChange(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (MainWindow) InvalidateRect(MainWindow, nullptr, FALSE);
  return Forward(window, message, wParam, lParam);
}

LRESULT OnNcDestroy(HWND window, WPARAM wParam, LPARAM lParam) {
  ConsoleState& console = Console();
  if (window == console.inputLine) console.inputLine = nullptr;
  const WNDPROC previous = std::exchange(console.inputLineDefaultProc, nullptr);
  if (previous == nullptr) return DefWindowProcW(window, WM_NCDESTROY, wParam, lParam);
  SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
  return CallWindowProcW(previous, window, WM_NCDESTROY, wParam, lParam);
}

// The edit control draws typed text at once, over the dim overlay: each key
// has the line drawn again with the overlay on top.
LRESULT ForwardAndRepaint(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const LRESULT result = Forward(window, message, wParam, lParam);
  InvalidateRect(window, nullptr, TRUE);
  return result;
}

LRESULT OnKeyDown(HWND window, WPARAM key, LPARAM lParam) {
  if (Console().search.active && HandleSearchKey(key)) return 0;
  switch (key) {
    case VK_TAB: CompleteInput(); return 0;
    case VK_RETURN: ExecuteCommandLine(ReadInputText()); return 0;
    case VK_ESCAPE: SetInputText(std::wstring()); return 0;
    case VK_UP: NavigateHistory(-1); return 0;
    case VK_DOWN: NavigateHistory(+1); return 0;
    case VK_RIGHT:
    case VK_END: if (AcceptSuggestion()) return 0; break;
    case 'A': if (!ControlDown()) break; SendMessageW(window, EM_SETSEL, 0, -1); return 0;
    case 'L': if (!ControlDown()) break; ClearOutput(); return 0;
    default: break;
  }
  return ForwardAndRepaint(window, WM_KEYDOWN, key, lParam);
}

LRESULT OnChar(HWND window, WPARAM character, LPARAM lParam) {
  if (Console().search.active && HandleSearchChar(static_cast<wchar_t>(character))) return 0;
  switch (character) {
    case L'\r': case L'\t': return 0;  // Enter and Tab act on key down
    case kCtrlR: StartHistorySearch(); return 0;
    case 1: SendMessageW(window, EM_SETSEL, 0, -1); return 0;
    default: return ForwardAndRepaint(window, WM_CHAR, character, lParam);
  }
}

LRESULT OnPaint(HWND window, WPARAM wParam, LPARAM lParam) {
  const LRESULT result = Forward(window, WM_PAINT, wParam, lParam);
  PaintInputOverlay(window);
  return result;
}

}  // namespace

void SubclassInputLine(HWND input) {
  Console().inputLineDefaultProc =
      reinterpret_cast<WNDPROC>(SetWindowLongPtrW(input, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(InputLineProc)));
}

LRESULT CALLBACK InputLineProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  if (HoldBehindDeferred(window, message, wParam, lParam)) return 0;
  switch (message) {
    case WM_SETFOCUS:
    case WM_KILLFOCUS: return OnFocusChange(window, message, wParam, lParam);
    case WM_NCDESTROY: return OnNcDestroy(window, wParam, lParam);
    case WM_KEYDOWN: return OnKeyDown(window, wParam, lParam);
    case WM_CHAR: return OnChar(window, wParam, lParam);
    case WM_PAINT: return OnPaint(window, wParam, lParam);
    case WM_PASTE: return PasteLines(window) ? 0 : ForwardAndRepaint(window, message, wParam, lParam);
    case WM_SETTEXT:
    case WM_CUT:
    case WM_CLEAR:
    case WM_UNDO: return ForwardAndRepaint(window, message, wParam, lParam);
    default: return Forward(window, message, wParam, lParam);
  }
}

}  // namespace qv
