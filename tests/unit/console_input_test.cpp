#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/input_line.h"

namespace qv {
namespace {

// Plays keys ('U' = Up, 'D' = Down) against a history; returns what the input
// line shows after each key ("-" when a key changes nothing).
std::vector<std::wstring> Play(const std::vector<std::wstring>& history, const std::wstring& typed,
                               const std::string& keys) {
  int position = static_cast<int>(history.size());
  std::wstring draft;
  std::wstring shown = typed;
  std::vector<std::wstring> seen;
  for (const char key : keys) {
    const auto result = StepHistory(history, position, draft, key == 'U' ? -1 : +1, shown);
    if (result) shown = *result;
    seen.push_back(result ? *result : L"-");
  }
  return seen;
}

TEST(ConsoleInput, HistoryNavigation) {
  const std::vector<std::wstring> three = {L"one", L"two", L"three"};
  struct Case {
    std::vector<std::wstring> history;
    std::wstring typed;
    std::string keys;
    std::vector<std::wstring> expected;
  };
  const std::vector<Case> cases = {
      {{}, L"abc", "UD", {L"-", L"-"}},                                       // empty history: nothing moves
      {three, L"ab", "UD", {L"three", L"ab"}},                                // the typed text comes back
      {three, L"", "UUUU", {L"three", L"two", L"one", L"one"}},              // no wrap past the oldest
      {three, L"x", "DD", {L"", L""}},  // Down on the live line shows the (still empty) saved text
      {three, L"x", "UUDDD", {L"three", L"two", L"three", L"x", L"x"}},
      {{L"only"}, L"t", "UUDU", {L"only", L"only", L"t", L"only"}},
  };
  for (const Case& c : cases) EXPECT_EQ(Play(c.history, c.typed, c.keys), c.expected) << c.keys;
}

TEST(ConsoleInput, DraftIsSavedOnlyWhenLeavingTheLiveLine) {
  const std::vector<std::wstring> history = {L"a", L"b"};
  int position = 2;
  std::wstring draft;
  StepHistory(history, position, draft, -1, L"typed");
  StepHistory(history, position, draft, -1, L"b edited");  // edits of a recalled entry are not kept
  EXPECT_EQ(draft, L"typed");
  EXPECT_EQ(position, 0);
  // An out-of-range position counts as the live line.
  position = 7;
  EXPECT_EQ(StepHistory(history, position, draft, -1, L"new"), L"b");
  EXPECT_EQ(draft, L"new");
}

}  // namespace
}  // namespace qv
