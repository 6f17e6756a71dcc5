#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/call_wait.h"
#include "console/input_line.h"
#include "console/output_buffer.h"
#include "console_fixture.h"
#include "tests/support/hidden_input_line.h"

namespace qv {
namespace {

// Plays keys ('U' = Up, 'D' = Down) against a history; returns what the input
// line shows after each key ("-" when a key changes nothing).
std::vector<std::wstring> Play(const std::vector<std::wstring>& history, const std::wstring& typed,
                               const std::string& keys) {
  int position = static_cast<int>(history.size());
  std::wstring draft;
  std::wstring shown = typed;
  std::vector<std::wstring> seen;
  for (const char key : keys) {
    const auto result = StepHistory(history, position, draft, key == 'U' ? -1 : +1, shown);
    if (result) shown = *result;
    seen.push_back(result ? *result : L"-");
  }
  return seen;
}

TEST(ConsoleInput, HistoryNavigation) {
  const std::vector<std::wstring> three = {L"one", L"two", L"three"};
  struct Case {
    std::vector<std::wstring> history;
    std::wstring typed;
    std::string keys;
    std::vector<std::wstring> expected;
  };
  const std::vector<Case> cases = {
      {{}, L"abc", "UD", {L"-", L"-"}},                                       // empty history: nothing moves
      {three, L"ab", "UD", {L"three", L"ab"}},                                // the typed text comes back
      {three, L"", "UUUU", {L"three", L"two", L"one", L"one"}},              // no wrap past the oldest
      {three, L"x", "DD", {L"", L""}},  // Down on the live line shows the (still empty) saved text
      {three, L"x", "UUDDD", {L"three", L"two", L"three", L"x", L"x"}},
      {{L"only"}, L"t", "UUDU", {L"only", L"only", L"t", L"only"}},
  };
  for (const Case& c : cases) EXPECT_EQ(Play(c.history, c.typed, c.keys), c.expected) << c.keys;
}

TEST(ConsoleInput, DraftIsSavedOnlyWhenLeavingTheLiveLine) {
  const std::vector<std::wstring> history = {L"a", L"b"};
  int position = 2;
  std::wstring draft;
  StepHistory(history, position, draft, -1, L"typed");
  StepHistory(history, position, draft, -1, L"b edited");  // edits of a recalled entry are not kept
  EXPECT_EQ(draft, L"typed");
  EXPECT_EQ(position, 0);
  // An out-of-range position counts as the live line.
  position = 7;
  EXPECT_EQ(StepHistory(history, position, draft, -1, L"new"), L"b");
  EXPECT_EQ(draft, L"new");
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

using InputLineUnderTest = test::HiddenInputLine;

TEST(ConsoleInput, KeysOfTheInputLine) {
  test::ConsoleUnderTest console;
  InputLineUnderTest line;
  line.Type(L"Foo");
  EXPECT_EQ(ReadInputText(), L"Foo");
  EXPECT_EQ(line.Key(VK_RETURN), 0);
  EXPECT_EQ(ReadInputText(), L"");
  EXPECT_EQ(console.Shown().substr(0, 13), L"  1 | > Foo\r\n");

  line.Type(L"draft");
  line.Key(VK_UP);
  EXPECT_EQ(ReadInputText(), L"Foo");
  EXPECT_EQ(line.Selection(), (std::pair<DWORD, DWORD>{3, 3}));  // caret at the end
  line.Key(VK_DOWN);
  EXPECT_EQ(ReadInputText(), L"draft");

  SendMessageW(line.get(), WM_CHAR, 1, 1);  // Ctrl+A as a character
  EXPECT_EQ(line.Selection(), (std::pair<DWORD, DWORD>{0, 5}));
  line.Key(VK_TAB);
  SendMessageW(line.get(), WM_CHAR, L'\r', 1);  // no beep, no character
  EXPECT_EQ(ReadInputText(), L"draft");
  line.Key(VK_ESCAPE);
  EXPECT_EQ(ReadInputText(), L"");

  line.Type(L"   ");
  line.Key(VK_RETURN);  // blanks only: nothing happens, the blanks stay
  EXPECT_EQ(ReadInputText(), L"   ");
  EXPECT_EQ(Console().commandHistory.size(), 1u);
}

TEST(ConsoleInput, TabSuggestionAndSearchKeys) {
  test::ConsoleUnderTest console;
  InputLineUnderTest line;
  Console().commandHistory = {L"calc 1+2", L"echo hi", L"calc 3"};
  const struct {
    const wchar_t* typed;  // characters typed first
    WPARAM key;            // then this key (0: none)
    const wchar_t* text;   // the input line after it
  } steps[] = {
      {L"ca", VK_RIGHT, L"calc 3"},          // Right takes the suggestion
      {L"", VK_RIGHT, L"calc 3"},            // nothing more to take: the caret just stays
      {L"", VK_ESCAPE, L""},
      {L"calc 1", VK_END, L"calc 1+2"},
      {L"", VK_ESCAPE, L""},
      {L"UP", VK_TAB, L"update "},           // Tab: the built-in command
      {L"\x12" L"ec", 0, L"echo hi"},        // Ctrl+R, then each key narrows
      {L"", VK_ESCAPE, L"update "},          // Esc: the line as it was
      {L"\x12" L"ca", 0, L"calc 3"},
      {L"\x12", 0, L"calc 1+2"},             // Ctrl+R again: the next older match
      {L"", VK_RETURN, L""},                 // Enter runs it
  };
  for (const auto& step : steps) {
    line.Type(step.typed);
    if (step.key != 0) line.Key(step.key);
    EXPECT_EQ(ReadInputText(), step.text) << WideToUtf8(step.typed) << " " << step.key;
  }
  EXPECT_NE(console.Shown().find(L"> calc 1+2\r\n"), std::wstring::npos) << WideToUtf8(console.Shown());
  EXPECT_EQ(Console().commandHistory.back(), L"calc 1+2");
  EXPECT_FALSE(Console().search.active);
}

// Stands in for the main window: replays held-back messages when asked, and
// runs a loop of its own (as a message box does) on kNestedLoop.
constexpr UINT kNestedLoop = WM_APP + 40;

LRESULT CALLBACK ReplayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kReplayDeferredMessage) {
    ReplayNextDeferredMessage();
    return 0;
  }
  if (message == kNestedLoop) {
    MSG queued{};
    while (PeekMessageW(&queued, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&queued);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

TEST(ConsoleInput, HeldBackKeysComeInOrderWithTheKeyStateOfTheirMoment) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = ReplayWindowProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"qv-replay-test";
  RegisterClassW(&windowClass);
  const auto message = [](HWND window, UINT id, WPARAM wParam) {
    MSG held{};
    held.hwnd = window;
    held.message = id;
    held.wParam = wParam;
    held.lParam = 1;
    return held;
  };
  const struct {
    const char* what;
    bool ctrlHeldAtTheEnd;
    std::vector<DeferredMessage> held;  // typed during the call
    std::wstring typedAfter;            // posted once the call has ended
    bool logCleared;
    std::wstring input;
  } cases[] = {
      {"Ctrl+L typed during the call clears", false, {{message(nullptr, WM_KEYDOWN, 'L'), true}}, L"", true, L""},
      {"a plain l does not, Ctrl held at the end or not", true,
       {{message(nullptr, WM_KEYDOWN, 'L'), false}, {message(nullptr, WM_CHAR, 'l'), false}}, L"", false, L"l"},
      {"keys typed after the call wait for the held-back ones, in a dialog's loop too", false,
       {{message(nullptr, kNestedLoop, 0), false}, {message(nullptr, WM_CHAR, 'a'), false},
        {message(nullptr, WM_CHAR, 'b'), false}},
       L"c", false, L"abc"},
  };
  for (const auto& c : cases) {
    test::ConsoleUnderTest console;
    InputLineUnderTest line;
    HWND main = CreateWindowExW(0, windowClass.lpszClassName, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                windowClass.hInstance, nullptr);
    MainWindow = main;
    AppendOutput(L"old\r\n");
    for (DeferredMessage held : c.held) {
      held.message.hwnd = held.message.message == kNestedLoop ? main : line.get();
      Console().deferredMessages.push_back(held);
    }
    BYTE keys[256]{};
    GetKeyboardState(keys);
    keys[VK_CONTROL] = c.ctrlHeldAtTheEnd ? 0x80 : 0;
    SetKeyboardState(keys);
    EndScriptCall();
    for (const wchar_t typed : c.typedAfter) PostMessageW(line.get(), WM_CHAR, typed, 1);
    MSG queued{};
    while (PeekMessageW(&queued, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&queued);
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
    EXPECT_EQ(console.Shown().find(L"old") == std::wstring::npos, c.logCleared) << c.what;
    EXPECT_EQ(ReadInputText(), c.input) << c.what;
    MainWindow = nullptr;
    DestroyWindow(main);
  }
}

TEST(ConsoleInput, SubclassRemovesItselfWithTheWindow) {
  test::ConsoleUnderTest console;
  {
    InputLineUnderTest line;
    EXPECT_NE(Console().inputLineDefaultProc, nullptr);
  }
  EXPECT_EQ(Console().inputLine, nullptr);
  EXPECT_EQ(Console().inputLineDefaultProc, nullptr);
  SetInputText(L"nowhere");  // no input line: nothing happens
  EXPECT_EQ(ReadInputText(), L"");
}

}  // namespace
}  // namespace qv
