// File and folder helpers shared by the unit tests, the end-to-end tests and
// the benchmark: temporary folders and whole-file reads and writes.
#pragma once

#include <string>

namespace qv::test {

// A fresh folder under the temporary directory, removed with its content.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::wstring& path() const { return path_; }
  std::wstring Child(const std::wstring& name) const { return path_ + L"\\" + name; }
  // Writes bytes to a file inside the folder (sub-folders are created) and
  // returns its full path.
  std::wstring Write(const std::wstring& name, const std::string& bytes) const;

 private:
  std::wstring path_;
};

// Replaces the file's content; false when it cannot be written whole.
bool WriteBytes(const std::wstring& path, const std::string& bytes);
// The file's content, also while another process holds it open; empty when unreadable.
std::string ReadBytes(const std::wstring& path);
bool FileExists(const std::wstring& path);
bool FolderExists(const std::wstring& path);
bool CopyFolder(const std::wstring& from, const std::wstring& to);
void RemoveTree(const std::wstring& path);

}  // namespace qv::test
