// Tab completion and the "did you mean" suggestion, as plain functions of the
// typed line and the names there are.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace qv {

// A name that Tab may complete to, with the text listed beside it.
struct Candidate {
  std::wstring name;
  std::wstring help;
};

// The typed line cut where completion works on it: the kept text before the
// word being completed, and that word. The command word is completed while
// the line has no blank after it; after that the last argument is (empty when
// the line ends in a blank).
struct CompletionPoint {
  std::wstring head;
  std::wstring word;
  bool commandWord = true;
};
CompletionPoint FindCompletionPoint(const std::wstring& line);

// What Tab does to the line: the new text (unchanged when nothing matched or
// the matches share nothing beyond the typed word) and every match, in the
// order of the candidates. A match is a candidate that begins with the word,
// compared without case; one match is completed with a trailing blank, several
// to their longest common prefix.
struct Completion {
  std::wstring line;
  std::vector<Candidate> matches;
};
Completion CompleteLine(const CompletionPoint& point, const std::vector<Candidate>& candidates);

// The matches as columns for the log: names padded to the widest, each with its
// help, as many per row as fit `columns` characters (wide characters count
// two), one per row when any help is there. Ends with an empty line.
std::wstring FormatCandidateList(const std::vector<Candidate>& matches, std::size_t columns);

// Edits between two words (insert, delete, replace, swap two neighbours),
// compared without case.
std::size_t EditDistance(const std::wstring& a, const std::wstring& b);

// The one command the typed word most likely meant: a name that begins with
// the word, or else the closest name within kSuggestionDistance edits; ties go
// to the earlier name. Nothing for an empty word or when none is close.
inline constexpr std::size_t kSuggestionDistance = 2;
std::optional<std::wstring> SuggestCommand(const std::wstring& word, const std::vector<std::wstring>& names);

// Columns a text takes in the log: East Asian wide characters take two.
std::size_t DisplayColumns(const std::wstring& text);

}  // namespace qv
