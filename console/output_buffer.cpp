#include "console/output_buffer.h"

#include <algorithm>

#include "console/globals.h"
#include "base/text.h"
#include "console/console_state.h"

namespace qv {

std::wstring LineNumberText(std::int32_t number) {
  std::wstring digits = DecimalText(number);
  if (digits.size() < 3) digits.insert(0, 3 - digits.size(), L' ');
  return digits;
}

namespace {

// Where a display line of at most kDisplayLineLength units may end: never
// between the two halves of a surrogate pair.
std::size_t DisplayBreak(std::wstring_view line) {
  if (line.size() <= kDisplayLineLength) return line.size();
  std::size_t end = kDisplayLineLength;
  if (end > 0 && line[end - 1] >= 0xD800 && line[end - 1] <= 0xDBFF) --end;
  return end;
}

// Whether the display line at `start` goes on from the one above (its number
// column is blank).
bool IsContinuation(std::wstring_view text, std::size_t start) {
  const std::size_t bar = text.find_first_not_of(L' ', start);
  return bar != std::wstring_view::npos && bar > start && text[bar] == L'|';
}

}  // namespace

std::wstring NumberLines(std::wstring_view text, std::int32_t& counter) {
  std::wstring result;
  result.reserve(text.size() + 8);
  std::size_t position = 0;
  do {
    const std::size_t lineFeed = text.find(L'\n', position);
    std::wstring_view line = text.substr(position, lineFeed == std::wstring_view::npos ? std::wstring_view::npos
                                                                                       : lineFeed - position);
    if (!line.empty() && line.back() == L'\r') line.remove_suffix(1);
    const std::wstring number = LineNumberText(counter++);
    result += number;
    result += L" | ";
    // A long line goes on in display lines under a blank number: the view's
    // wrapping costs time that grows with the square of a line's length.
    for (bool first = true; first || !line.empty(); first = false) {
      if (!first) {
        result += L"\r\n";
        result.append(number.size(), L' ');
        result += L" | ";
      }
      const std::size_t end = DisplayBreak(line);
      const std::size_t pieceStart = result.size();
      result += line.substr(0, end);
      // The output view's text would end at a zero: the rest of the append would be lost.
      std::replace(result.begin() + static_cast<std::ptrdiff_t>(pieceStart), result.end(), L'\0', kZeroShownAs);
      line.remove_prefix(end);
    }
    if (lineFeed == std::wstring_view::npos) break;
    result += L"\r\n";
    position = lineFeed + 1;
  } while (position < text.size());
  return result;
}

void OutputBuffer::Append(std::wstring_view text) {
  if (text.empty()) return;
  data_ += NumberLines(text, lineCounter_);
  Trim();
}

void OutputBuffer::Clear() {
  data_.clear();
  data_.shrink_to_fit();
  start_ = 0;
  dropped_ = 0;
  lineCounter_ = 1;
}

void OutputBuffer::Trim() {
  const std::size_t length = data_.size() - start_;
  if (length <= capacity_) return;
  const std::size_t excess = length - capacity_;
  std::size_t lineFeed = data_.find(L'\n', start_ + excess);
  // The log starts with a numbered line: display lines that went on from a
  // dropped one go with it.
  while (lineFeed != std::wstring::npos && IsContinuation(data_, lineFeed + 1)) {
    lineFeed = data_.find(L'\n', lineFeed + 1);
  }
  const std::size_t newStart = lineFeed == std::wstring::npos ? start_ + excess : lineFeed + 1;
  dropped_ += newStart - start_;
  start_ = newStart;
  // Compacting only once the dropped part is as large as the capacity keeps
  // the cost of moving the kept text to about one unit per appended unit.
  if (start_ >= capacity_) {
    data_.erase(0, start_);
    start_ = 0;
  }
}

ViewUpdate PlanViewUpdate(const OutputLog& log) {
  const OutputBuffer& buffer = log.buffer;
  if (log.shownStart == buffer.StartPosition() && log.shownEnd == buffer.EndPosition()) return ViewUpdate::kNone;
  if (log.shownStart == buffer.StartPosition() && log.shownEnd < buffer.EndPosition()) {
    return ViewUpdate::kAppendTail;
  }
  if (log.shownStart < buffer.StartPosition() && buffer.StartPosition() < log.shownEnd &&
      log.shownEnd <= buffer.EndPosition()) {
    return ViewUpdate::kDropHeadAppendTail;
  }
  return ViewUpdate::kReplaceAll;
}

namespace {

void CaretToEnd(HWND view) {
  const int length = GetWindowTextLengthW(view);
  SendMessageW(view, EM_SETSEL, length, length);
  SendMessageW(view, EM_SCROLLCARET, 0, 0);
  SendMessageW(view, WM_VSCROLL, SB_BOTTOM, 0);
}

}  // namespace

void ShowOutputLog(OutputLog& log, HWND view) {
  if (view == nullptr) return;
  const OutputBuffer& buffer = log.buffer;
  switch (PlanViewUpdate(log)) {
    case ViewUpdate::kNone:
      return;
    case ViewUpdate::kDropHeadAppendTail:
      SendMessageW(view, EM_SETSEL, 0, static_cast<LPARAM>(buffer.StartPosition() - log.shownStart));
      SendMessageW(view, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L""));
      [[fallthrough]];
    case ViewUpdate::kAppendTail: {
      const std::wstring tail(buffer.Text().substr(buffer.Text().size() - (buffer.EndPosition() - log.shownEnd)));
      const int length = GetWindowTextLengthW(view);
      SendMessageW(view, EM_SETSEL, length, length);
      SendMessageW(view, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(tail.c_str()));
      break;
    }
    case ViewUpdate::kReplaceAll:
      SetWindowTextW(view, std::wstring(buffer.Text()).c_str());
      break;
  }
  log.shownStart = buffer.StartPosition();
  log.shownEnd = buffer.EndPosition();
  CaretToEnd(view);
}

void AppendToLog(OutputLog& log, HWND view, std::wstring_view text, bool collect) {
  log.buffer.Append(text);
  if (!collect) ShowOutputLog(log, view);
}

void ClearOutputLog(OutputLog& log, HWND view) {
  log.buffer.Clear();
  log.shownStart = 0;
  log.shownEnd = 0;
  if (view) SetWindowTextW(view, L"");
}

void AppendOutput(const std::wstring& text) {
  ConsoleState& console = Console();
  if (console.outputView == nullptr || text.empty()) return;
  AppendToLog(console.output, console.outputView, text, false);
}

void ClearOutput() { ClearOutputLog(Console().output, Console().outputView); }

void ShowCollectedOutput() { ShowOutputLog(Console().output, Console().outputView); }

}  // namespace qv
