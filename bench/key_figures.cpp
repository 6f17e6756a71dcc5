// The keys of the input line under load: Tab among 1,600 commands of eight
// plugins, and the dim suggestion over a full history, each key sent to the
// console's own input line procedure (a hidden edit control, subclassed as the
// console does) and timed with what it computes.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/figures.h"
#include "console/command_line.h"
#include "console/completion.h"
#include "console/console_state.h"
#include "console/globals.h"
#include "console/history_file.h"
#include "console/input_actions.h"
#include "console/input_line.h"
#include "console/output_buffer.h"
#include "host/loading.h"
#include "host/plugin_host.h"
#include "host/script_env.h"
#include "tests/support/driver.h"
#include "tests/support/hidden_input_line.h"
#include "tests/support/hidden_output_view.h"

namespace qv::bench {
namespace {

// Eight plugins of 200 commands each (the most one plugin may register):
// "<area>_<verb><n>", e.g. git_status7, with a help text.
const char* const kAreas[] = {"net", "file", "git", "note", "proc", "disk", "win", "text"};
const char* const kVerbs[] = {"add",  "get",   "set",   "list", "show", "remove", "find", "open", "copy", "move",
                              "sync", "watch", "check", "stop", "start", "status", "info", "edit", "save", "load"};
constexpr int kNumbers = 10;  // per verb: 20 verbs x 10 = 200 per plugin

bool WriteCommandPlugins(const std::wstring& folder) {
  CreateDirectoryW(folder.c_str(), nullptr);
  bool ok = e2e::WriteBytes(folder + L"\\basic.lua", "host.register{ name = \"ls\", run = function() end }\n");
  std::string verbs = "local verbs = {";
  for (const char* verb : kVerbs) verbs += std::string("\"") + verb + "\", ";
  verbs += "}\n";
  for (const char* area : kAreas) {
    const std::string script = verbs + "for _, verb in ipairs(verbs) do\n  for n = 1, " + std::to_string(kNumbers) +
                               " do\n    host.register{ name = \"" + area +
                               "_\" .. verb .. n, help = \"" + area +
                               " 的第 \" .. n .. \" 个 \" .. verb .. \" 命令\", run = function() end }\n  end\nend\n";
    ok = e2e::WriteBytes(folder + L"\\" + e2e::Widen(area) + L".lua", script) && ok;
  }
  return ok;
}

// A full history of lines as people type them: commands of the plugins with
// arguments, paths and Chinese text, built the same way every run.
std::vector<std::wstring> RealisticHistory() {
  const wchar_t* const args[] = {L"", L" --all", L" C:\\Users\\me\\文档\\报告.txt", L" 买牛奶 明天上午",
                                 L" 192.168.1.20 8080", L" -n 20", L" \"D:\\照片\\2026 年\\\"", L" on"};
  std::vector<std::wstring> history;
  unsigned seed = 12345;
  auto next = [&seed](unsigned range) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) % range;
  };
  while (history.size() < kHistoryLimit) {
    std::wstring line;
    switch (next(10)) {
      case 0: line = L"ls"; break;
      case 1: line = L"help " + e2e::Widen(kAreas[next(8)]) + L"_" + e2e::Widen(kVerbs[next(20)]); break;
      default:
        line = e2e::Widen(kAreas[next(8)]) + L"_" + e2e::Widen(kVerbs[next(20)]) + std::to_wstring(1 + next(kNumbers)) +
               args[next(8)];
    }
    AddHistoryEntry(history, line);
  }
  return history;
}

std::size_t overlaySink = 0;

// One typed character: the input line's own handling of it, then the dim text
// its next paint computes (the same call PaintInputOverlay makes, the caret
// at the end as when typing). Microseconds.
double SuggestionKeyMicroseconds(HWND input, wchar_t character) {
  const ConsoleState& console = Console();
  const double start = Now();
  SendMessageW(input, WM_CHAR, character, 1);
  DWORD from = 0;
  DWORD to = 0;
  SendMessageW(input, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
  const std::wstring text = ReadInputText();
  overlaySink += InputOverlayText(ScriptCallRunning(), console.search.active, from == to && to == text.size(), text,
                                  console.commandHistory)
                     .size();
  return (Now() - start) * 1e6;
}

// Types each line from an empty input line; the median microseconds per key.
double TypeLinesMicroseconds(HWND input, const std::vector<std::wstring>& lines) {
  std::vector<double> keys;
  for (const std::wstring& line : lines) {
    SetInputText(std::wstring());
    for (const wchar_t c : line) keys.push_back(SuggestionKeyMicroseconds(input, c));
  }
  return Median(keys);
}

double TabMicroseconds(HWND input) {
  const double start = Now();
  SendMessageW(input, WM_KEYDOWN, VK_TAB, 1);
  return (Now() - start) * 1e6;
}

// A word typed into an empty line and the line Tab should make of it.
struct TabCase {
  std::wstring typed;
  std::wstring completed;
};

// Tab on each word in a fresh line (so no Tab lists); the median microseconds
// per Tab. Counts the Tabs whose line came out other than expected.
double TabWordsMicroseconds(HWND input, const std::vector<TabCase>& cases, int& wrong) {
  std::vector<double> tabs;
  for (const TabCase& tab : cases) {
    SetInputText(tab.typed);
    Console().ambiguousTabLine.clear();
    tabs.push_back(TabMicroseconds(input));
    if (ReadInputText() != tab.completed) ++wrong;
  }
  return Median(tabs);
}

}  // namespace

