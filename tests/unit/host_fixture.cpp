#include "host_fixture.h"

#include <atomic>

#include "app/text.h"
#include "lauxlib.h"
#include "lua.h"

namespace qv::test {

namespace {

void RemoveTree(const std::wstring& path) {
  WIN32_FIND_DATAW entry{};
  HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &entry);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring child = path + L"\\" + name;
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(child.c_str());
      }
    } while (FindNextFileW(find, &entry));
    FindClose(find);
  }
  RemoveDirectoryW(path.c_str());
}

}  // namespace

TempFolder::TempFolder() {
  static std::atomic<int> counter{0};
  wchar_t base[MAX_PATH];
  GetTempPathW(MAX_PATH, base);
  path_ = std::wstring(base) + L"qvtest-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
          std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(counter++);
  CreateDirectoryW(path_.c_str(), nullptr);
}

TempFolder::~TempFolder() { RemoveTree(path_); }

std::wstring TempFolder::Write(const std::wstring& name, const std::string& bytes) const {
  const std::wstring full = Child(name);
  for (size_t slash = name.find(L'\\'); slash != std::wstring::npos; slash = name.find(L'\\', slash + 1)) {
    CreateDirectoryW(Child(name.substr(0, slash)).c_str(), nullptr);
  }
  HANDLE file = CreateFileW(full.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    if (!bytes.empty()) WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
  }
  return full;
}

std::string ReadBytes(const std::wstring& path) {
  std::string bytes;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
  CloseHandle(file);
  return bytes;
}

bool FileExists(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring SourcePluginsDir() {
  std::wstring path = Utf8ToWide(QV_SOURCE_PLUGINS_DIR);
  for (wchar_t& c : path) c = c == L'/' ? L'\\' : c;
  if (!path.empty() && path[0] == L'\\') path = L"Z:" + path;
  return path;
}

CapturedHost::CapturedHost() {
  host.pluginsDir = folder.path();
  host.onOutput = [this](const std::wstring& text) { output += text; };
  host.onClear = [this] { ++clears; };
  host.onExit = [this] { ++exits; };
  host.onOpenPluginManager = [this] { ++managerOpens; };
}

void CapturedHost::Load() { LoadPlugins(host); }

std::wstring CapturedHost::Run(const std::wstring& word, const std::wstring& arguments) {
  output.clear();
  ExecuteCommand(host, word, arguments);
  return output;
}

ScriptState::ScriptState(PluginHost& host, std::wstring path) {
  record.path = std::move(path);
  CreateScriptEnvironment(host, record);
}

ScriptState::~ScriptState() {
  if (record.luaState) lua_close(record.luaState);
}

int ScriptState::Run(const std::string& chunk) {
  lua_State* L = record.luaState;
  error.clear();
  int status = luaL_loadbufferx(L, chunk.data(), chunk.size(), "=test", "t");
  if (status == LUA_OK) status = CallWithTimeLimit(record, 0, 0, 0);
  if (status != LUA_OK) {
    const char* message = lua_tostring(L, -1);
    error = message ? message : "";
    lua_pop(L, 1);
  }
  return status;
}

}  // namespace qv::test
