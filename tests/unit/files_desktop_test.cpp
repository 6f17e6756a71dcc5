// Host functions through a real host: files in the data folder and
// their name rules and caps, the clipboard and opening through the actions, the
// clock, warn() in the log, and argument errors that name their function.
#include <windows.h>

#include <gtest/gtest.h>

#include "base/handles.h"
#include "base/text.h"
#include "host/store/data_files.h"
#include "host/api/host_api.h"
#include "host_fixture.h"
#include "lauxlib.h"
#include "lualib.h"

namespace qv {
namespace {

// A host with basic.lua and notes.lua (data folder plugins\notes) whose
// desktop actions are recorded.
struct NotesHost : test::CapturedHost {
  NotesHost() {
    folder.Write(L"basic.lua", "");
    folder.Write(L"notes.lua", "");
    host.onSetClipboard = [this](const std::wstring& text) {
      clipboard = text;
      return clipboardWorks;
    };
    host.onGetClipboard = [this]() -> std::optional<std::wstring> {
      if (!clipboardWorks) return std::nullopt;
      return clipboard;
    };
    host.onOpen = [this](const std::wstring& target, bool folder) {
      opened += (folder ? L"folder " : L"address ") + target + L"\n";
      return true;
    };
    Load();
    host.pendingLog.clear();
  }
  std::wstring Notes(const std::string& chunk) { return Exec(L"notes.lua", chunk); }
  std::wstring Data(const std::wstring& name) const { return folder.Child(L"notes\\" + name); }

