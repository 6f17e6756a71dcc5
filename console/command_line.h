// Processing of one entered command line: echo, history, split, the built-in
// update command, plugin commands and the reload they may ask for.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "console/completion.h"
#include "host/plugin_host.h"

namespace qv {

// The text without leading and trailing characters for which iswspace is true.
std::wstring TrimWhitespace(const std::wstring& text);

struct SplitLine {
  std::wstring word;       // lower case
  std::wstring arguments;  // trimmed, in the case the user typed
};
// Splits a trimmed line at its first space or tab.
SplitLine SplitCommandLine(const std::wstring& trimmedLine);

// Where one entered line goes. The built-in "update" comes before a plugin
// command of the same name.
enum class CommandRoute {
  kIgnored,  // a blank line, or a call is still running: nothing happens
  kUpdate,   // the built-in update command
  kPlugin,   // a command that a plugin registered
  kUnknown,  // no such command
};

// How far the background update check is: update answers by it while no
// newer version is known.
enum class UpdateCheckStage { kRunning, kFailed, kNothingNewer };
struct UpdateCheckState {
  UpdateCheckStage stage = UpdateCheckStage::kRunning;
  std::wstring failure;  // kFailed: why
};

// The built-in command's name and the help that Tab's list shows beside it.
inline constexpr wchar_t kUpdateCommand[] = L"update";
inline constexpr wchar_t kUpdateHelp[] = L"打开新版本的下载页面（程序启动时会在后台检查更新）";

// What running one line comes to, decided without any window or host.
struct CommandLineDecision {
  CommandRoute route = CommandRoute::kIgnored;
  std::wstring echo;     // shown first: "> " and the line as typed
  std::wstring history;  // offered to the history (AddHistoryEntry): the line as typed
  SplitLine command;     // the command word and its arguments
  std::wstring reply;    // shown after the echo: the text of kUnknown, or of kUpdate without a page
  std::wstring pageUrl;  // kUpdate with a download page: the page to open
};

// The decision for a line. updatePageUrl is the announced download page
// (empty when no update is known); isPluginCommand tells the registered names;
// commandNames are what an unknown word may have meant.
CommandLineDecision DecideCommandLine(const std::wstring& line, bool callRunning, const std::wstring& updatePageUrl,
                                      const std::function<bool(const std::wstring&)>& isPluginCommand,
                                      const std::vector<std::wstring>& commandNames = {},
                                      const UpdateCheckState& update = {UpdateCheckStage::kNothingNewer, {}});

// Where a paste leaves the input line: the pasted text goes in place of the
// selection, every complete line is run in turn as if typed and entered, and
// the rest stays in the line. Lines longer than the input's limit are cut.
struct PastePlan {
  std::vector<std::wstring> lines;  // to run, in order
  std::wstring rest;                // left in the input line
  bool cut = false;                 // a line was cut at the limit
};
PastePlan PlanPaste(const std::wstring& before, const std::wstring& pasted, const std::wstring& after,
                    std::size_t lineLimit);
// More pasted lines than this are run only after the user agrees.
inline constexpr std::size_t kPasteConfirmLines = 20;

// The user's text for an input line cut at its limit.
std::wstring InputCutText(std::size_t limit);

// Runs a plugin command and, when it asked for one, the reload after it
// returns; the reload's loading report goes to show.
void RunPluginCommand(PluginHost& host, const SplitLine& command,
                      const std::function<void(const std::wstring&)>& show);

// Runs one line as typed into the input line or carried by a menu entry.
void ExecuteCommandLine(const std::wstring& line);

// What Tab completes the command word from: the built-in update and every
// registered command that starts with prefix (without case), with their help.
std::vector<Candidate> CommandCandidates(std::wstring_view prefix = {});
// Reads the history file in folder into the console's history and keeps every
// entered line there from now on. Returns a log line when the file was damaged.
std::wstring StartCommandHistory(const std::wstring& folder);
// Offers one entered line to the history (and its file).
void KeepHistoryLine(const std::wstring& line);

}  // namespace qv
