// A plugin's data folder: which file names a plugin may use there, the caps on
// what it keeps, writing a file whole or not at all, and failure texts.
//
// Names that begin with a dot belong to the host (the store and the temporary
// files of atomic writes); a plugin's own files are every other plain name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// Longest file name a plugin may use, in UTF-16 code units.
inline constexpr std::size_t kMaxDataFileNameLength = 100;
// Largest file a plugin may write or read through the host.
inline constexpr std::uint64_t kMaxDataFileBytes = 4ull * 1024 * 1024;
// Largest total of a plugin's own files in its data folder (the store is capped on its own).
inline constexpr std::uint64_t kMaxDataFolderBytes = 16ull * 1024 * 1024;
// Most files a plugin may keep in its data folder.
inline constexpr std::size_t kMaxDataFiles = 1000;

// The folder of the script's data: pluginsDir + "\" + the script's file name
// without a ".lua" ending (compared without case).
std::wstring DataFolderPath(const std::wstring& pluginsDir, const std::wstring& scriptPath);

// Empty when a plugin may use the name in its data folder; otherwise why not,
// as a Chinese sentence.
std::wstring RefusedDataFileName(std::wstring_view name);

// Empty unless folder\name already names one of the host's own files by another
// name (a short 8.3 name leads to its long one): then why the plugin may not
// use it. The file system resolves the name, so no spelling of it gets past.
std::wstring RefusedExistingName(const std::wstring& folder, const std::wstring& name);

struct DataFileEntry {
  std::wstring name;
  std::uint64_t size = 0;
};
// The plugin's own files in the folder (no folders, no host-owned names),
// ordered by name; empty when the folder is missing.
std::vector<DataFileEntry> ListDataFiles(const std::wstring& folder);

// Writes the bytes to folder\name through a temporary file in the same folder
// that is then moved over the old file, so the file holds either its old or its
// new content, never a mixture. Creates the folder when missing. Returns 0 or
// the system's error code; on failure the old file is untouched and the
// temporary file is gone.
unsigned long WriteFileAtomically(const std::wstring& folder, const std::wstring& name, std::string_view bytes);

// A Chinese reason for a file-system error code ("文件不存在" ...).
std::wstring FileErrorText(unsigned long code);

}  // namespace qv