  std::wstring clipboard;
  bool clipboardWorks = true;
  std::wstring opened;
};

// Lua source text of a wide string, as a quoted literal with decimal escapes.
std::string LuaLiteral(const std::wstring& text) {
  std::string literal = "'";
  for (const unsigned char c : WideToUtf8(text)) literal.append("\\").append(std::to_string(c));
  return literal + "'";
}

TEST(DataFiles, RefusedNamesRaiseAndTouchNothing) {
  NotesHost notes;
  const std::wstring refused[] = {
      L"", L".", L"..", L"a\\b", L"a/b", L"..\\up.txt", L"../up.txt", L"C:x.txt", L"c:\\x.txt", L"\\\\server\\share",
      L"\\\\?\\C:\\x", L"file.txt:stream", L"con", L"CON", L"Con.txt", L"nul", L"NUL.tar.gz", L"aux", L"prn.log",
      L"com1", L"COM9.txt", L"lpt1", L"LPT\u00B9", L"aux .txt", L"conin$", L"CONOUT$.x", L"a.", L"a ", L"A. ",
      L"x.txt.", L"x.txt ", L"con.", L"NUL ", L".store.json", L".hidden", L"a*b", L"a?b", L"a|b", L"a<b", L"a>b",
      L"a\"b", L"tab\tname", std::wstring(L"zero\0name", 9), std::wstring(kMaxDataFileNameLength + 1, L'n'),
  };
  for (const std::wstring& name : refused) {
    EXPECT_FALSE(RefusedDataFileName(name).empty()) << WideToUtf8(name);
    const std::wstring written = notes.Notes("host.write_file(" + LuaLiteral(name) + ", 'x')");
    EXPECT_EQ(written.rfind(L"error: test:1: bad argument #1 to 'write_file' (", 0), 0u)
        << WideToUtf8(name) << ": " << WideToUtf8(written);
    EXPECT_EQ(notes.Notes("host.read_file(" + LuaLiteral(name) + ")").rfind(L"error: ", 0), 0u) << WideToUtf8(name);
  }
  EXPECT_EQ(notes.Notes("host.write_file('\\xFF', 'x')"),
            L"error: test:1: bad argument #1 to 'write_file' (文件名不是有效的 UTF-8 文本)");
  EXPECT_TRUE(test::FolderExists(notes.folder.path()));
  EXPECT_FALSE(test::FolderExists(notes.Data(L""))) << "nothing was written";

  const std::wstring allowed[] = {L"notes.txt", L"NOTES.TXT", L"中文名.json", L"a..b", L"con1", L"com10", L"lpt",
                                  L"console.txt", L" lead", L"nul_x", std::wstring(kMaxDataFileNameLength, L'n')};
  for (const std::wstring& name : allowed) {
    EXPECT_EQ(RefusedDataFileName(name), L"") << WideToUtf8(name);
    EXPECT_EQ(notes.Notes("print(host.write_file(" + LuaLiteral(name) + ", 'x'))"), L"true\r\n") << WideToUtf8(name);
  }
}

TEST(DataFiles, WriteReadAndListInTheDataFolder) {
  NotesHost notes;
  EXPECT_EQ(notes.Notes("print(#host.list_files())"), L"0\r\n");
  // Every byte value survives; a write replaces the whole file.
  EXPECT_EQ(notes.Notes("local t = {} for i = 0, 255 do t[#t + 1] = string.char(i) end bytes = table.concat(t) "
                        "print(host.write_file('b.bin', 'longer first'), host.write_file('b.bin', bytes))"),
            L"true\ttrue\r\n");
  EXPECT_EQ(notes.Notes("print(host.read_file('B.BIN') == bytes)"), L"true\r\n");
  EXPECT_EQ(notes.Notes("host.write_file('a.txt', '') host.write_file('中.txt', '中')"), L"");
  notes.folder.Write(L"notes\\.own", "host's");
  CreateDirectoryW(notes.Data(L"sub").c_str(), nullptr);
  EXPECT_EQ(notes.Notes("print(table.concat(host.list_files(), ' '), host.read_file('a.txt') == '')"),
            L"a.txt b.bin 中.txt\ttrue\r\n");
  EXPECT_EQ(notes.Notes("print(host.read_file('missing.txt'))"), L"nil\t无法读取 missing.txt：文件不存在\r\n");
  EXPECT_EQ(notes.Notes("print(host.read_file('sub'))"), L"nil\t无法读取 sub：这是一个文件夹\r\n");
  EXPECT_EQ(notes.Notes("print(host.write_file('sub', 'x'))").rfind(L"nil\t无法写入 sub：", 0), 0u);
  {
    UniqueHandle held(CreateFileW(notes.Data(L"a.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held);
    EXPECT_EQ(notes.Notes("print(host.read_file('a.txt'))").rfind(L"nil\t无法读取 a.txt：", 0), 0u);
    EXPECT_EQ(notes.Notes("print(host.write_file('a.txt', 'new'))").rfind(L"nil\t无法写入 a.txt：", 0), 0u);
  }
  EXPECT_EQ(test::ReadBytes(notes.Data(L"a.txt")), "");
  EXPECT_FALSE(test::FileExists(notes.Data(L".a.txt.tmp")));
  EXPECT_EQ(notes.Notes("host.write_file('a.txt', {})"),
            L"error: test:1: bad argument #2 to 'write_file' (string expected, got table)");
}

TEST(DataFiles, CapsOnFilesAndTheFolder) {
  NotesHost notes;
  const std::string perFile = std::to_string(kMaxDataFileBytes);
  EXPECT_EQ(notes.Notes("print(host.write_file('big', string.rep('x', " + perFile + " + 1)))"),
            L"nil\t无法写入 big：一个文件不能超过 4 MiB\r\n");
  EXPECT_EQ(notes.Notes("print(host.write_file('big', string.rep('x', " + perFile + ")))"), L"true\r\n");
  notes.folder.Write(L"notes\\huge", std::string(kMaxDataFileBytes + 1, 'y'));
  EXPECT_EQ(notes.Notes("print(host.read_file('huge'))"), L"nil\t无法读取 huge：文件超过 4 MiB 上限\r\n");

  // The folder: 16 MiB in all; rewriting a file counts its new size only.
  DeleteFileW(notes.Data(L"huge").c_str());
  for (const char* name : {"b", "c"}) {
    EXPECT_EQ(notes.Notes(std::string("print(host.write_file('") + name + "', string.rep('x', " + perFile + ")))"),
              L"true\r\n");
  }
  EXPECT_EQ(notes.Notes("print(host.write_file('d', string.rep('x', " + perFile + " - 10)))"), L"true\r\n");
  EXPECT_EQ(notes.Notes("print(host.write_file('e', string.rep('x', 11)))"),
            L"nil\t无法写入 e：数据文件夹里的文件合计不能超过 16 MiB\r\n");
  EXPECT_EQ(notes.Notes("print(host.write_file('D', string.rep('x', " + perFile + ")))"), L"true\r\n");

  // The number of files.
  test::RemoveTree(notes.Data(L""));
  for (size_t i = 0; i < kMaxDataFiles; ++i) notes.folder.Write(L"notes\\f" + std::to_wstring(i), "");
  EXPECT_EQ(notes.Notes("print(host.write_file('f0', 'again'))"), L"true\r\n");
  EXPECT_EQ(notes.Notes("print(host.write_file('one-more', ''))"), L"nil\t无法写入 one-more：数据文件夹最多放 1000 个文件\r\n");
}

TEST(Clipboard, TextGoesThroughTheActions) {
  NotesHost notes;
  EXPECT_EQ(notes.Notes("print(host.clipboard('复制 \"this\"\\n'))"), L"true\r\n");
  EXPECT_EQ(notes.clipboard, L"复制 \"this\"\n");
  notes.clipboard = L"来自剪贴板";
  EXPECT_EQ(notes.Notes("print(host.clipboard())"), L"来自剪贴板\r\n");
  notes.clipboard = std::wstring(kMaxClipboardTextBytes / 3 + 1, L'中');
  EXPECT_EQ(notes.Notes("print(host.clipboard())").rfind(L"nil\t剪贴板里的文字超过", 0), 0u);
  EXPECT_EQ(notes.Notes("print(host.clipboard(string.rep('x', " + std::to_string(kMaxClipboardTextBytes) + " + 1)))")
                .rfind(L"nil\t放进剪贴板的文字不能超过", 0),
            0u);
  notes.clipboardWorks = false;
  EXPECT_EQ(notes.Notes("print(host.clipboard('x'))"), L"nil\t无法写入剪贴板（可能正被其他程序占用）\r\n");
  EXPECT_EQ(notes.Notes("print(host.clipboard())"), L"nil\t剪贴板里没有文字\r\n");
  notes.host.onSetClipboard = nullptr;
  notes.host.onGetClipboard = nullptr;
  EXPECT_EQ(notes.Notes("print(host.clipboard('x'))"), L"nil\t无法写入剪贴板（可能正被其他程序占用）\r\n");
  EXPECT_EQ(notes.Notes("print(host.clipboard())"), L"nil\t剪贴板里没有文字\r\n");
  EXPECT_NE(notes.Notes("host.clipboard({})").find(L"bad argument #1 to 'clipboard' (string expected, got table)"),
            std::wstring::npos);
  EXPECT_NE(notes.Notes("host.clipboard('\\xFF')").find(L"UTF-8"), std::wstring::npos);
}

TEST(Open, OnlyAddressesAndExistingFoldersReachTheShell) {
  NotesHost notes;
  const std::wstring folder = notes.folder.path();
  const std::wstring script = notes.folder.Child(L"notes.lua");
  const struct {
    std::wstring target;
    const wchar_t* opened;  // what the action received, or null when refused
  } cases[] = {
      {L"https://example.com/a?b=c#d", L"address "},
      {L"HTTP://example.com", L"address "},
      {L"mailto:someone@example.com", L"address "},
      {folder, L"folder "},
      {folder + L"\\", L"folder "},
      {script, nullptr},  // a file, not a folder
      {folder + L"\\missing", nullptr},
      {L"notepad.exe", nullptr},
      {L"C:\\Windows\\notepad.exe", nullptr},
      {L"file:///C:/Windows/", nullptr},
      {L"javascript:alert(1)", nullptr},
      {L"ftp://example.com", nullptr},
      {L"http://", nullptr},
      {L"https://a b", nullptr},
      {L"https://a\"b", nullptr},
      {L"http://a\nb", nullptr},
      {L"\\\\server\\share", nullptr},
      {L"\\\\?\\C:\\", nullptr},
      {L"relative\\folder", nullptr},
      {folder + L":stream", nullptr},
      {L"", nullptr},
      {L"https://" + std::wstring(kMaxOpenTargetLength, L'a'), nullptr},
  };
  for (const auto& c : cases) {
    notes.opened.clear();
    const std::wstring result = notes.Notes("print(host.open(" + LuaLiteral(c.target) + "))");
    if (c.opened != nullptr) {
      EXPECT_EQ(result, L"true\r\n") << WideToUtf8(c.target);
      EXPECT_EQ(notes.opened, c.opened + c.target + L"\n");
    } else {
      EXPECT_EQ(result.rfind(L"nil\t", 0), 0u) << WideToUtf8(c.target) << ": " << WideToUtf8(result);
      EXPECT_EQ(notes.opened, L"") << WideToUtf8(c.target);
    }
  }
  notes.host.onOpen = [](const std::wstring&, bool) { return false; };
  EXPECT_EQ(notes.Notes("print(host.open('https://example.com'))"), L"nil\t无法打开：https://example.com\r\n");
}

TEST(Clock, CountsMillisecondsOnAMonotonicClock) {
  NotesHost notes;
  ASSERT_EQ(notes.Notes("first = host.clock() print(math.type(first), first >= 0)"), L"float\ttrue\r\n");
  Sleep(50);
  const std::wstring elapsed = notes.Notes("print(host.clock() - first)");
  const double milliseconds = std::stod(elapsed);
  EXPECT_GE(milliseconds, 40.0) << WideToUtf8(elapsed);
  EXPECT_LT(milliseconds, 5000.0) << WideToUtf8(elapsed);
}

TEST(Warnings, EachCompleteWarningIsOneLogLineWhileOn) {
  NotesHost notes;
  const struct {
    const char* chunk;
    std::wstring output;
  } cases[] = {
      {"warn('off at first')", L""},
      {"warn('@on') warn('one')", L"[警告] notes.lua：one\r\n"},
      {"warn('in ', 'three ', 'parts') print('after')", L"[警告] notes.lua：in three parts\r\nafter\r\n"},
      {"warn('@unknown') warn('中文')", L"[警告] notes.lua：中文\r\n"},
      {"warn('@on', 'is text inside a message')", L"[警告] notes.lua：@onis text inside a message\r\n"},
      {"warn(string.rep('x', 5000))", L"[警告] notes.lua：" + std::wstring(kMaxWarningBytes, L'x') + L"\r\n"},
      {"warn('@off') warn('hidden')", L""},
      {"warn('@on')", L""},
  };
  for (const auto& c : cases) EXPECT_EQ(notes.Notes(c.chunk), c.output) << c.chunk;
  EXPECT_NE(notes.Notes("warn('x', {})").find(L"bad argument #2 to 'warn'"), std::wstring::npos);

  // Warnings while loading join the load report.
  test::CapturedHost loading;
  loading.folder.Write(L"basic.lua", "warn('@on') warn('during load')");
  loading.Load();
  EXPECT_EQ(loading.host.pendingLog.rfind(L"[警告] basic.lua：during load\r\n", 0), 0u)
      << WideToUtf8(loading.host.pendingLog);
}

// Called without a name in code (through pcall, from a table of callbacks),
// a host function still names itself; called by name, Lua uses that name.
TEST(ArgumentErrors, NameTheHostFunction) {
  NotesHost notes;
  const struct {
    const char* call;
    const char* message;
  } cases[] = {
      {"pcall(host.menu, 'label')", "bad argument #2 to 'host.menu' (string expected, got no value)"},
      {"pcall(host.source, {})", "bad argument #1 to 'host.source'"},
      {"pcall(host.read_file, {})", "bad argument #1 to 'host.read_file'"},
      {"pcall(host.write_file, 'a', {})", "bad argument #2 to 'host.write_file'"},
      {"pcall(host.write_file, 'a/b', '')", "bad argument #1 to 'host.write_file' (文件名不能包含 \\ 或 /"},
      {"pcall(host.clipboard, {})", "bad argument #1 to 'host.clipboard'"},
      {"pcall(host.open, {})", "bad argument #1 to 'host.open'"},
      {"pcall(host.store.get, {})", "bad argument #1 to 'host.store.get'"},
      {"pcall(host.store.set, 'k', print)", "bad argument #2 to 'host.store.set' (不能保存 function 类型的值)"},
      {"pcall(host.menu)", "bad argument #1 to 'host.menu'"},
      {"pcall(function() host.menu('label') end)", "bad argument #2 to 'menu'"},
      {"pcall(function() host.store.set('k', print) end)", "bad argument #2 to 'set'"},
      {"pcall(function() local save = host.store.set save('k', print) end)", "bad argument #2 to 'save'"},
      // Text that is not UTF-8 is an argument of the wrong kind, as everywhere.
      {"pcall(host.open, '\\xFF')", "bad argument #1 to 'host.open' (不是有效的 UTF-8 文本)"},
      {"pcall(host.menu, 'a', '\\xFF')", "bad argument #2 to 'host.menu' (不是有效的 UTF-8 文本)"},
  };
  for (const auto& c : cases) {
    const std::wstring printed = notes.Notes(std::string("print(select(2, ") + c.call + "))");
    EXPECT_NE(printed.find(Utf8ToWide(c.message)), std::wstring::npos) << c.call << " gave " << WideToUtf8(printed);
  }
}

}  // namespace
}  // namespace qv
