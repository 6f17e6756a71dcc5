#include "console/command_line.h"

#include <windows.h>
#include <shellapi.h>

#include <cwctype>

#include "app/globals.h"
#include "app/text.h"
#include "console/console_state.h"
#include "console/output_buffer.h"

namespace qv {

std::wstring TrimWhitespace(const std::wstring& text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && std::iswspace(text[begin])) ++begin;
  while (end > begin && std::iswspace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

SplitLine SplitCommandLine(const std::wstring& trimmedLine) {
  const std::wstring lower = ToLower(trimmedLine);
  const std::size_t separator = lower.find_first_of(L" \t");
  if (separator == std::wstring::npos) return {lower, std::wstring()};
  return {lower.substr(0, separator), TrimWhitespace(trimmedLine.substr(separator + 1))};
}

void RecordHistory(std::vector<std::wstring>& history, const std::wstring& entry) {
  history.push_back(entry);
  if (history.size() > kHistoryLimit) history.erase(history.begin(), history.end() - kHistoryLimit);
}

namespace {

void ClearInputLine(HWND input) {
  SetWindowTextW(input, L"");
  const int length = GetWindowTextLengthW(input);
  SendMessageW(input, EM_SETSEL, length, length);
  UpdateWindow(input);
}

void RunUpdateCommand(const std::wstring& url) {
  if (url.empty()) {
    AppendOutput(L"当前没有可用更新。\r\n\r\n");
    return;
  }
  const auto result = reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", url.c_str(), nullptr, nullptr, 1));
  if (result <= 32) AppendOutput(L"无法打开下载页面。\r\n\r\n");
}

void RunPluginCommand(PluginHost& host, const SplitLine& split) {
  ExecuteCommand(host, split.word, split.arguments);
  if (!TakeReloadRequest(host)) return;
  LoadPlugins(host);
  AppendOutput(TakePendingLog(host));
}

}  // namespace

void ExecuteCommandLine(const std::wstring& line) {
  ConsoleState& console = Console();
  if (console.callRunning) return;  // one call at a time
  const std::wstring trimmed = TrimWhitespace(line);
  if (trimmed.empty()) return;
  if (console.inputLine) ClearInputLine(console.inputLine);

  AppendOutput(L"> " + line + L"\r\n");
  RecordHistory(console.commandHistory, trimmed);
  console.historyPosition = static_cast<int>(console.commandHistory.size());
  console.historyDraft.clear();

  const SplitLine split = SplitCommandLine(trimmed);
  if (split.word == L"update") {
    RunUpdateCommand(console.updateDownloadUrl);
  } else if (GlobalHost && HasCommand(*GlobalHost, split.word)) {
    RunPluginCommand(*GlobalHost, split);
  } else {
    AppendOutput(L"未知命令：" + split.word + L"\r\n");
    AppendOutput(L"输入 ls 查看可用命令。\r\n\r\n");
  }
  // Console().inputLine may have gone if the command closed the window.
  if (Console().inputLine) SetFocus(Console().inputLine);
}

}  // namespace qv
