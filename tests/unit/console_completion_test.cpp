// Tab completion, the candidate list and the "did you mean" suggestion.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/text.h"
#include "console/completion.h"

namespace qv {
namespace {

const std::vector<Candidate> kCommands = {
    {L"update", L"下载新版本"}, {L"ls", L"列出命令"}, {L"note", L"记笔记"}, {L"notes", L"列出笔记"},
    {L"Sysinfo", L"本机信息"},  {L"source", L"源代码"},
};

TEST(Completion, TabCompletesTheWordAtTheEndOfTheLine) {
  const std::vector<Candidate> files = {{L"basic.lua", L""}, {L"my plugin.lua", L""}, {L"BASE64.lua", L""}};
  const struct {
    const wchar_t* line;
    const std::vector<Candidate>* candidates;
    const wchar_t* completed;
    std::size_t matches;
  } cases[] = {
      {L"", &kCommands, L"", 0},                 // Tab on an empty line does nothing
      {L"   ", &kCommands, L"   ", 0},
      {L"up", &kCommands, L"update ", 1},        // one match: completed with a blank
      {L"UP", &kCommands, L"update ", 1},        // without case, spelled as the command is
      {L"sy", &kCommands, L"Sysinfo ", 1},
      {L"  l", &kCommands, L"  ls ", 1},         // leading blanks stay
      {L"no", &kCommands, L"note", 2},           // several: their common prefix
      {L"note", &kCommands, L"note", 2},         // nothing more in common: unchanged
      {L"s", &kCommands, L"s", 2},
      {L"xyz", &kCommands, L"xyz", 0},
      {L"source ba", &files, L"source bas", 2},  // an argument: the last word
      {L"source BASI", &files, L"source basic.lua ", 1},
      {L"source my", &files, L"source \"my plugin.lua\" ", 1},  // quoted when it holds a blank
      {L"source ", &files, L"source ", 3},       // a new word: every candidate matches
      {L"source x b", &files, L"source x bas", 2},
  };
  for (const auto& c : cases) {
    const Completion completion = CompleteLine(FindCompletionPoint(c.line), *c.candidates);
    EXPECT_EQ(completion.line, c.completed) << WideToUtf8(c.line);
    EXPECT_EQ(completion.matches.size(), c.matches) << WideToUtf8(c.line);
  }
}

TEST(Completion, ListsMatchesInColumnsOrWithTheirHelp) {
  const std::vector<Candidate> withHelp = {{L"note", L"记笔记"}, {L"notes", L"列出笔记"}, {L"nop", L""}};
  EXPECT_EQ(FormatCandidateList(withHelp, 80), L"  note   记笔记\r\n  notes  列出笔记\r\n  nop\r\n\r\n");
  const std::vector<Candidate> bare = {{L"1", L""}, {L"2", L""}, {L"3", L""}, {L"10", L""}, {L"11", L""}};
  EXPECT_EQ(FormatCandidateList(bare, 14), L"  1   2   3\r\n  10  11\r\n\r\n");  // cells of 4 columns
  EXPECT_EQ(FormatCandidateList(bare, 3), L"  1\r\n  2\r\n  3\r\n  10\r\n  11\r\n\r\n");
  const std::vector<Candidate> wide = {{L"笔记", L""}, {L"ab", L""}};
  EXPECT_EQ(FormatCandidateList(wide, 80), L"  笔记  ab\r\n\r\n");  // a wide character takes two columns
}

TEST(Completion, SuggestsTheCommandAnUnknownWordWasMeantToBe) {
  const std::vector<std::wstring> names = {L"update", L"ls", L"help", L"calc", L"clear", L"sysinfo", L"note"};
  const struct {
    const wchar_t* typed;
    const wchar_t* suggestion;  // empty: none
  } cases[] = {
      {L"sl", L"ls"},          // two letters swapped: one edit
      {L"LSS", L"ls"},
      {L"hepl", L"help"},
      {L"calcc", L"calc"},
      {L"clea", L"clear"},
      {L"upd", L"update"},     // three edits away but the beginning of update
      {L"sys", L"sysinfo"},    // the beginning wins over ls, two edits away
      {L"hello", L"help"},     // two edits
      {L"xyzzy", L""},
      {L"", L""},
      {L"ls", L""},            // the word itself is no suggestion
  };
  for (const auto& c : cases) {
    const std::optional<std::wstring> meant = SuggestCommand(c.typed, names);
    EXPECT_EQ(meant.value_or(L""), c.suggestion) << WideToUtf8(c.typed);
  }
  const struct {
    const wchar_t* a;
    const wchar_t* b;
    std::size_t distance;
  } distances[] = {
      {L"", L"", 0}, {L"abc", L"", 3}, {L"kitten", L"sitting", 3}, {L"ab", L"BA", 1}, {L"笔记", L"笔迹", 1},
  };
  for (const auto& d : distances) EXPECT_EQ(EditDistance(d.a, d.b), d.distance) << WideToUtf8(d.a);
}

}  // namespace
}  // namespace qv
