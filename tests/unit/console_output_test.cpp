#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/output_buffer.h"
#include "console_fixture.h"
#include "host/plugin_host.h"

namespace qv {
namespace {

TEST(ConsoleOutput, NumbersEveryLine) {
  struct Case {
    std::wstring text;
    std::int32_t firstNumber;
    std::wstring expected;
    std::int32_t nextNumber;
  };
  const std::vector<Case> cases = {
      {L"hello\r\n", 1, L"  1 | hello\r\n", 2},
      {L"hello\n", 1, L"  1 | hello\r\n", 2},
      {L"hello", 1, L"  1 | hello", 2},
      {L"a\r\n\r\n", 7, L"  7 | a\r\n  8 | \r\n", 9},
      {L"\n", 1, L"  1 | \r\n", 2},
      {L"a\rb\r\n", 42, L" 42 | a\rb\r\n", 43},
      {L"a\r\r\n", 1, L"  1 | a\r\r\n", 2},
      {L"end\r", 1, L"  1 | end", 2},
      {L"x\ny", 999, L"999 | x\r\n1000 | y", 1001},
      {L"-", -5, L" -5 | -", -4},
      // A zero would end the control's text there: it is shown as U+FFFD.
      {std::wstring(L"a\0b\n\0", 5), 1, L"  1 | a\uFFFDb\r\n  2 | \uFFFD", 3},
      // A long line goes on in display lines under a blank number, all its text kept.
      {std::wstring(kDisplayLineLength * 2 + 1, L'y') + L"\n", 1,
       L"  1 | " + std::wstring(kDisplayLineLength, L'y') + L"\r\n    | " + std::wstring(kDisplayLineLength, L'y') +
           L"\r\n    | y\r\n",
       2},
      {std::wstring(kDisplayLineLength, L'y'), 1000, L"1000 | " + std::wstring(kDisplayLineLength, L'y'), 1001},
      // Never between the halves of a surrogate pair.
      {std::wstring(kDisplayLineLength - 1, L'y') + L"\U0001F600", 1,
       L"  1 | " + std::wstring(kDisplayLineLength - 1, L'y') + L"\r\n    | \U0001F600", 2},
  };
  for (const Case& c : cases) {
    std::int32_t counter = c.firstNumber;
    EXPECT_EQ(NumberLines(c.text, counter), c.expected) << WideToUtf8(c.text);
    EXPECT_EQ(counter, c.nextNumber) << WideToUtf8(c.text);
  }
}

TEST(ConsoleOutput, AppendsClearsAndKeepsNumbersAcrossCalls) {
  OutputBuffer buffer;
  buffer.Append(L"");
  EXPECT_EQ(buffer.Text(), L"");
  EXPECT_EQ(buffer.LineCounter(), 1);
  buffer.Append(L"> ls\r\n");
  buffer.Append(L"part");
  buffer.Append(L" more\n");
  EXPECT_EQ(buffer.Text(), L"  1 | > ls\r\n  2 | part  3 |  more\r\n");
  buffer.Clear();
  EXPECT_EQ(buffer.Text(), L"");
  buffer.Append(L"again\r\n");
  EXPECT_EQ(buffer.Text(), L"  1 | again\r\n");
}

// The trimming rule written the plain way, to compare the buffer against.
struct ReferenceLog {
  std::wstring text;
  std::int32_t counter = 1;
  std::size_t capacity;
  void Append(const std::wstring& piece) {
    if (piece.empty()) return;
    text += NumberLines(piece, counter);
    if (text.size() <= capacity) return;
    const std::size_t excess = text.size() - capacity;
    std::size_t lineFeed = text.find(L'\n', excess);
    // The kept text starts with a numbered line, not one that goes on from a dropped one.
    while (lineFeed != std::wstring::npos && text.compare(lineFeed + 1, 4, L"    ") == 0) {
      lineFeed = text.find(L'\n', lineFeed + 1);
    }
    text.erase(0, lineFeed == std::wstring::npos ? excess : lineFeed + 1);
  }
};

TEST(ConsoleOutput, TrimmingMatchesTheRuleOverManyAppends) {
  for (const std::size_t capacity : {std::size_t{300}, std::size_t{1000}, kOutputCapacity}) {
    OutputBuffer buffer(capacity);
    ReferenceLog reference{std::wstring(), 1, capacity};
    for (int i = 0; i < 3000; ++i) {
      // Lines of varied length, some pieces without a line end, some long.
      std::wstring piece = std::wstring(static_cast<std::size_t>((i * 37) % 90), static_cast<wchar_t>(L'a' + i % 26));
      if (i % 7 != 0) piece += L"\r\n";
      if (i % 500 == 499) piece += std::wstring(capacity / 2, L'z') + L"\n";
      buffer.Append(piece);
      reference.Append(piece);
      ASSERT_EQ(buffer.Text(), reference.text) << "capacity " << capacity << " append " << i;
      ASSERT_LE(buffer.Text().size(), capacity);
    }
    EXPECT_EQ(buffer.LineCounter(), reference.counter);
  }
}

TEST(ConsoleOutput, TrimmingDropsWholeOldLinesAndKeepsNumbers) {
  OutputBuffer buffer;
  const std::wstring line(94, L'x');  // 100 units per numbered line with "\r\n"
  for (int i = 0; i < 2500; ++i) buffer.Append(line + L"\r\n");
  const std::wstring text(buffer.Text());
  EXPECT_LE(text.size(), kOutputCapacity);
  EXPECT_GT(text.size(), kOutputCapacity - 103);  // less than one line short
  // The oldest whole lines went; the kept ones carry their numbers up to 2500.
  const int first = std::stoi(text);
  int lines = 0;
  for (std::size_t at = text.find(L"\r\n"); at != std::wstring::npos; at = text.find(L"\r\n", at + 2)) ++lines;
  EXPECT_GT(first, 1);
  EXPECT_EQ(first + lines - 1, 2500);
  EXPECT_EQ(text.substr(text.find(L'|') - 1, 4), L" | x");
  EXPECT_EQ(text.substr(text.size() - 2 - 94 - 7, 7), L"2500 | ");
  EXPECT_EQ(buffer.EndPosition() - buffer.StartPosition(), text.size());
}

TEST(ConsoleOutput, SingleLineLongerThanTheCapIsCutAtItsFront) {
  OutputBuffer buffer;
  buffer.Append(L"first\r\n");
  buffer.Append(std::wstring(kOutputCapacity + 5000, L'q'));
  std::int32_t second = 2;
  const std::wstring shown = NumberLines(std::wstring(kOutputCapacity + 5000, L'q'), second);
  EXPECT_EQ(buffer.Text(), shown.substr(shown.size() - kOutputCapacity));
  // The next piece continues that visual line; ending it makes the whole
  // over-long line the oldest one, and it goes.
  buffer.Append(L"tail\r\n");
  EXPECT_EQ(buffer.Text(), L"");
  buffer.Append(L"next\r\n");
  EXPECT_EQ(buffer.Text(), L"  4 | next\r\n");
}

TEST(ConsoleOutput, ViewIsBroughtUpToDateByAppendingOrReplacing) {
  OutputLog log{OutputBuffer(500)};
  EXPECT_EQ(PlanViewUpdate(log), ViewUpdate::kNone);
  log.buffer.Append(L"one\r\n");
  EXPECT_EQ(PlanViewUpdate(log), ViewUpdate::kAppendTail);
  log.shownEnd = log.buffer.EndPosition();
  EXPECT_EQ(PlanViewUpdate(log), ViewUpdate::kNone);
  for (int i = 0; i < 100; ++i) log.buffer.Append(L"filling the log\r\n");
  EXPECT_EQ(PlanViewUpdate(log), ViewUpdate::kReplaceAll);  // nothing shown is left
  log.shownStart = log.buffer.StartPosition();
  log.shownEnd = log.buffer.EndPosition();
  log.buffer.Append(L"one more line\r\n");
  EXPECT_EQ(PlanViewUpdate(log), ViewUpdate::kDropHeadAppendTail);
}

// Appends a script of output to a log, either each shown at once or all
// collected as during a call into script code and shown at the end.
std::wstring ShowAfter(const std::vector<std::wstring>& pieces, bool collect, const test::HiddenOutputView& view,
                       OutputLog& log) {
  for (const std::wstring& piece : pieces) {
    if (piece == L"<clear>") {
      ClearOutputLog(log, view.get());
    } else {
      AppendToLog(log, view.get(), piece, collect);
    }
  }
  ShowOutputLog(log, view.get());
  return view.Text();
}

TEST(ConsoleOutput, CollectedAppendsShowTheSameTextAsImmediateOnes) {
  const std::vector<std::vector<std::wstring>> scripts = {
      {L"a\r\n", L"b", L"c\n", L"\r\n"},
      {L"before\r\n", L"<clear>", L"after\r\n", L"more\r\n"},
      {std::wstring(300, L'w') + L"\r\n", L"x\r\n", std::wstring(700, L'y'), L"\r\nz\r\n"},  // trims at 1000
      {std::wstring(L"zero\0inside\r\n", 13), L"after\r\n"},
  };
  for (const auto& script : scripts) {
    test::HiddenOutputView immediateView;
    test::HiddenOutputView collectedView;
    OutputLog immediate{OutputBuffer(1000)};
    OutputLog collected{OutputBuffer(1000)};
    // Both start with text already shown, so the collected case appends to it.
    AppendToLog(immediate, immediateView.get(), L"start\r\n", false);
    AppendToLog(collected, collectedView.get(), L"start\r\n", false);
    const std::wstring shownImmediately = ShowAfter(script, false, immediateView, immediate);
    const std::wstring shownCollected = ShowAfter(script, true, collectedView, collected);
    EXPECT_EQ(shownImmediately, std::wstring(immediate.buffer.Text()));
    EXPECT_EQ(shownCollected, std::wstring(collected.buffer.Text()));
    EXPECT_EQ(shownCollected, shownImmediately);
  }
}

TEST(ConsoleOutput, ControlFollowsTheBufferPastTheCap) {
  test::HiddenOutputView view;
  OutputLog log;
  const std::wstring line(120, L'k');
  for (int i = 0; i < 2000; ++i) AppendToLog(log, view.get(), line + L"\r\n", true);
  ShowOutputLog(log, view.get());
  EXPECT_EQ(view.Text(), std::wstring(log.buffer.Text()));
  AppendToLog(log, view.get(), L"one more\r\n", false);
  EXPECT_EQ(view.Text(), std::wstring(log.buffer.Text()));
  EXPECT_LE(view.Text().size(), kOutputCapacity);
}

TEST(ConsoleOutput, TextIsDroppedWithoutAnOutputView) {
  test::ConsoleUnderTest console;
  Console().outputView = nullptr;
  AppendOutput(L"lost\r\n");
  EXPECT_EQ(Console().output.buffer.Text(), L"");
  EXPECT_EQ(Console().output.buffer.LineCounter(), 1);
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

TEST(ConsoleOutput, ShownAppendsPastTheCapKeepTheControlEqualToTheBuffer) {
  test::HiddenOutputView view;
  OutputLog log{OutputBuffer(2000)};
  for (int i = 0; i < 400; ++i) {
    // Line lengths vary so that drops cut at different places; some pieces
    // leave their line open and the next one continues it.
    std::wstring piece(static_cast<size_t>((i * 37) % 150), static_cast<wchar_t>(L'a' + i % 26));
    if (i % 7 != 0) piece += L"\r\n";
    AppendToLog(log, view.get(), piece, false);
    ASSERT_EQ(view.Text(), std::wstring(log.buffer.Text())) << "after append " << i;
  }
}

}  // namespace
}  // namespace qv
