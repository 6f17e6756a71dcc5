// The input line: a single-line edit control whose procedure adds the
// console's keys (Enter, Esc, Up/Down history, Ctrl+A, Ctrl+L, Tab, Ctrl+R,
// Right/End, Ctrl+V) and draws the dim text after the typed text.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace qv {

// One step through the history, direction -1 (older) or +1 (newer).
// position == history.size() is the live line; leaving it with Up saves
// liveText in draft. Returns the text to show, or nothing for an empty history.
std::optional<std::wstring> StepHistory(const std::vector<std::wstring>& history, int& position,
                                        std::wstring& draft, int direction, const std::wstring& liveText);

// Text of the input line, empty when there is none.
std::wstring ReadInputText();
// Makes text the input line's text with the caret at its end.
void SetInputText(const std::wstring& text);
void NavigateHistory(int direction);

// Replaces the input line's procedure (saving the old one).
void SubclassInputLine(HWND input);
LRESULT CALLBACK InputLineProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

}  // namespace qv
