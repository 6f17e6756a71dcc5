#include "console/completion.h"

#include <algorithm>
#include <cwctype>

#include "base/text.h"

namespace qv {

namespace {

bool IsBlank(wchar_t c) { return std::iswspace(c) != 0; }

// Longest prefix that every match shares, compared without case; spelled as
// the first match spells it.
std::wstring CommonPrefix(const std::vector<Candidate>& matches) {
  std::wstring prefix = matches.front().name;
  for (const Candidate& match : matches) {
    std::size_t length = 0;
    while (length < prefix.size() && length < match.name.size() &&
           std::towlower(prefix[length]) == std::towlower(match.name[length])) {
      ++length;
    }
    prefix.resize(length);
  }
  return prefix;
}

bool IsWide(wchar_t c) {
  return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
         (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
         (c >= 0xFFE0 && c <= 0xFFE6);
}

std::wstring PadRight(const std::wstring& text, std::size_t columns) {
  const std::size_t used = DisplayColumns(text);
  return used >= columns ? text : text + std::wstring(columns - used, L' ');
}

}  // namespace

std::size_t DisplayColumns(const std::wstring& text) {
  std::size_t columns = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const wchar_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF) {  // a pair: the supplementary ideographs are wide
      columns += 2;
      ++i;
      continue;
    }
    columns += IsWide(c) ? 2 : 1;
  }
  return columns;
}

CompletionPoint FindCompletionPoint(const std::wstring& line) {
  std::size_t start = 0;
  while (start < line.size() && IsBlank(line[start])) ++start;
  std::size_t wordEnd = start;
  while (wordEnd < line.size() && !IsBlank(line[wordEnd])) ++wordEnd;
  if (wordEnd == line.size()) return {line.substr(0, start), line.substr(start), true};
  std::size_t lastStart = line.size();
  while (lastStart > wordEnd && !IsBlank(line[lastStart - 1])) --lastStart;
  return {line.substr(0, lastStart), line.substr(lastStart), false};
}

Completion CompleteLine(const CompletionPoint& point, const std::vector<Candidate>& candidates) {
  Completion result;
  result.line = point.head + point.word;
  if (point.commandWord && point.word.empty()) return result;  // Tab on an empty line
  for (const Candidate& candidate : candidates) {
    if (!candidate.name.empty() && StartsWithNoCase(candidate.name, point.word)) result.matches.push_back(candidate);
  }
  if (result.matches.empty()) return result;
  if (result.matches.size() == 1) {
    const std::wstring& name = result.matches.front().name;
    const bool quote = !point.commandWord && std::any_of(name.begin(), name.end(), IsBlank);
    result.line = point.head + (quote ? L"\"" + name + L"\"" : name) + L" ";
    return result;
  }
  const std::wstring prefix = CommonPrefix(result.matches);
  if (prefix.size() > point.word.size()) result.line = point.head + prefix;
  return result;
}

std::wstring FormatCandidateList(const std::vector<Candidate>& matches, std::size_t columns) {
  std::size_t nameWidth = 0;
  bool anyHelp = false;
  for (const Candidate& match : matches) {
    nameWidth = std::max(nameWidth, DisplayColumns(match.name));
    anyHelp = anyHelp || !match.help.empty();
  }
  std::wstring text;
  if (anyHelp) {
    for (const Candidate& match : matches) {
      std::wstring row = L"  " + match.name;
      if (!match.help.empty()) row = L"  " + PadRight(match.name, nameWidth) + L"  " + match.help;
      text += row + L"\r\n";
    }
    return text + L"\r\n";
  }
  const std::size_t cell = nameWidth + 2;
  const std::size_t perRow = std::max<std::size_t>(1, columns > 2 ? (columns - 2) / cell : 1);
  for (std::size_t i = 0; i < matches.size(); ++i) {
    const bool rowEnd = (i + 1) % perRow == 0 || i + 1 == matches.size();
    if (i % perRow == 0) text += L"  ";
    text += rowEnd ? matches[i].name + L"\r\n" : PadRight(matches[i].name, cell);
  }
  return text + L"\r\n";
}

std::size_t EditDistance(const std::wstring& a, const std::wstring& b) {
  const std::wstring x = ToLower(a);
  const std::wstring y = ToLower(b);
  // Three rows of the optimal-string-alignment table.
  std::vector<std::size_t> before(y.size() + 1), previous(y.size() + 1), current(y.size() + 1);
  for (std::size_t j = 0; j <= y.size(); ++j) previous[j] = j;
  for (std::size_t i = 1; i <= x.size(); ++i) {
    current[0] = i;
    for (std::size_t j = 1; j <= y.size(); ++j) {
      const std::size_t cost = x[i - 1] == y[j - 1] ? 0 : 1;
      current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + cost});
      if (i > 1 && j > 1 && x[i - 1] == y[j - 2] && x[i - 2] == y[j - 1]) {
        current[j] = std::min(current[j], before[j - 2] + 1);
      }
    }
    before.swap(previous);
    previous.swap(current);
  }
  return previous[y.size()];
}

std::optional<std::wstring> SuggestCommand(const std::wstring& word, const std::vector<std::wstring>& names) {
  if (word.empty()) return std::nullopt;
  std::optional<std::wstring> closest;
  std::size_t closestDistance = kSuggestionDistance + 1;
  std::optional<std::wstring> extension;
  for (const std::wstring& name : names) {
    if (name.empty() || ToLower(name) == ToLower(word)) continue;
    const std::size_t distance = EditDistance(word, name);
    if (distance < closestDistance) {
      closest = name;
      closestDistance = distance;
    }
    if (!extension && StartsWithNoCase(name, word)) extension = name;
  }
  return extension ? extension : closest;
}

}  // namespace qv
