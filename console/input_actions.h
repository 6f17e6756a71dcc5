// What the input line's keys do beyond editing: Tab completion, the Ctrl+R
// search, accepting the inline suggestion, pasting several lines, and the dim
// text drawn after the typed text (the suggestion, or the hint while a command
// runs). The input line's procedure only calls these.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace qv {

inline constexpr wchar_t kRunningHint[] = L"运行中，按 Esc 停止";
inline constexpr wchar_t kFirstStartHint[] =
    L"第一次使用？输入 ls 查看全部命令，按 Tab 补全命令名，命令运行时按 Esc 停止。\r\n\r\n";

// The dim text after the typed text: the running hint in an empty line while a
// call runs, else the history's suggestion when the caret is at the end of the
// line and no search is on.
std::wstring InputOverlayText(bool callRunning, bool searching, bool caretAtEnd, const std::wstring& typed,
                              const std::vector<std::wstring>& history);

// The prompt left of the input line: ">" normally, the search while Ctrl+R
// searches, "…" while a call runs.
std::wstring PromptText();

// Tab: completes the command word or, through the command's complete function,
// an argument; Tab again on a line with several matches lists them in the log.
void CompleteInput();
// Right or End with the caret at the end of the line: takes the suggestion.
// False when there was none (the key then moves the caret as usual).
bool AcceptSuggestion();

// Ctrl+R (its character) and the keys while it searches. HandleSearchKey and
// HandleSearchChar return false for a key that ends the search and then does
// what it always does.
inline constexpr wchar_t kCtrlR = 0x12;
void StartHistorySearch();
bool HandleSearchKey(WPARAM key);
bool HandleSearchChar(wchar_t character);

// Ctrl+V of text with line breaks: runs each complete line in turn (asking
// first when there are more than kPasteConfirmLines). False for a paste that
// the edit control does itself.
bool PasteLines(HWND input);
// The input line reached its length limit (said once a line).
void NoteInputCut();

// Draws the dim overlay text into the input line after it painted itself.
void PaintInputOverlay(HWND input);
// The prompt or the overlay changed: the input row is drawn again.
void RefreshInputRow();

}  // namespace qv
