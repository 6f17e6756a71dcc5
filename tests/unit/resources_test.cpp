// The built executable's resources, read with the functions Explorer and
// Windows use: the icon group, the version details and the manifest; and the
// DLLs it imports.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "base/constants.h"
#include "base/handles.h"
#include "base/text.h"
#include "update/announced_version.h"

namespace qv {
namespace {

// The bytes of one resource, empty when it is missing.
std::string ResourceBytes(HMODULE module, const wchar_t* type, const wchar_t* name) {
  HRSRC found = FindResourceW(module, name, type);
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const auto* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  return bytes ? std::string(bytes, SizeofResource(module, found)) : std::string();
}

std::wstring ProgramPath() {
  std::wstring path = L"Z:" + Utf8ToWide(QV_PROGRAM_EXECUTABLE);
  for (wchar_t& c : path) c = c == L'/' ? L'\\' : c;
  return path;
}

TEST(ProgramResources, IconGroupVersionDetailsAndManifest) {
  const std::wstring path = ProgramPath();
  const UniqueLibrary program(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  ASSERT_TRUE(program) << WideToUtf8(path);

  // Windows finds an image drawn for each standard size (a PNG's width is big-endian at 16, a DIB's at 4).
  std::string group = ResourceBytes(program.get(), RT_GROUP_ICON, MAKEINTRESOURCEW(kProgramIconId));
  ASSERT_FALSE(group.empty());
  for (int size : {16, 20, 24, 32, 40, 48, 64, 256}) {
    const int id = LookupIconIdFromDirectoryEx(reinterpret_cast<BYTE*>(group.data()), TRUE, size, size, 0);
    const std::string image = ResourceBytes(program.get(), RT_ICON, MAKEINTRESOURCEW(id));
    ASSERT_GE(image.size(), 24u) << size;
    const auto* width = reinterpret_cast<const BYTE*>(image.data());
    EXPECT_EQ(image.starts_with("\x89PNG") ? width[18] << 8 | width[19] : width[5] << 8 | width[4], size);
  }

  // The version details, in the numbers and the texts that Properties shows.
  std::vector<std::int32_t> v = VersionNumbers(kProgramVersion);
  v.resize(4, 0);
  std::string block(GetFileVersionInfoSizeW(path.c_str(), nullptr), '\0');
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
  auto query = [&](const std::wstring& key) -> const void* {
    void* value = nullptr;
    UINT length = 0;
    return VerQueryValueW(block.data(), key.c_str(), &value, &length) && length > 0 ? value : nullptr;
  };
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(query(L"\\"));
  ASSERT_NE(fixed, nullptr);
  const DWORD high = MAKELONG(v[1], v[0]), low = MAKELONG(v[3], v[2]);
  EXPECT_EQ((std::vector<DWORD>{fixed->dwFileVersionMS, fixed->dwFileVersionLS, fixed->dwProductVersionMS,
                                 fixed->dwProductVersionLS}),
            (std::vector<DWORD>{high, low, high, low}));
  const auto* translation = static_cast<const WORD*>(query(L"\\VarFileInfo\\Translation"));
  EXPECT_TRUE(translation && translation[0] == 0x0804 && translation[1] == 1200);  // Chinese (Simplified), UTF-16
  const std::pair<const wchar_t*, std::wstring> strings[] = {
      {L"FileVersion", kProgramVersion},
      {L"ProductVersion", kProgramVersion},
      {L"ProductName", L"quorvantline"},
      {L"FileDescription", L"quorvantline 命令窗口"},
      {L"LegalCopyright", L"版权所有 © 2026 quorvantline 的开发者"},
  };
  for (const auto& [key, expected] : strings) {
    const auto* text = static_cast<const wchar_t*>(query(std::wstring(L"\\StringFileInfo\\080404b0\\") + key));
    EXPECT_EQ(WideToUtf8(text ? text : L"(missing)"), WideToUtf8(expected)) << WideToUtf8(key);
  }

  // The manifest, with the same version (in four numbers).
  const std::string manifest = ResourceBytes(program.get(), RT_MANIFEST, CREATEPROCESS_MANIFEST_RESOURCE_ID);
  for (const std::string& part : std::vector<std::string>{
           "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"", ">PerMonitorV2, PerMonitor<",
           ">true/pm<", "<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>", "<longPathAware",
           "level=\"asInvoker\"", "name=\"quorvantline\" version=\"" + WideToUtf8(kProgramVersion) + "."}) {
    EXPECT_NE(manifest.find(part), std::string::npos) << part;
  }
}

// The loader maps every imported DLL, and what they import, before the
// program's first line: the DLLs that only a later action needs (WinHTTP,
// shell32) are delay-loaded, and a new call to one of their functions must
// be listed in cmake/delay-load/ to stay so.
TEST(ProgramResources, StartLoadsOnlyWhatTheFirstWindowNeeds) {
  const UniqueLibrary program(LoadLibraryExW(ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE));
  ASSERT_TRUE(program);
  // A module loaded as an image resource is marked in its handle's low bits.
  const auto* base = reinterpret_cast<const BYTE*>(reinterpret_cast<ULONG_PTR>(program.get()) & ~ULONG_PTR{3});
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  ASSERT_NE(imports.VirtualAddress, 0u);
  std::vector<std::string> names;
  for (const auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       entry->Name != 0; ++entry) {
    names.push_back(WideToUtf8(ToLower(Utf8ToWide(reinterpret_cast<const char*>(base + entry->Name)))));
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"advapi32.dll", "gdi32.dll", "kernel32.dll", "msvcrt.dll", "user32.dll"}));
}

}  // namespace
}  // namespace qv