bool KeyFigures(const std::wstring& folder, int runs) {
  if (!WriteCommandPlugins(folder)) return false;
  GlobalHost = std::make_unique<PluginHost>();
  PluginHost& host = *GlobalHost;
  host.pluginsDir = folder;
  host.onOutput = [](const std::wstring&) {};
  LoadPlugins(host);
  const std::wstring loadLog = TakePendingLog(host);
  const std::size_t commands = host.commandList.size();
  if (commands < 1600) {
    std::fprintf(stderr, "only %zu commands registered:\n%s\n", commands, e2e::Narrow(loadLog).c_str());
    CloseAllPlugins(host);
    GlobalHost.reset();
    return false;
  }
  ConsoleState& console = Console();
  console.commandHistory = RealisticHistory();
  test::HiddenOutputView view;
  console.outputView = view.get();
  {
    test::HiddenInputLine line;
    const HWND input = line.get();

    // Tab on words that extend to a longer common prefix, complete to one
    // name, or match several names that share nothing more.
    std::vector<TabCase> cases;
    for (const char* area : kAreas) {
      const std::wstring a = e2e::Widen(area);
      cases.push_back({a.substr(0, 2), a + L"_"});
      cases.push_back({a + L"_stat", a + L"_status"});
      cases.push_back({a + L"_watch7", a + L"_watch7 "});
      cases.push_back({a + L"_st", a + L"_st"});  // start, status, stop
      cases.push_back({a + L"_remove1", a + L"_remove1"});  // remove1, remove10
    }
    int wrong = 0;
    Figure("tab_complete_1600_commands_us", MedianOf(runs, [&] { return TabWordsMicroseconds(input, cases, wrong); }),
           "us");
    // Tab again on "git_": the 200 matches listed in the log.
    Figure("tab_list_200_of_1600_commands_us", MedianOf(runs, [&] {
             ClearOutput();
             SetInputText(L"git_");
             console.ambiguousTabLine.clear();
             TabMicroseconds(input);
             return TabMicroseconds(input);
           }),
           "us");
    // Where a Tab goes, step by step, on the same words: the candidates taken
    // from the host (only the matches are copied), the matching, and the
    // listing's text.
    Figure("tab_step_candidates_us", MedianOf(runs, [&] {
             std::vector<double> each;
             for (const TabCase& tab : cases) {
               const double start = Now();
               overlaySink += CommandCandidates(tab.typed).size();
               each.push_back((Now() - start) * 1e6);
             }
             return Median(each);
           }),
           "us");
    const std::vector<Candidate> candidates = CommandCandidates();
    Figure("tab_step_match_us", MedianOf(runs, [&] {
             std::vector<double> each;
             for (const TabCase& tab : cases) {
               const double start = Now();
               overlaySink += CompleteLine(FindCompletionPoint(tab.typed), candidates).matches.size();
               each.push_back((Now() - start) * 1e6);
             }
             return Median(each);
           }),
           "us");
    const std::vector<Candidate> gitMatches = CompleteLine(FindCompletionPoint(L"git_"), candidates).matches;
    Figure("tab_list_step_format_us", MedianOf(runs, [&] {
             const double start = Now();
             overlaySink += FormatCandidateList(gitMatches, 100).size();
             return (Now() - start) * 1e6;
           }),
           "us");
    const bool listed = view.Text().find(L"git_watch10") != std::wstring::npos;
    ClearOutput();

    // Typing lines one key at a time, the suggestion computed after each key:
    // lines met in the history (newest and oldest entries) and lines that
    // are not, whose keys look through the whole history.
    const std::vector<std::wstring>& history = console.commandHistory;
    const std::vector<std::wstring> mixed = {history.back(), history[history.size() / 2], history.front(),
                                             L"git_status3 --all", L"note_add1 买牛奶 明天上午", L"calc 12*34+5"};
    const std::vector<std::wstring> unmatched = {L"calc 12*34+5", L"ping 10.0.0.1", L"打开 记事本"};
    Figure("inline_suggestion_1000_history_us", MedianOf(runs, [&] { return TypeLinesMicroseconds(input, mixed); }),
           "us");
    Figure("inline_suggestion_1000_history_no_match_us",
           MedianOf(runs, [&] { return TypeLinesMicroseconds(input, unmatched); }), "us");
    // What a key costs without any suggestion to compute: the input line alone.
    const std::vector<std::wstring> saved = std::move(console.commandHistory);
    console.commandHistory.clear();
    Figure("input_key_empty_history_us", MedianOf(runs, [&] { return TypeLinesMicroseconds(input, mixed); }), "us");
    console.commandHistory = saved;

    std::printf("key_figures_check: %zu commands, %zu history entries, %d of %zu Tabs gave another line, list %s\n",
                commands, history.size(), wrong, cases.size() * static_cast<std::size_t>(runs),
                listed ? "shown" : "MISSING");
  }
  console.outputView = nullptr;
  console.commandHistory.clear();
  CloseAllPlugins(host);
  GlobalHost.reset();
  return true;
}

}  // namespace qv::bench
