#include "console/history_file.h"

#include <windows.h>

#include "base/files.h"
#include "base/text.h"
#include "console/command_line.h"
#include "host/store/data_files.h"

namespace qv {

namespace {

void CapHistory(std::vector<std::wstring>& history) {
  if (history.size() > kHistoryLimit) history.erase(history.begin(), history.end() - kHistoryLimit);
}

// The file's entries; nothing when it is missing, unreadable or damaged.
std::optional<std::vector<std::wstring>> ReadHistoryFile(const std::wstring& folder, bool& existed) {
  existed = GetFileAttributesW(HistoryFilePath(folder).c_str()) != INVALID_FILE_ATTRIBUTES;
  std::string content;
  if (!existed || !ReadWholeFile(HistoryFilePath(folder), content)) return std::nullopt;
  return ParseHistory(content);
}

}  // namespace

bool AddHistoryEntry(std::vector<std::wstring>& history, const std::wstring& line) {
  if (line.empty() || line.front() == L' ' || line.front() == L'\t' || line.front() == L'\x3000') return false;
  const std::wstring entry = TrimWhitespace(line);
  if (entry.empty() || (!history.empty() && history.back() == entry)) return false;
  history.push_back(entry);
  CapHistory(history);
  return true;
}

std::optional<std::vector<std::wstring>> ParseHistory(std::string_view content) {
  if (content.substr(0, 3) == "\xEF\xBB\xBF") content.remove_prefix(3);
  if (content.find('\0') != std::string_view::npos || !IsValidUtf8(content)) return std::nullopt;
  std::vector<std::wstring> entries;
  while (!content.empty()) {
    const std::size_t end = content.find('\n');
    std::string_view line = content.substr(0, end);
    content.remove_prefix(end == std::string_view::npos ? content.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!line.empty()) entries.push_back(Utf8ToWide(line));
  }
  CapHistory(entries);
  return entries;
}

std::string SerializeHistory(const std::vector<std::wstring>& history) {
  std::string content;
  for (const std::wstring& entry : history) content += WideToUtf8(entry) + "\n";
  return content;
}

std::wstring HistoryFilePath(const std::wstring& folder) { return folder + L"\\" + kHistoryFileName; }

HistoryLoad LoadHistoryFile(const std::wstring& folder) {
  HistoryLoad load;
  std::optional<std::vector<std::wstring>> entries = ReadHistoryFile(folder, load.fileExisted);
  if (entries) {
    load.entries = std::move(*entries);
  } else if (load.fileExisted) {
    load.problem = L"[历史] 无法读取历史记录文件（已损坏或被占用），本次从空的历史记录开始：" + HistoryFilePath(folder);
  }
  return load;
}

HistoryWrite KeepInHistoryFile(const std::wstring& folder, const std::vector<std::wstring>& memory,
                               const std::wstring& line) {
  HistoryWrite result;
  bool existed = false;
  std::optional<std::vector<std::wstring>> onDisk = ReadHistoryFile(folder, existed);
  result.entries = onDisk ? std::move(*onDisk) : memory;
  if (AddHistoryEntry(result.entries, line)) result.error = WriteFileAtomically(folder, kHistoryFileName, SerializeHistory(result.entries));
  return result;
}

}  // namespace qv
