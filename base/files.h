// Where the program and its plugin folder are, and reading a whole file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

// Largest file that ReadWholeFile accepts (64 MiB; exactly this size is accepted).
inline constexpr std::uint64_t kMaxReadableFileSize = 64ull * 1024 * 1024;

// Full path of the running executable, or "未知" when it cannot be obtained.
std::wstring ExecutablePath();
// The folder "plugins" beside the executable (relative "plugins" as fallback).
std::wstring PluginsDirectory();
// Reads the whole file into output. Opens with read sharing only, so a file
// another process holds open for writing is refused. On failure the output is
// untouched (or emptied when a read started and failed) and false is returned.
bool ReadWholeFile(const std::wstring& path, std::string& output);
// Writes the bytes to `temporary`, flushes them, and only then moves that file
// over target, so target holds either its old or its new content, never a
// mixture. Returns 0 or the system's error code; on failure target is
// untouched and the temporary file is gone.
unsigned long ReplaceFileContent(const std::wstring& target, const std::wstring& temporary, std::string_view bytes);

}  // namespace qv
