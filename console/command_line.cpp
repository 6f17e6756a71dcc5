#include "console/command_line.h"

#include <windows.h>
#include <shellapi.h>

#include <cwctype>

#include "console/globals.h"
#include "base/text.h"
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

CommandLineDecision DecideCommandLine(const std::wstring& line, bool callRunning, const std::wstring& updatePageUrl,
                                      const std::function<bool(const std::wstring&)>& isPluginCommand) {
  CommandLineDecision decision;
  const std::wstring trimmed = TrimWhitespace(line);
  if (callRunning || trimmed.empty()) return decision;  // one call at a time
  decision.echo = L"> " + line + L"\r\n";
  decision.history = trimmed;
  decision.command = SplitCommandLine(trimmed);
  const std::wstring& word = decision.command.word;
  if (word == L"update") {
    decision.route = CommandRoute::kUpdate;
    if (updatePageUrl.empty()) decision.reply = L"当前没有可用更新。\r\n\r\n";
    decision.pageUrl = updatePageUrl;
  } else if (isPluginCommand && isPluginCommand(word)) {
    decision.route = CommandRoute::kPlugin;
  } else {
    decision.route = CommandRoute::kUnknown;
    decision.reply = L"未知命令：" + word + L"\r\n输入 ls 查看可用命令。\r\n\r\n";
  }
  return decision;
}

void RunPluginCommand(PluginHost& host, const SplitLine& command,
                      const std::function<void(const std::wstring&)>& show) {
  ExecuteCommand(host, command.word, command.arguments);
  if (!TakeReloadRequest(host)) return;
  // What is still unshown (the first pass's report, when a reload was typed
  // during the start-up animation) goes first: the new pass starts afresh.
  show(TakePendingLog(host));
  LoadPlugins(host);
  show(TakePendingLog(host));
}

namespace {

void ClearInputLine(HWND input) {
  SetWindowTextW(input, L"");
  const int length = GetWindowTextLengthW(input);
  SendMessageW(input, EM_SETSEL, length, length);
  UpdateWindow(input);
}

void OpenDownloadPage(const std::wstring& url) {
  const auto result = reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", url.c_str(), nullptr, nullptr, 1));
  if (result <= 32) AppendOutput(L"无法打开下载页面。\r\n\r\n");
}

}  // namespace

void ExecuteCommandLine(const std::wstring& line) {
  ConsoleState& console = Console();
  const auto isPluginCommand = [](const std::wstring& word) { return GlobalHost && HasCommand(*GlobalHost, word); };
  const CommandLineDecision decision =
      DecideCommandLine(line, console.callRunning, console.updateDownloadUrl, isPluginCommand);
  if (decision.route == CommandRoute::kIgnored) return;
  if (console.inputLine) ClearInputLine(console.inputLine);

  AppendOutput(decision.echo);
  RecordHistory(console.commandHistory, decision.history);
  console.historyPosition = static_cast<int>(console.commandHistory.size());
  console.historyDraft.clear();

  if (!decision.reply.empty()) AppendOutput(decision.reply);
  if (!decision.pageUrl.empty()) OpenDownloadPage(decision.pageUrl);
  if (decision.route == CommandRoute::kPlugin) RunPluginCommand(*GlobalHost, decision.command, AppendOutput);
  // Console().inputLine may have gone if the command closed the window.
  if (Console().inputLine) SetFocus(Console().inputLine);
}

}  // namespace qv
