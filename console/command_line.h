// Processing of one entered command line: echo, history, split, the built-in
// update command, plugin commands and the reload they may ask for.
#pragma once

#include <string>
#include <vector>

namespace qv {

inline constexpr std::size_t kHistoryLimit = 100;

// The text without leading and trailing characters for which iswspace is true.
std::wstring TrimWhitespace(const std::wstring& text);

struct SplitLine {
  std::wstring word;       // lower case
  std::wstring arguments;  // trimmed, in the case the user typed
};
// Splits a trimmed line at its first space or tab.
SplitLine SplitCommandLine(const std::wstring& trimmedLine);

// Appends an entry, dropping the oldest ones beyond kHistoryLimit.
void RecordHistory(std::vector<std::wstring>& history, const std::wstring& entry);

// Runs one line as typed into the input line or carried by a menu entry.
void ExecuteCommandLine(const std::wstring& line);

}  // namespace qv
