#include "console/history_search.h"

#include <algorithm>

#include "base/text.h"

namespace qv {

std::optional<std::size_t> SearchHistoryBack(const std::vector<std::wstring>& history, const std::wstring& query,
                                             std::size_t before) {
  const std::wstring wanted = ToLower(query);
  for (std::size_t i = std::min(before, history.size()); i > 0; --i) {
    if (ToLower(history[i - 1]).find(wanted) != std::wstring::npos) return i - 1;
  }
  return std::nullopt;
}

std::wstring HistorySuggestion(const std::vector<std::wstring>& history, const std::wstring& typed) {
  if (typed.empty()) return std::wstring();
  for (auto entry = history.rbegin(); entry != history.rend(); ++entry) {
    if (entry->size() > typed.size() && entry->compare(0, typed.size(), typed) == 0) {
      return entry->substr(typed.size());
    }
  }
  return std::wstring();
}

void BeginHistorySearch(HistorySearch& search, const std::wstring& line) {
  search = HistorySearch();
  search.active = true;
  search.savedLine = line;
}

void SetSearchQuery(HistorySearch& search, const std::vector<std::wstring>& history, const std::wstring& query) {
  // A longer query narrows: the current match may still fit. A shorter one
  // widens: start again from the newest entry.
  const bool narrower = query.size() > search.query.size();
  const std::size_t before = narrower && search.match ? *search.match + 1 : history.size();
  search.query = query;
  const std::optional<std::size_t> found = query.empty() ? std::nullopt : SearchHistoryBack(history, query, before);
  search.failed = !query.empty() && !found;
  if (found || query.empty()) search.match = found;
}

void SearchOlder(HistorySearch& search, const std::vector<std::wstring>& history) {
  if (search.query.empty()) return;
  const std::optional<std::size_t> found =
      SearchHistoryBack(history, search.query, search.match ? *search.match : history.size());
  search.failed = !found;
  if (found) search.match = found;
}

std::wstring SearchedLine(const HistorySearch& search, const std::vector<std::wstring>& history) {
  if (search.match && *search.match < history.size()) return history[*search.match];
  return search.savedLine;
}

std::wstring SearchPrompt(const HistorySearch& search) {
  return std::wstring(search.failed ? L"无匹配" : L"搜索") + L"「" + search.query + L"」";
}

}  // namespace qv
