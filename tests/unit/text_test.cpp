// Text conversions, file names, case folding, number texts and whole-file reading.
#include "base/text.h"

#include <gtest/gtest.h>

#include "base/files.h"
#include "host_fixture.h"

namespace qv {
namespace {

using namespace std::string_literals;

TEST(Text, Utf8Conversions) {
  const struct {
    std::string utf8;
    std::wstring wide;
  } cases[] = {
      {"", L""},
      {"plain", L"plain"},
      {"\xE6\x8F\x92\xE4\xBB\xB6 a", L"插件 a"},
      {"a\0b"s, L"a\0b"s},
      {"\xF0\x9F\x98\x80", L"\U0001F600"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Utf8ToWide(c.utf8), c.wide) << c.utf8;
    EXPECT_EQ(WideToUtf8(c.wide), c.utf8) << c.utf8;
  }
  // Malformed bytes become replacement characters rather than an empty result.
  EXPECT_EQ(Utf8ToWide("a\xFF" "b"), L"a\uFFFDb");
  EXPECT_FALSE(Utf8ToWide("\xC3").empty());
}

TEST(Text, Utf8Validity) {
  const struct {
    std::string bytes;
    bool valid;
  } cases[] = {
      {"", true},
      {"plain\0zero"s, true},
      {"\xE4\xBD\xA0\xE5\xA5\xBD", true},           // 你好
      {"\xC4\xE3\xBA\xC3", false},                    // 你好 in GBK
      {"\xF0\x9F\x98\x80", true},                     // U+1F600
      {"\xF4\x8F\xBF\xBF", true},                     // U+10FFFF
      {"\xF4\x90\x80\x80", false},                    // past U+10FFFF
      {"\xC0\xAF", false},                              // overlong '/'
      {"\xE0\x80\xAF", false},                         // overlong '/'
      {"\xED\xA0\x80", false},                         // a surrogate
      {"\xEF\xBF\xBD", true},                          // U+FFFD
      {"\xE4\xBD", false},                              // cut short
      {"\x80", false},                                   // a lone continuation byte
      {"a\xFF", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsValidUtf8(c.bytes), c.valid) << c.bytes;
}

TEST(Text, FileNamesCaseAndNumbers) {
  const struct {
    const wchar_t* path;
    const wchar_t* name;
  } names[] = {
      {L"C:\\x\\y/z.lua", L"z.lua"}, {L"bare.lua", L"bare.lua"}, {L"C:\\dir\\", L""}, {L"", L""}, {L"/a", L"a"},
  };
  for (const auto& c : names) EXPECT_EQ(FileNameOf(c.path), c.name);

  EXPECT_EQ(ToLower(L"Basic.LUA"), L"basic.lua");
  EXPECT_EQ(ToLower(L"Plugin-Manager.LUA 中"), L"plugin-manager.lua 中");
  EXPECT_EQ(WidenAscii("0123"), L"0123");

  const struct {
    unsigned short value;
    const wchar_t* text;
  } numbers[] = {{0, L"00"}, {5, L"05"}, {7, L"07"}, {12, L"12"}, {100, L"100"}, {2024, L"2024"}, {65535, L"65535"}};
  for (const auto& c : numbers) EXPECT_EQ(TwoDigits(c.value), c.text) << c.value;
  EXPECT_EQ(DecimalText(-42), L"-42");
}

TEST(Files, ReadWholeFileSizesAndSharing) {
  test::TempFolder folder;
  std::string content = "untouched";
  EXPECT_FALSE(ReadWholeFile(folder.Child(L"missing.txt"), content));
  EXPECT_EQ(content, "untouched");

  EXPECT_TRUE(ReadWholeFile(folder.Write(L"empty.txt", ""), content));
  EXPECT_EQ(content, "");
  EXPECT_TRUE(ReadWholeFile(folder.Write(L"bom.txt", "\xEF\xBB\xBFx\r\n"), content));
  EXPECT_EQ(content, "\xEF\xBB\xBFx\r\n");  // returned raw

  // Sparse files at and just past the 64 MiB limit.
  for (const long long size : {64ll * 1024 * 1024, 64ll * 1024 * 1024 + 1}) {
    const std::wstring path = folder.Child(L"size" + std::to_wstring(size));
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = size;
    SetFilePointerEx(file, end, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    CloseHandle(file);
    content = "untouched";
    const bool accepted = size <= static_cast<long long>(kMaxReadableFileSize);
    EXPECT_EQ(ReadWholeFile(path, content), accepted) << size;
    EXPECT_EQ(content.size(), accepted ? static_cast<size_t>(size) : 9u);
    content.clear();
    content.shrink_to_fit();
    DeleteFileW(path.c_str());
  }

  // Read sharing only: a writer elsewhere keeps the file from being read.
  const std::wstring shared = folder.Write(L"shared.txt", "data");
  HANDLE reader = CreateFileW(shared.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_TRUE(ReadWholeFile(shared, content));
  CloseHandle(reader);
  HANDLE writer = CreateFileW(shared.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  content = "untouched";
  EXPECT_FALSE(ReadWholeFile(shared, content));
  EXPECT_EQ(content, "untouched");
  CloseHandle(writer);
}

TEST(Files, PluginsFolderIsBesideTheExecutable) {
  const std::wstring exe = ExecutablePath();
  ASSERT_NE(exe, L"未知");
  const std::wstring dir = PluginsDirectory();
  EXPECT_EQ(dir, exe.substr(0, exe.find_last_of(L"\\/")) + L"\\plugins");
}

}  // namespace
}  // namespace qv
