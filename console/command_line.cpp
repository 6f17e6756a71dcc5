#include "console/command_line.h"

#include <windows.h>
#include <shellapi.h>

#include <cwctype>

#include "console/globals.h"
#include "base/text.h"
#include "console/completion.h"
#include "console/console_state.h"
#include "console/history_file.h"
#include "host/store/data_files.h"
#include "host/commands.h"
#include "host/execute.h"
#include "host/loading.h"
#include "host/script_env.h"
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

namespace {

std::wstring UpdateReply(const UpdateCheckState& update) {
  switch (update.stage) {
    case UpdateCheckStage::kRunning: return L"正在检查更新…\r\n\r\n";
    case UpdateCheckStage::kFailed: return L"检查更新失败：" + update.failure + L"\r\n\r\n";
    case UpdateCheckStage::kNothingNewer: break;
  }
  return L"当前没有可用更新。\r\n\r\n";
}

std::wstring UnknownReply(const std::wstring& word, const std::vector<std::wstring>& commandNames) {
  const std::optional<std::wstring> meant = SuggestCommand(word, commandNames);
  if (meant) return L"未知命令：" + word + L"\r\n是不是要输入 " + *meant + L"？\r\n\r\n";
  return L"未知命令：" + word + L"\r\n输入 ls 查看可用命令。\r\n\r\n";
}

}  // namespace

CommandLineDecision DecideCommandLine(const std::wstring& line, bool callRunning, const std::wstring& updatePageUrl,
                                      const std::function<bool(const std::wstring&)>& isPluginCommand,
                                      const std::vector<std::wstring>& commandNames, const UpdateCheckState& update) {
  CommandLineDecision decision;
  const std::wstring trimmed = TrimWhitespace(line);
  if (callRunning || trimmed.empty()) return decision;  // one call at a time
  decision.echo = L"> " + line + L"\r\n";
  decision.history = line;
  decision.command = SplitCommandLine(trimmed);
  const std::wstring& word = decision.command.word;
  if (word == kUpdateCommand) {
    decision.route = CommandRoute::kUpdate;
    if (updatePageUrl.empty()) decision.reply = UpdateReply(update);
    decision.pageUrl = updatePageUrl;
  } else if (isPluginCommand && isPluginCommand(word)) {
    decision.route = CommandRoute::kPlugin;
  } else {
    decision.route = CommandRoute::kUnknown;
    decision.reply = UnknownReply(word, commandNames);
  }
  return decision;
}

PastePlan PlanPaste(const std::wstring& before, const std::wstring& pasted, const std::wstring& after,
                    std::size_t lineLimit) {
  PastePlan plan;
  const std::wstring text = before + pasted + after;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find_first_of(L"\r\n", start);
    std::wstring line = text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
    if (line.size() > lineLimit) {
      line.resize(lineLimit);
      plan.cut = true;
    }
    if (end == std::wstring::npos) {
      plan.rest = std::move(line);
      return plan;
    }
    plan.lines.push_back(std::move(line));
    start = end + (text.compare(end, 2, L"\r\n") == 0 ? 2 : 1);
  }
}

std::wstring InputCutText(std::size_t limit) {
  return L"输入超过 " + DecimalText(static_cast<long long>(limit)) + L" 个字符，超出的部分已截去。\r\n\r\n";
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

std::vector<Candidate> CommandCandidates(std::wstring_view prefix) {
  std::vector<Candidate> candidates;
  if (StartsWithNoCase(kUpdateCommand, prefix)) candidates.push_back({kUpdateCommand, kUpdateHelp});
  if (!GlobalHost) return candidates;
  const std::wstring_view update = kUpdateCommand;
  for (const CommandSummary& command : GlobalHost->commandList) {
    // Only the matches are copied: Tab among a few thousand commands stays cheap.
    if (!StartsWithNoCase(command.name, prefix)) continue;
    if (command.name.size() == update.size() && StartsWithNoCase(command.name, update)) continue;
    candidates.push_back({command.name, command.help});
  }
  return candidates;
}

std::wstring StartCommandHistory(const std::wstring& folder) {
  ConsoleState& console = Console();
  console.historyFolder = folder;
  HistoryLoad load = LoadHistoryFile(folder);
  console.commandHistory = std::move(load.entries);
  console.historyPosition = static_cast<int>(console.commandHistory.size());
  console.firstStart = !load.fileExisted;
  // An empty file marks the first start as past, even when nothing is typed.
  if (console.firstStart) WriteFileAtomically(folder, kHistoryFileName, std::string_view());
  return load.problem;
}

void KeepHistoryLine(const std::wstring& line) {
  ConsoleState& console = Console();
  if (console.historyFolder.empty()) {
    AddHistoryEntry(console.commandHistory, line);
  } else {
    HistoryWrite written = KeepInHistoryFile(console.historyFolder, console.commandHistory, line);
    console.commandHistory = std::move(written.entries);
    if (written.error != 0 && !console.historyWriteFailed) {
      console.historyWriteFailed = true;  // said once a run
      AppendOutput(L"[历史] 无法保存历史记录：" + FileErrorText(written.error) + L"\r\n");
    }
  }
  console.historyPosition = static_cast<int>(console.commandHistory.size());
  console.historyDraft.clear();
}

void ExecuteCommandLine(const std::wstring& line) {
  ConsoleState& console = Console();
  const auto isPluginCommand = [](const std::wstring& word) { return GlobalHost && HasCommand(*GlobalHost, word); };
  std::vector<std::wstring> names;
  for (const Candidate& candidate : CommandCandidates()) names.push_back(candidate.name);
  const CommandLineDecision decision = DecideCommandLine(line, ScriptCallRunning(), console.updateDownloadUrl,
                                                         isPluginCommand, names, console.updateCheck);
  if (decision.route == CommandRoute::kIgnored) return;
  if (console.inputLine) ClearInputLine(console.inputLine);
  console.inputCutShown = false;

  AppendOutput(decision.echo);
  KeepHistoryLine(decision.history);

  if (!decision.reply.empty()) AppendOutput(decision.reply);
  if (!decision.pageUrl.empty()) OpenDownloadPage(decision.pageUrl);
  if (decision.route == CommandRoute::kPlugin) RunPluginCommand(*GlobalHost, decision.command, AppendOutput);
  // Console().inputLine may have gone if the command closed the window.
  if (Console().inputLine) SetFocus(Console().inputLine);
}

}  // namespace qv
