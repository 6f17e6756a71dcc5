// The console's numbered output log: every piece of output is split into
// lines, numbered, appended and capped; the output view shows the result.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

// Most UTF-16 code units the log keeps; older whole lines are dropped above it.
inline constexpr std::size_t kOutputCapacity = 200000;

// What a zero character in output is shown as (U+FFFD REPLACEMENT CHARACTER).
inline constexpr wchar_t kZeroShownAs = L'\uFFFD';

// Longest display line of the log, in UTF-16 units: a longer output line goes
// on in further display lines under a blank number column, all its text kept.
inline constexpr std::size_t kDisplayLineLength = 1000;

// The number of an output line, padded on the left to at least three characters.
std::wstring LineNumberText(std::int32_t number);

// Splits text at line feeds ("\r\n" and "\n" both end a line) and writes each
// line as its number, " | " and the line (in display lines of at most
// kDisplayLineLength units), lines joined by "\r\n". A final line
// without a line feed stays unterminated; a zero character becomes kZeroShownAs.
// counter is the next line's number and advances by one per line.
std::wstring NumberLines(std::wstring_view text, std::int32_t& counter);

// The log's text. Dropping lines from the front only moves a start offset; the
// storage is compacted once the dropped part has grown to the capacity, so an
// append at the cap costs about the size of the appended text.
class OutputBuffer {
 public:
  explicit OutputBuffer(std::size_t capacity = kOutputCapacity) : capacity_(capacity) {}

  // Numbers text and appends it; empty text changes nothing.
  void Append(std::wstring_view text);
  void Clear();

  std::wstring_view Text() const { return std::wstring_view(data_).substr(start_); }
  std::int32_t LineCounter() const { return lineCounter_; }
  // Positions in everything appended since the last clear: the text is the
  // stream from StartPosition (units dropped so far) to EndPosition.
  std::uint64_t StartPosition() const { return dropped_; }
  std::uint64_t EndPosition() const { return dropped_ + (data_.size() - start_); }

 private:
  void Trim();

  std::size_t capacity_;
  std::wstring data_;
  std::size_t start_ = 0;
  std::uint64_t dropped_ = 0;
  std::int32_t lineCounter_ = 1;
};

// The buffer together with the part of the stream that the output view shows.
struct OutputLog {
  OutputBuffer buffer;
  std::uint64_t shownStart = 0;
  std::uint64_t shownEnd = 0;
};

enum class ViewUpdate { kNone, kAppendTail, kDropHeadAppendTail, kReplaceAll };

// What the view needs to show the buffer: nothing; only the text appended
// since it was last brought up to date; the lines dropped from the front cut
// out of the view and the new text appended (re-laying out 200000 units for
// every line costs the control some 100 ms); or, when everything the view
// showed has been dropped, the whole text.
ViewUpdate PlanViewUpdate(const OutputLog& log);

// Appends text to the log; shows it at once unless collect is set (then the
// caller brings the view up to date later with ShowOutputLog).
void AppendToLog(OutputLog& log, HWND view, std::wstring_view text, bool collect);
// Makes the view show exactly the buffer, caret at the end, scrolled to the bottom.
void ShowOutputLog(OutputLog& log, HWND view);
// Empties the buffer, restarts numbering at 1 and empties the view.
void ClearOutputLog(OutputLog& log, HWND view);

// The console's log (installed as the plugin host's onOutput and onClear).
// A call into script code runs on the script thread; the host hands its
// output over in batches while it runs, and each batch is shown at once.
void AppendOutput(const std::wstring& text);
void ClearOutput();
void ShowCollectedOutput();

}  // namespace qv
