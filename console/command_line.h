// Processing of one entered command line: echo, history, split, the built-in
// update command, plugin commands and the reload they may ask for.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "host/plugin_host.h"

namespace qv {

inline constexpr std::size_t kHistoryLimit = 100;

// The text without leading and trailing characters for which iswspace is true.
std::wstring TrimWhitespace(const std::wstring& text);

struct SplitLine {
  std::wstring word;       // lower case
  std::wstring arguments;  // trimmed, in the case the user typed
};
// Splits a trimmed line at its first space or tab.
SplitLine SplitCommandLine(const std::wstring& trimmedLine);

// Appends an entry, dropping the oldest ones beyond kHistoryLimit.
void RecordHistory(std::vector<std::wstring>& history, const std::wstring& entry);

// Where one entered line goes. The built-in "update" comes before a plugin
// command of the same name.
enum class CommandRoute {
  kIgnored,  // a blank line, or a call is still running: nothing happens
  kUpdate,   // the built-in update command
  kPlugin,   // a command that a plugin registered
  kUnknown,  // no such command
};

// What running one line comes to, decided without any window or host.
struct CommandLineDecision {
  CommandRoute route = CommandRoute::kIgnored;
  std::wstring echo;     // shown first: "> " and the line as typed
  std::wstring history;  // recorded in the history: the trimmed line
  SplitLine command;     // the command word and its arguments
  std::wstring reply;    // shown after the echo: the text of kUnknown, or of kUpdate without a page
  std::wstring pageUrl;  // kUpdate with a download page: the page to open
};

// The decision for a line. updatePageUrl is the announced download page
// (empty when no update is known); isPluginCommand tells the registered names.
CommandLineDecision DecideCommandLine(const std::wstring& line, bool callRunning, const std::wstring& updatePageUrl,
                                      const std::function<bool(const std::wstring&)>& isPluginCommand);

// Runs a plugin command and, when it asked for one, the reload after it
// returns; the reload's loading report goes to show.
void RunPluginCommand(PluginHost& host, const SplitLine& command,
                      const std::function<void(const std::wstring&)>& show);

// Runs one line as typed into the input line or carried by a menu entry.
void ExecuteCommandLine(const std::wstring& line);

}  // namespace qv
