// host.read_file, host.write_file and host.list_files: plain files in the
// calling plugin's data folder, under the name rules and caps of data_files.h.
#include <windows.h>

#include "base/files.h"
#include "base/text.h"
#include "host/api/host_api.h"
#include "host/store/data_files.h"
#include "host/lua/arguments.h"
#include "host/api/host_link.h"

namespace qv {

namespace {

// Argument `arg` as a file name a plugin may use; raises otherwise.
std::wstring CheckFileName(lua_State* L, int arg) {
  size_t length = 0;
  const char* bytes = luaL_checklstring(L, arg, &length);
  const std::string_view text(bytes, length);
  if (!IsValidUtf8(text)) luaL_argerror(L, arg, "文件名不是有效的 UTF-8 文本");
  std::wstring name = Utf8ToWide(text);
  const std::wstring refused = RefusedDataFileName(name);
  if (!refused.empty()) luaL_argerror(L, arg, WideToUtf8(refused).c_str());
  return name;
}

// The calling plugin's data folder; empty without a host.
std::wstring DataFolderOf(lua_State* L) {
  std::wstring folder;
  WithHost(L, [&](PluginHost& host, PluginRecord& record) { folder = DataFolderPath(host.pluginsDir, record.path); });
  return folder;
}


std::wstring MiB(std::uint64_t bytes) { return DecimalText(static_cast<long long>(bytes / (1024 * 1024))) + L" MiB"; }

int HostReadFile(lua_State* L) {
  const std::wstring name = CheckFileName(L, 1);
  const std::wstring folder = DataFolderOf(L);
  if (folder.empty()) return PushFailure(L, L"没有宿主，无法读取文件");
  if (const std::wstring refused = RefusedExistingName(folder, name); !refused.empty()) return PushFailure(L, refused);
  const std::wstring path = folder + L"\\" + name;
  WIN32_FILE_ATTRIBUTE_DATA attributes{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &attributes)) {
    return PushFailure(L, L"无法读取 " + name + L"：" + FileErrorText(GetLastError()));
  }
  if (attributes.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    return PushFailure(L, L"无法读取 " + name + L"：这是一个文件夹");
  }
  const std::uint64_t size = (static_cast<std::uint64_t>(attributes.nFileSizeHigh) << 32) | attributes.nFileSizeLow;
  if (size > kMaxDataFileBytes) {
    return PushFailure(L, L"无法读取 " + name + L"：文件超过 " + MiB(kMaxDataFileBytes) + L" 上限");
  }
  std::string content;
  if (!ReadWholeFile(path, content)) {
    const DWORD error = GetLastError();
    return PushFailure(L, L"无法读取 " + name + L"：" + FileErrorText(error != 0 ? error : ERROR_READ_FAULT));
  }
  lua_pushlstring(L, content.data(), content.size());
  return 1;
}

int HostWriteFile(lua_State* L) {
  const std::wstring name = CheckFileName(L, 1);
  size_t length = 0;
  const char* text = luaL_checklstring(L, 2, &length);
  const std::wstring folder = DataFolderOf(L);
  if (folder.empty()) return PushFailure(L, L"没有宿主，无法写入文件");
  if (const std::wstring refused = RefusedExistingName(folder, name); !refused.empty()) return PushFailure(L, refused);
  if (length > kMaxDataFileBytes) {
    return PushFailure(L, L"无法写入 " + name + L"：一个文件不能超过 " + MiB(kMaxDataFileBytes));
  }
  // The caps on the folder: the file replaces one of the same name (Windows
  // names ignore case) or is one more.
  std::uint64_t total = length;
  std::size_t count = 1;
  const std::wstring key = ToLower(name);
  for (const DataFileEntry& entry : ListDataFiles(folder)) {
    if (ToLower(entry.name) == key) continue;
    total += entry.size;
    ++count;
  }
  if (count > kMaxDataFiles) {
    return PushFailure(L, L"无法写入 " + name + L"：数据文件夹最多放 " +
                              DecimalText(static_cast<long long>(kMaxDataFiles)) + L" 个文件");
  }
  if (total > kMaxDataFolderBytes) {
    return PushFailure(L, L"无法写入 " + name + L"：数据文件夹里的文件合计不能超过 " + MiB(kMaxDataFolderBytes));
  }
  if (const unsigned long error = WriteFileAtomically(folder, name, std::string_view(text, length))) {
    return PushFailure(L, L"无法写入 " + name + L"：" + FileErrorText(error));
  }
  lua_pushboolean(L, 1);
  return 1;
}

int HostListFiles(lua_State* L) {
  const std::wstring folder = DataFolderOf(L);
  const std::vector<DataFileEntry> files = folder.empty() ? std::vector<DataFileEntry>() : ListDataFiles(folder);
  lua_createtable(L, static_cast<int>(files.size()), 0);
  lua_Integer index = 0;
  for (const DataFileEntry& entry : files) {
    PushText(L, entry.name);
    lua_rawseti(L, -2, ++index);
  }
  return 1;
}

}  // namespace

void InstallFileFunctions(lua_State* L) {
  const luaL_Reg functions[] = {{"read_file", HostReadFile}, {"write_file", HostWriteFile}, {"list_files", HostListFiles}, {nullptr, nullptr}};
  luaL_setfuncs(L, functions, 0);
}

}  // namespace qv
