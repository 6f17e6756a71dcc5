#include "base/files.h"

#include <windows.h>

#include <vector>

#include "base/handles.h"

namespace qv {

std::wstring ExecutablePath() {
  std::vector<wchar_t> buffer(32768);
  const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  if (length == 0) return L"未知";
  return std::wstring(buffer.data(), length);
}

std::wstring PluginsDirectory() {
  const std::wstring exe = ExecutablePath();
  const size_t slash = exe.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return L"plugins";
  return exe.substr(0, slash) + L"\\plugins";
}

bool ReadWholeFile(const std::wstring& path, std::string& output) {
  UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 ||
      static_cast<std::uint64_t>(size.QuadPart) > kMaxReadableFileSize) {
    return false;
  }
  output.resize(static_cast<size_t>(size.QuadPart));
  if (output.empty()) return true;
  DWORD read = 0;
  if (!ReadFile(file.get(), output.data(), static_cast<DWORD>(output.size()), &read, nullptr) ||
      read != output.size()) {
    output.clear();
    return false;
  }
  return true;
}

unsigned long ReplaceFileContent(const std::wstring& target, const std::wstring& temporary, std::string_view bytes) {
  {
    UniqueHandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return GetLastError();
    DWORD written = 0;
    const bool ok = WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size() && FlushFileBuffers(file.get());
    if (!ok) {
      const DWORD error = GetLastError();
      file.reset();
      DeleteFileW(temporary.c_str());
      return error != 0 ? error : ERROR_WRITE_FAULT;
    }
  }
  if (!MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD error = GetLastError();
    DeleteFileW(temporary.c_str());
    return error;
  }
  return 0;
}

}  // namespace qv
