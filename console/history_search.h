// Finding things in the command history: Ctrl+R's reverse search and the
// inline suggestion shown after the caret, as plain functions of the history
// (oldest entry first).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace qv {

// The newest entry before index `before` that contains the query, compared
// without case (an empty query matches every entry).
std::optional<std::size_t> SearchHistoryBack(const std::vector<std::wstring>& history, const std::wstring& query,
                                             std::size_t before);

// What the newest entry that begins with the typed text adds to it (compared
// with case); empty for empty text or when no entry is longer.
std::wstring HistorySuggestion(const std::vector<std::wstring>& history, const std::wstring& typed);

// One Ctrl+R search: the query typed so far, the entry it found, and the line
// as it was before the search began (Esc puts it back).
struct HistorySearch {
  bool active = false;
  std::wstring query;
  std::optional<std::size_t> match;
  bool failed = false;  // the query as typed matches nothing (the last match stays shown)
  std::wstring savedLine;
};

void BeginHistorySearch(HistorySearch& search, const std::wstring& line);
// The query changed (a key added or Backspace took a character): the newest
// match at or before the current one, or from the newest entry after Backspace.
void SetSearchQuery(HistorySearch& search, const std::vector<std::wstring>& history, const std::wstring& query);
// Ctrl+R again: the next older match; failed when there is none.
void SearchOlder(HistorySearch& search, const std::vector<std::wstring>& history);
// The text the input line shows while searching.
std::wstring SearchedLine(const HistorySearch& search, const std::vector<std::wstring>& history);
// The prompt while searching: 搜索「query」 and a mark when nothing matches.
std::wstring SearchPrompt(const HistorySearch& search);

}  // namespace qv
