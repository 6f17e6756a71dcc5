#include "console/input_actions.h"

#include "base/constants.h"
#include "base/handles.h"
#include "base/text.h"
#include "console/command_line.h"
#include "console/completion.h"
#include "console/console_state.h"
#include "console/console_window.h"
#include "console/globals.h"
#include "console/history_search.h"
#include "console/input_line.h"
#include "console/output_buffer.h"
#include "host/complete.h"

namespace qv {

namespace {

// The argument text as Tab hands it to complete: what follows the command word,
// blanks before it dropped, a trailing blank kept (a new word begins there).
std::wstring ArgumentTextOf(const std::wstring& line) {
  std::size_t at = line.find_first_not_of(L" \t");
  at = line.find_first_of(L" \t", at);
  if (at == std::wstring::npos) return std::wstring();
  at = line.find_first_not_of(L" \t", at);
  return at == std::wstring::npos ? std::wstring() : line.substr(at);
}

std::size_t LogColumns() {
  const ConsoleState& console = Console();
  RECT view{};
  if (console.outputView == nullptr || !GetClientRect(console.outputView, &view)) return 80;
  return static_cast<std::size_t>(std::max(20L, (view.right - view.left) / std::max(1, console.charWidth)));
}

bool CaretAtEnd(HWND input, std::size_t length) {
  DWORD start = 0;
  DWORD end = 0;
  SendMessageW(input, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return start == end && end == length;
}

void ShowSearch() {
  ConsoleState& console = Console();
  SetInputText(SearchedLine(console.search, console.commandHistory));
  RefreshInputRow();
}

void EndSearch(bool restore) {
  ConsoleState& console = Console();
  const std::wstring saved = console.search.savedLine;
  console.search = HistorySearch();
  if (restore) SetInputText(saved);
  RefreshInputRow();
}

}  // namespace

std::wstring InputOverlayText(bool callRunning, bool searching, bool caretAtEnd, const std::wstring& typed,
                              const std::vector<std::wstring>& history) {
  if (callRunning) return typed.empty() ? kRunningHint : std::wstring();
  if (searching || !caretAtEnd) return std::wstring();
  return HistorySuggestion(history, typed);
}

std::wstring PromptText() {
  const ConsoleState& console = Console();
  if (console.search.active) return SearchPrompt(console.search);
  return ScriptCallRunning() ? L"…" : L">";
}

void CompleteInput() {
  ConsoleState& console = Console();
  const std::wstring text = ReadInputText();
  if (TrimWhitespace(text).empty()) return;
  const CompletionPoint point = FindCompletionPoint(text);
  std::vector<Candidate> candidates;
  if (point.commandWord) {
    candidates = CommandCandidates(point.word);
  } else {
    const SplitLine split = SplitCommandLine(TrimWhitespace(text));
    if (split.word == kUpdateCommand || !GlobalHost) return;
    const auto offered = CompleteArguments(*GlobalHost, split.word, ArgumentTextOf(text));
    if (!offered || ReadInputText() != text) return;  // nothing offered, or the line changed meanwhile
    for (const std::wstring& word : *offered) candidates.push_back({word, std::wstring()});
  }
  const Completion completion = CompleteLine(point, candidates);
  if (completion.matches.size() > 1 && text == console.ambiguousTabLine) {
    AppendOutput(FormatCandidateList(completion.matches, LogColumns()));
    return;
  }
  console.ambiguousTabLine = completion.matches.size() > 1 ? completion.line : std::wstring();
  if (completion.line != text) SetInputText(completion.line);
}

bool AcceptSuggestion() {
  const ConsoleState& console = Console();
  const std::wstring text = ReadInputText();
  if (console.search.active || console.inputLine == nullptr || !CaretAtEnd(console.inputLine, text.size())) {
    return false;
  }
  const std::wstring rest = HistorySuggestion(console.commandHistory, text);
  if (rest.empty()) return false;
  SetInputText(text + rest);
  return true;
}

void StartHistorySearch() {
  ConsoleState& console = Console();
  if (console.search.active) {
    SearchOlder(console.search, console.commandHistory);
  } else {
    BeginHistorySearch(console.search, ReadInputText());
  }
  ShowSearch();
}

bool HandleSearchKey(WPARAM key) {
  ConsoleState& console = Console();
  switch (key) {
    case VK_BACK:
      if (!console.search.query.empty()) {
        SetSearchQuery(console.search, console.commandHistory,
                       console.search.query.substr(0, console.search.query.size() - 1));
        ShowSearch();
      }
      return true;
    case VK_ESCAPE:
      EndSearch(true);
      return true;
    case VK_RETURN: {
      const std::wstring line = SearchedLine(console.search, console.commandHistory);
      EndSearch(false);
      SetInputText(line);
      ExecuteCommandLine(line);
      return true;
    }
    case VK_SHIFT: case VK_CONTROL: case VK_MENU: case VK_PROCESSKEY:
      return true;
    default:
      // Keys that make characters (Ctrl+R's among them) act as WM_CHAR.
      if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) return true;
      if (key == VK_SPACE || (key >= VK_OEM_1 && key <= VK_OEM_102)) return true;
      EndSearch(false);  // any other key takes the match into the line
      return false;
  }
}

bool HandleSearchChar(wchar_t character) {
  ConsoleState& console = Console();
  if (character == kCtrlR) StartHistorySearch();
  if (character < L' ') return true;  // control characters of keys handled above
  SetSearchQuery(console.search, console.commandHistory, console.search.query + character);
  ShowSearch();
  return true;
}

bool PasteLines(HWND input) {
  if (!GlobalHost || !GlobalHost->onGetClipboard) return false;
  const std::optional<std::wstring> pasted = GlobalHost->onGetClipboard();
  if (!pasted || pasted->find_first_of(L"\r\n") == std::wstring::npos) return false;
  DWORD start = 0;
  DWORD end = 0;
  SendMessageW(input, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  const std::wstring text = ReadInputText();
  start = std::min<DWORD>(start, static_cast<DWORD>(text.size()));
  end = std::min<DWORD>(std::max(start, end), static_cast<DWORD>(text.size()));
  const PastePlan plan = PlanPaste(text.substr(0, start), *pasted, text.substr(end), kInputTextLimit);
  if (plan.lines.size() > kPasteConfirmLines) {
    const std::wstring question =
        L"粘贴的文字有 " + DecimalText(static_cast<long long>(plan.lines.size())) + L" 行，要把它们作为命令依次运行吗？";
    if (MessageBoxW(MainWindow, question.c_str(), kProgramTitle, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES) {
      return true;
    }
  }
  if (plan.cut) AppendOutput(InputCutText(kInputTextLimit));
  for (const std::wstring& line : plan.lines) {
    if (Console().inputLine == nullptr) return true;  // a command closed the window
    ExecuteCommandLine(line);
  }
  SetInputText(plan.rest);
  return true;
}

void NoteInputCut() {
  ConsoleState& console = Console();
  if (console.inputCutShown) return;
  console.inputCutShown = true;
  AppendOutput(InputCutText(kInputTextLimit));
}

void PaintInputOverlay(HWND input) {
  const ConsoleState& console = Console();
  const std::wstring text = ReadInputText();
  const bool focused = GetFocus() == input;
  const std::wstring overlay = InputOverlayText(ScriptCallRunning(), console.search.active,
                                                focused && CaretAtEnd(input, text.size()), text,
                                                console.commandHistory);
  if (overlay.empty()) return;
  const UniqueWindowDC dc = WindowDC(input);
  if (!dc) return;
  const SelectedObject font(dc.get(), reinterpret_cast<HFONT>(SendMessageW(input, WM_GETFONT, 0, 0)));
  RECT client{};
  GetClientRect(input, &client);
  RECT format = client;
  SendMessageW(input, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
  int x = format.left;
  int y = format.top;
  if (!text.empty()) {
    const LRESULT last = SendMessageW(input, EM_POSFROMCHAR, text.size() - 1, 0);
    if (last == -1) return;
    SIZE size{};
    GetTextExtentPoint32W(dc.get(), &text.back(), 1, &size);
    x = static_cast<short>(LOWORD(last)) + size.cx;
    y = static_cast<short>(HIWORD(last));
  }
  if (x >= client.right) return;
  SetTextColor(dc.get(), kDimTextColor);
  SetBkMode(dc.get(), TRANSPARENT);
  ExtTextOutW(dc.get(), x, y, ETO_CLIPPED, &client, overlay.c_str(), static_cast<UINT>(overlay.size()), nullptr);
}

void RefreshInputRow() {
  const ConsoleState& console = Console();
  if (MainWindow) {
    LayoutControls(MainWindow);
    InvalidateRect(MainWindow, nullptr, FALSE);
  }
  if (console.inputLine) InvalidateRect(console.inputLine, nullptr, TRUE);
}

}  // namespace qv
