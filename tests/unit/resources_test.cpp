// The built executable's resources, read with the functions Explorer and
// Windows use: the icon group, the version details and the manifest.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "base/constants.h"
#include "base/handles.h"
#include "base/text.h"
#include "update/announced_version.h"

namespace qv {
namespace {

std::wstring ProgramPath() {
  std::wstring path = Utf8ToWide(QV_PROGRAM_EXECUTABLE);
  for (wchar_t& c : path) c = c == L'/' ? L'\\' : c;
  return !path.empty() && path[0] == L'\\' ? L"Z:" + path : path;
}

// The bytes of one resource, empty when it is missing.
std::string ResourceBytes(HMODULE module, const wchar_t* type, const wchar_t* name) {
  HRSRC found = FindResourceW(module, name, type);
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const auto* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  return bytes ? std::string(bytes, SizeofResource(module, found)) : std::string();
}

class ProgramResources : public ::testing::Test {
 protected:
  UniqueLibrary program{LoadLibraryExW(ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)};
};

TEST_F(ProgramResources, IconGroupHoldsEveryStandardSizeAsA32BitImage) {
  ASSERT_TRUE(program) << WideToUtf8(ProgramPath());
  const std::string group = ResourceBytes(program.get(), RT_GROUP_ICON, MAKEINTRESOURCEW(kProgramIconId));
  ASSERT_GE(group.size(), 6u);
  const WORD count = *reinterpret_cast<const WORD*>(group.data() + 4);
  ASSERT_EQ(group.size(), 6u + 14u * count);
  std::set<int> sizes;
  for (WORD i = 0; i < count; ++i) {
    const char* entry = group.data() + 6 + 14 * i;  // GRPICONDIRENTRY
    const int width = static_cast<BYTE>(entry[0]) == 0 ? 256 : static_cast<BYTE>(entry[0]);
    sizes.insert(width);
    EXPECT_EQ(*reinterpret_cast<const WORD*>(entry + 6), 32) << width;  // bits per pixel
    const WORD imageId = *reinterpret_cast<const WORD*>(entry + 12);
    EXPECT_EQ(ResourceBytes(program.get(), RT_ICON, MAKEINTRESOURCEW(imageId)).size(),
              *reinterpret_cast<const DWORD*>(entry + 8)) << width;
  }
  EXPECT_EQ(sizes, (std::set<int>{16, 20, 24, 32, 40, 48, 64, 256}));
  // The group Explorer shows is the first one.
  WORD first = 0;
  EnumResourceNamesW(program.get(), RT_GROUP_ICON, [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR first) {
    *reinterpret_cast<WORD*>(first) = IS_INTRESOURCE(name) ? LOWORD(reinterpret_cast<ULONG_PTR>(name)) : 0;
    return FALSE;
  }, reinterpret_cast<LONG_PTR>(&first));
  EXPECT_EQ(first, kProgramIconId);
}

TEST_F(ProgramResources, VersionDetailsCarryTheProgramsVersion) {
  const std::wstring path = ProgramPath();
  std::string block(GetFileVersionInfoSizeW(path.c_str(), nullptr), '\0');
  ASSERT_FALSE(block.empty());
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
  auto query = [&](const wchar_t* key) -> const void* {
    void* value = nullptr;
    UINT length = 0;
    return VerQueryValueW(block.data(), key, &value, &length) && length > 0 ? value : nullptr;
  };
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(query(L"\\"));
  ASSERT_NE(fixed, nullptr);
  std::vector<std::int32_t> parts = VersionNumbers(kProgramVersion);
  parts.resize(4, 0);
  const DWORD high = MAKELONG(parts[1], parts[0]), low = MAKELONG(parts[3], parts[2]);
  EXPECT_EQ(fixed->dwFileVersionMS, high);
  EXPECT_EQ(fixed->dwFileVersionLS, low);
  EXPECT_EQ(fixed->dwProductVersionMS, high);
  EXPECT_EQ(fixed->dwProductVersionLS, low);
  const auto* translation = static_cast<const WORD*>(query(L"\\VarFileInfo\\Translation"));
  ASSERT_NE(translation, nullptr);
  EXPECT_EQ(translation[0], 0x0804);  // Chinese (Simplified)
  EXPECT_EQ(translation[1], 1200);    // UTF-16
  const struct {
    const wchar_t* key;
    std::wstring expected;
  } strings[] = {
      {L"FileVersion", kProgramVersion},
      {L"ProductVersion", kProgramVersion},
      {L"ProductName", L"quorvantline"},
      {L"FileDescription", L"quorvantline 命令窗口"},
      {L"LegalCopyright", L"版权所有 © 2026 quorvantline 的开发者"},
      {L"OriginalFilename", L"quorvantline.exe"},
  };
  for (const auto& s : strings) {
    const auto* text = static_cast<const wchar_t*>(query((std::wstring(L"\\StringFileInfo\\080404b0\\") + s.key).c_str()));
    EXPECT_EQ(WideToUtf8(text ? text : L"(missing)"), WideToUtf8(s.expected)) << WideToUtf8(s.key);
  }
}

TEST_F(ProgramResources, ManifestAsksForControls6PerMonitorDpiAndWindows10) {
  ASSERT_TRUE(program);
  const std::string manifest = ResourceBytes(program.get(), RT_MANIFEST, CREATEPROCESS_MANIFEST_RESOURCE_ID);
  std::vector<std::int32_t> parts = VersionNumbers(kProgramVersion);
  parts.resize(4, 0);
  std::string version = std::to_string(parts[0]);
  for (size_t i = 1; i < parts.size(); ++i) version.append(".").append(std::to_string(parts[i]));
  for (const std::string& part : std::vector<std::string>{
           "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"", ">PerMonitorV2, PerMonitor<",
           ">true/pm<", "<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>", "<longPathAware",
           "level=\"asInvoker\"", "name=\"quorvantline\" version=\"" + version + "\""}) {
    EXPECT_NE(manifest.find(part), std::string::npos) << part;
  }
}

}  // namespace
}  // namespace qv
