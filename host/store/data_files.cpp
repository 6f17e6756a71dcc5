#include "host/store/data_files.h"

#include <windows.h>

#include <algorithm>
#include <iterator>

#include "base/files.h"
#include "base/handles.h"
#include "base/text.h"

namespace qv {

namespace {

// Names that Windows opens as devices in any folder, whatever follows a dot.
constexpr std::wstring_view kDeviceNames[] = {
    L"con",  L"prn",  L"aux",  L"nul",  L"conin$", L"conout$", L"com0", L"com1", L"com2", L"com3", L"com4",
    L"com5", L"com6", L"com7", L"com8", L"com9",   L"com\u00B9", L"com\u00B2", L"com\u00B3", L"lpt0", L"lpt1",
    L"lpt2", L"lpt3", L"lpt4", L"lpt5", L"lpt6",   L"lpt7",    L"lpt8", L"lpt9", L"lpt\u00B9", L"lpt\u00B2",
    L"lpt\u00B3",
};

bool IsDeviceName(std::wstring_view name) {
  // The device part is what comes before the first dot, without trailing spaces.
  std::wstring_view stem = name.substr(0, name.find(L'.'));
  while (!stem.empty() && stem.back() == L' ') stem.remove_suffix(1);
  const std::wstring lower = ToLower(stem);
  return std::find(std::begin(kDeviceNames), std::end(kDeviceNames), lower) != std::end(kDeviceNames);
}

bool IsHostOwnedName(std::wstring_view name) { return !name.empty() && name.front() == L'.'; }

}  // namespace

std::wstring DataFolderPath(const std::wstring& pluginsDir, const std::wstring& scriptPath) {
  std::wstring name = FileNameOf(scriptPath);
  if (name.size() > 4 && ToLower(name.substr(name.size() - 4)) == L".lua") name.resize(name.size() - 4);
  return pluginsDir + L"\\" + name;
}

std::wstring RefusedDataFileName(std::wstring_view name) {
  if (name.empty()) return L"文件名不能为空";
  if (name.size() > kMaxDataFileNameLength) {
    return L"文件名不能超过 " + DecimalText(static_cast<long long>(kMaxDataFileNameLength)) + L" 个字符";
  }
  if (name == L"." || name == L"..") return L"文件名不能是 . 或 ..";
  if (name.find_first_of(L"\\/") != std::wstring_view::npos) return L"文件名不能包含 \\ 或 /，只能是数据文件夹里的文件";
  if (name.find(L':') != std::wstring_view::npos) return L"文件名不能包含冒号（盘符或数据流）";
  for (const wchar_t c : name) {
    if (c < 0x20 || c == 0x7F || std::wstring_view(L"<>\"|?*").find(c) != std::wstring_view::npos) {
      return L"文件名不能包含控制字符或 < > \" | ? *";
    }
  }
  if (name.back() == L'.' || name.back() == L' ') return L"文件名不能以点或空格结尾";
  if (IsHostOwnedName(name)) return L"以点开头的文件名留给程序自己使用";
  if (IsDeviceName(name)) return L"文件名不能是设备名（CON、PRN、AUX、NUL、COM1、LPT1 等）";
  return {};
}

std::wstring RefusedExistingName(const std::wstring& folder, const std::wstring& name) {
  WIN32_FIND_DATAW entry{};
  const UniqueFind find(FindFirstFileW((folder + L"\\" + name).c_str(), &entry));
  if (!find || !IsHostOwnedName(entry.cFileName)) return {};
  return name + L" 指向程序自己的文件，插件不能使用";
}

std::vector<DataFileEntry> ListDataFiles(const std::wstring& folder) {
  std::vector<DataFileEntry> files;
  WIN32_FIND_DATAW entry{};
  const UniqueFind find(FindFirstFileW((folder + L"\\*").c_str(), &entry));
  if (!find) return files;
  do {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || IsHostOwnedName(entry.cFileName)) continue;
    const std::uint64_t size = (static_cast<std::uint64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
    files.push_back(DataFileEntry{entry.cFileName, size});
  } while (FindNextFileW(find.get(), &entry));
  std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
  return files;
}

unsigned long WriteFileAtomically(const std::wstring& folder, const std::wstring& name, std::string_view bytes) {
  if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return GetLastError();
  return ReplaceFileContent(folder + L"\\" + name, folder + L"\\." + name + L".tmp", bytes);
}

std::wstring FileErrorText(unsigned long code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return L"文件不存在";
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return L"文件正被其他程序占用";
    case ERROR_ACCESS_DENIED:
      return L"没有访问权限（文件只读、被占用或是文件夹）";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return L"磁盘空间不足";
    case ERROR_WRITE_PROTECT:
      return L"磁盘有写保护";
    case ERROR_FILE_TOO_LARGE:
      return L"文件过大";
    default:
      return L"文件操作失败（系统错误 " + DecimalText(static_cast<long long>(code)) + L"）";
  }
}

}  // namespace qv
