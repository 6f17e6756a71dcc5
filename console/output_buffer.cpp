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

std::wstring NumberLines(std::wstring_view text, std::int32_t& counter) {
  std::wstring result;
  result.reserve(text.size() + 8);
  std::size_t position = 0;
  do {
    const std::size_t lineFeed = text.find(L'\n', position);
    std::wstring_view line = text.substr(position, lineFeed == std::wstring_view::npos ? std::wstring_view::npos
                                                                                       : lineFeed - position);
    if (!line.empty() && line.back() == L'\r') line.remove_suffix(1);
    result += LineNumberText(counter++);
    result += L" | ";
    const std::size_t lineStart = result.size();
    result += line;
    // The output view's text would end at a zero: the rest of the append would be lost.
    std::replace(result.begin() + static_cast<std::ptrdiff_t>(lineStart), result.end(), L'\0', kZeroShownAs);
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
  const std::size_t lineFeed = data_.find(L'\n', start_ + excess);
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
