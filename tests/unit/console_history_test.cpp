// The kept history: its entry rules, its file, Ctrl+R's search, the inline
// suggestion, and how a paste of several lines is run.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/text.h"
#include "console/command_line.h"
#include "console/history_file.h"
#include "console/history_search.h"
#include "console/input_actions.h"
#include "tests/support/test_files.h"

namespace qv {
namespace {

using Lines = std::vector<std::wstring>;

TEST(HistoryEntries, BlankSpacedAndRepeatedLinesAreNotKept) {
  const struct {
    Lines before;
    const wchar_t* line;
    Lines after;
  } cases[] = {
      {{}, L"ls", {L"ls"}},
      {{L"ls"}, L"calc 1+2\t", {L"ls", L"calc 1+2"}},  // kept trimmed
      {{L"ls"}, L"ls", {L"ls"}},                       // the same as the one before
      {{L"ls", L"time"}, L"ls", {L"ls", L"time", L"ls"}},
      {{L"ls"}, L" secret 123", {L"ls"}},              // a leading blank keeps it out
      {{L"ls"}, L"\tsecret", {L"ls"}},
      {{L"ls"}, L"  ", {L"ls"}},
  };
  for (const auto& c : cases) {
    Lines history = c.before;
    AddHistoryEntry(history, c.line);
    EXPECT_EQ(history, c.after) << WideToUtf8(c.line);
  }
  Lines history;
  for (int i = 1; i <= 1001; ++i) AddHistoryEntry(history, L"cmd" + DecimalText(i));
  ASSERT_EQ(history.size(), kHistoryLimit);
  EXPECT_EQ(history.front(), L"cmd2");
  EXPECT_EQ(history.back(), L"cmd1001");
}

TEST(HistoryFile, ReadsUtf8LinesAndRefusesAnythingElse) {
  const struct {
    std::string content;
    bool readable;
    Lines entries;
  } cases[] = {
      {"", true, {}},
      {"ls\ncalc 1+2\n", true, {L"ls", L"calc 1+2"}},
      {"\xEF\xBB\xBFls\r\nnote \xE4\xB8\xAD\r\n\r\n", true, {L"ls", L"note 中"}},  // BOM, CRLF, empty line
      {"no final line feed", true, {L"no final line feed"}},
      {"ls\n\xC3\x28\n", false, {}},  // malformed UTF-8
      {std::string("ls\n\0\n", 5), false, {}},
  };
  for (const auto& c : cases) {
    const std::optional<Lines> entries = ParseHistory(c.content);
    ASSERT_EQ(entries.has_value(), c.readable) << c.content;
    if (entries) {
      EXPECT_EQ(*entries, c.entries) << c.content;
    }
  }
  std::string content;
  for (int i = 0; i < 1500; ++i) content.append("e").append(std::to_string(i)).append("\n");
  EXPECT_EQ(ParseHistory(content)->front(), L"e500");  // the newest thousand
  const Lines round = {L"ls", L"echo 你好", L"calc (1+2)*3"};
  EXPECT_EQ(ParseHistory(SerializeHistory(round)), round);
}

TEST(HistoryFile, TwoCopiesOneAfterAnotherSeeEachOthersEntries) {
  test::TempFolder folder;
  const std::wstring data = folder.Child(L"plugin-manager");
  HistoryLoad first = LoadHistoryFile(data);
  EXPECT_FALSE(first.fileExisted);
  EXPECT_TRUE(first.problem.empty());

  // Each copy keeps what it started with; the file gets both copies' lines.
  const Lines copyA = KeepInHistoryFile(data, first.entries, L"ls").entries;
  EXPECT_EQ(copyA, Lines{L"ls"});
  const Lines copyB = KeepInHistoryFile(data, {}, L"time").entries;
  EXPECT_EQ(copyB, (Lines{L"ls", L"time"}));
  EXPECT_EQ(KeepInHistoryFile(data, copyA, L" hidden").entries, (Lines{L"ls", L"time"}));
  EXPECT_EQ(test::ReadBytes(HistoryFilePath(data)), "ls\ntime\n");
  EXPECT_FALSE(test::FileExists(data + L"\\.history.txt.tmp"));

  HistoryLoad second = LoadHistoryFile(data);
  EXPECT_TRUE(second.fileExisted);
  EXPECT_EQ(second.entries, (Lines{L"ls", L"time"}));

  // A damaged file: an empty history and one log line; the next line replaces it.
  ASSERT_TRUE(test::WriteBytes(HistoryFilePath(data), "ls\n\xFF\xFE\n"));
  HistoryLoad damaged = LoadHistoryFile(data);
  EXPECT_TRUE(damaged.entries.empty());
  EXPECT_NE(damaged.problem.find(L"历史记录文件"), std::wstring::npos);
  EXPECT_EQ(KeepInHistoryFile(data, damaged.entries, L"date").entries, Lines{L"date"});

  // A file that cannot be replaced keeps its old content and reports the failure.
  HANDLE holder = CreateFileW(HistoryFilePath(data).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                              nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  const HistoryWrite blocked = KeepInHistoryFile(data, {L"date"}, L"clear");
  CloseHandle(holder);
  EXPECT_NE(blocked.error, 0u);
  EXPECT_EQ(test::ReadBytes(HistoryFilePath(data)), "date\n");
}

TEST(HistorySearch, CtrlRFindsOlderMatchesAndNarrowsAsKeysAreTyped) {
  const Lines history = {L"calc 1+2", L"ls", L"echo calm", L"CALENDAR", L"time"};
  HistorySearch search;
  BeginHistorySearch(search, L"draft");
  EXPECT_EQ(SearchedLine(search, history), L"draft");  // nothing typed yet: the line as it was
  const struct {
    const wchar_t* query;  // the query after the key, or nullptr for Ctrl+R again
    const wchar_t* shown;
    const wchar_t* prompt;
  } steps[] = {
      {L"ca", L"CALENDAR", L"搜索「ca」"},      // newest first, without case
      {nullptr, L"echo calm", L"搜索「ca」"},   // Ctrl+R: the next older match
      {L"cal", L"echo calm", L"搜索「cal」"},   // narrowing keeps a match that still fits
      {L"calc", L"calc 1+2", L"搜索「calc」"},
      {nullptr, L"calc 1+2", L"无匹配「calc」"},  // nothing older: the match stays
      {L"cal", L"CALENDAR", L"搜索「cal」"},    // Backspace widens from the newest again
      {L"calx", L"CALENDAR", L"无匹配「calx」"},
  };
  for (const auto& step : steps) {
    if (step.query) {
      SetSearchQuery(search, history, step.query);
    } else {
      SearchOlder(search, history);
    }
    EXPECT_EQ(SearchedLine(search, history), step.shown) << WideToUtf8(step.prompt);
    EXPECT_EQ(SearchPrompt(search), step.prompt);
  }
}

TEST(HistorySearch, SuggestionAndOverlayText) {
  const Lines history = {L"calc 1+2", L"ls -l", L"calc 2*3", L"Calc 9"};
  const struct {
    bool running;
    bool searching;
    bool caretAtEnd;
    const wchar_t* typed;
    const wchar_t* overlay;
  } cases[] = {
      {false, false, true, L"ca", L"lc 2*3"},  // the newest entry that begins with it, with case
      {false, false, true, L"Ca", L"lc 9"},
      {false, false, true, L"calc 1", L"+2"},
      {false, false, true, L"calc 2*3", L""},  // nothing longer
      {false, false, true, L"", L""},
      {false, false, true, L"x", L""},
      {false, false, false, L"ca", L""},       // caret not at the end
      {false, true, true, L"ca", L""},         // searching
      {true, false, true, L"", kRunningHint},
      {true, false, true, L"ca", L""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(InputOverlayText(c.running, c.searching, c.caretAtEnd, c.typed, history), c.overlay)
        << WideToUtf8(c.typed);
  }
}

TEST(PasteLines, CompleteLinesRunAndTheRestStays) {
  const struct {
    const wchar_t* before;
    const wchar_t* pasted;
    const wchar_t* after;
    Lines run;
    const wchar_t* rest;
    bool cut;
  } cases[] = {
      {L"", L"ls\r\ntime\r\n", L"", {L"ls", L"time"}, L"", false},
      {L"echo ", L"a\nb", L"", {L"echo a"}, L"b", false},  // as typed: the last line waits for Enter
      {L"", L"one\r\n\r\ntwo\n", L"!", {L"one", L"", L"two"}, L"!", false},
      {L"", L"abcdefgh\nxyz", L"", {L"abcde"}, L"xyz", true},  // cut at the limit (5 here)
  };
  for (const auto& c : cases) {
    const PastePlan plan = PlanPaste(c.before, c.pasted, c.after, 5 + (c.cut ? 0 : 100));
    EXPECT_EQ(plan.lines, c.run) << WideToUtf8(c.pasted);
    EXPECT_EQ(plan.rest, c.rest) << WideToUtf8(c.pasted);
    EXPECT_EQ(plan.cut, c.cut) << WideToUtf8(c.pasted);
  }
}

}  // namespace
}  // namespace qv
