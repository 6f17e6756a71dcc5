// The command history kept across runs: history.txt in the plugin manager's
// folder (beside disabled.txt), UTF-8 without a byte-order mark, one entry a
// line ("\n"; "\r\n" is read too), oldest first, at most kHistoryLimit entries.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

inline constexpr std::size_t kHistoryLimit = 1000;
inline constexpr wchar_t kHistoryFileName[] = L"history.txt";

// Adds the line as entered: trimmed, unless it is blank, starts with a blank
// (the way to keep a line out of the history) or equals the newest entry. The
// oldest entries beyond kHistoryLimit go. True when it was added.
bool AddHistoryEntry(std::vector<std::wstring>& history, const std::wstring& line);

// The entries in a history file's content (a leading byte-order mark and empty
// lines are skipped; the newest kHistoryLimit are kept), or nothing when the
// content is not UTF-8 text (malformed, or holding a zero byte).
std::optional<std::vector<std::wstring>> ParseHistory(std::string_view content);
std::string SerializeHistory(const std::vector<std::wstring>& history);

// The history file in folder.
std::wstring HistoryFilePath(const std::wstring& folder);

struct HistoryLoad {
  std::vector<std::wstring> entries;
  bool fileExisted = false;
  std::wstring problem;  // a log line when the file could not be used, else empty
};
HistoryLoad LoadHistoryFile(const std::wstring& folder);

// Keeps one entered line: reads the file again (another copy of the program
// may have added to it since), adds the line by AddHistoryEntry and writes the
// whole file through a temporary one, so a crash or a full disk leaves the old
// file whole. `memory` stands in for a file that cannot be read. Returns the
// history as it is now, and the system error code of a failed write (0 when written).
struct HistoryWrite {
  std::vector<std::wstring> entries;
  unsigned long error = 0;
};
HistoryWrite KeepInHistoryFile(const std::wstring& folder, const std::vector<std::wstring>& memory,
                               const std::wstring& line);

}  // namespace qv
