// host.store through a real host: values kept across reloads, refused values,
// the size cap, failures of the file system and a damaged store file.
#include <windows.h>

#include <gtest/gtest.h>

#include "base/handles.h"
#include "base/text.h"
#include "host/store/json_store.h"
#include "host/script_env.h"
#include "host_fixture.h"

namespace qv {
namespace {

// A host with basic.lua and notes.lua, whose store lives in plugins\notes.
struct StoreHost : test::CapturedHost {
  StoreHost() {
    folder.Write(L"basic.lua", "");
    // show(v): a text that tells every value kind apart (integer 3 from float 3.0).
    folder.Write(L"notes.lua", R"(
      function show(v)
        if type(v) == 'number' then return math.type(v) .. ':' .. string.format('%.17g', v) end
        if type(v) ~= 'table' then return type(v) .. ':' .. tostring(v) end
        local keys = {}
        for k in pairs(v) do keys[#keys + 1] = k end
        table.sort(keys, function(a, b) return tostring(a) < tostring(b) end)
        local parts = {}
        for _, k in ipairs(keys) do parts[#parts + 1] = tostring(k) .. '=' .. show(v[k]) end
        return '{' .. table.concat(parts, ',') .. '}'
      end
    )");
    Reload();
  }
  // New states, as after a restart: the store is read from its file again.
  void Reload() {
    Load();
    log = TakePendingLog(host);
  }
  std::wstring Notes(const std::string& chunk) { return Exec(L"notes.lua", chunk); }
  std::wstring StoreFile() const { return folder.Child(L"notes\\") + kStoreFileName; }
  std::wstring log;
};

// Every kind of value, printed by show() right after set and after a reload.
TEST(HostStore, EveryKindOfValueSurvivesAReload) {
  StoreHost store;
  const char* values[] = {
      "'text'", "''", "'中文 and \\0 zero'", "0", "-1", "math.maxinteger", "math.mininteger", "3.0", "-2.25",
      "1e300", "2^53", "true", "false", "{}", "{1, 2.5, 'three'}", "{a = {b = {c = {true}}}, ['中'] = 'x'}",
  };
  std::vector<std::wstring> shown;
  for (const char* value : values) {
    const std::string chunk = std::string("local v = ") + value + " assert(host.store.set('k" +
                              std::to_string(shown.size()) + "', v)) print(show(v))";
    shown.push_back(store.Notes(chunk));
    ASSERT_EQ(shown.back().find(L"error"), std::wstring::npos) << value << ": " << WideToUtf8(shown.back());
  }
  for (int pass = 0; pass < 2; ++pass) {
    for (size_t i = 0; i < shown.size(); ++i) {
      EXPECT_EQ(store.Notes("print(show(host.store.get('k" + std::to_string(i) + "')))"), shown[i])
          << values[i] << (pass == 0 ? " before" : " after") << " the reload";
    }
    store.Reload();
  }
  EXPECT_EQ(store.log.find(L"存储"), std::wstring::npos) << WideToUtf8(store.log);
  // keys() in byte order; nil (or nothing) removes; a got table is a copy.
  EXPECT_EQ(store.Notes("host.store.set('k1') host.store.set('k2', nil) print(#host.store.keys(), "
                        "host.store.keys()[1], host.store.keys()[3])"),
            L"14\tk0\tk11\r\n");
  EXPECT_EQ(store.Notes("host.store.get('k14')[1] = 'changed' print(host.store.get('k14')[1], host.store.get('none'))"),
            L"1\tnil\r\n");
}

TEST(HostStore, RefusedValuesRaiseAndKeepNothing) {
  StoreHost store;
  const struct {
    const char* chunk;
    const char* message;
  } cases[] = {
      {"host.store.set('k', print)", "不能保存 function 类型的值"},
      {"host.store.set('k', {f = print})", "不能保存 function 类型的值"},
      {"local t = {} t.self = t host.store.set('k', t)", "循环引用"},
      {"local t = {} host.store.set('k', {t, {t}})", nullptr},  // shared but not a cycle: kept
      {"host.store.set('k', {1, nil, 3})", "从 1 开始连续编号"},
      {"host.store.set('k', {1, a = 2})", "从 1 开始连续编号"},
      {"host.store.set('k', {[0] = 1})", "键只能是字符串"},
      {"host.store.set('k', {[1.5] = 1})", "键只能是字符串"},
      {"host.store.set('k', {[true] = 1})", "键只能是字符串"},
      {"host.store.set('k', 0/0)", "NaN"},
      {"host.store.set('k', -math.huge)", "无穷大"},
      {"host.store.set('k', '\\xFF')", "UTF-8"},
      {"host.store.set('k', {['\\xC0\\x80'] = 1})", "UTF-8"},
      {"host.store.set('\\xFF', 1)", "UTF-8"},
      {"host.store.set({}, 1)", "string expected, got table"},
      {"host.store.get()", "string expected, got no value"},
  };
  for (const auto& c : cases) {
    const std::wstring result = store.Notes(c.chunk);
    if (c.message == nullptr) {
      EXPECT_EQ(result, L"") << c.chunk;
      EXPECT_EQ(store.Notes("host.store.set('k', nil)"), L"");
    } else {
      EXPECT_NE(result.find(L"error: "), std::wstring::npos) << c.chunk;
      EXPECT_NE(result.find(Utf8ToWide(c.message)), std::wstring::npos) << c.chunk << ": " << WideToUtf8(result);
    }
  }
  EXPECT_EQ(store.Notes("print(#host.store.keys())"), L"0\r\n");

  // Nesting: kMaxStoreNesting tables deep is kept (and read back after a
  // reload), one more is refused.
  const std::string nest = "local function nest(n) local t = {} for i = 2, n do t = {t} end return t end ";
  const std::string depth = std::to_string(kMaxStoreNesting);
  EXPECT_EQ(store.Notes(nest + "print(host.store.set('deep', nest(" + depth + ")))"), L"true\r\n");
  EXPECT_NE(store.Notes(nest + "host.store.set('deeper', nest(" + depth + " + 1))").find(L"嵌套不能超过"),
            std::wstring::npos);
  store.Reload();
  EXPECT_EQ(store.Notes("local t, n = host.store.get('deep'), 0 while t do n = n + 1 t = t[1] end print(n)"),
            Utf8ToWide(depth) + L"\r\n");
}

TEST(HostStore, SizeCapRefusesAndKeepsTheOldContent) {
  StoreHost store;
  ASSERT_EQ(store.Notes("print(host.store.set('a', 'old'))"), L"true\r\n");
  const std::string before = test::ReadBytes(store.StoreFile());
  EXPECT_EQ(before, "{\"a\":\"old\"}");
  const std::string fill = "string.rep('x', " + std::to_string(kMaxStoreBytes) + ")";
  const std::wstring refused = store.Notes("print(host.store.set('big', " + fill + "))");
  EXPECT_EQ(refused.rfind(L"nil\t存储不能超过 1048576 字节", 0), 0u) << WideToUtf8(refused);
  EXPECT_EQ(test::ReadBytes(store.StoreFile()), before);
  EXPECT_EQ(store.Notes("print(host.store.get('big'), host.store.get('a'))"), L"nil\told\r\n");
  // Just under the cap is fine.
  const std::string under = "string.rep('x', " + std::to_string(kMaxStoreBytes - 40) + ")";
  EXPECT_EQ(store.Notes("print(host.store.set('big', " + under + "))"), L"true\r\n");
  // Past the cap as a whole, and a value too big by the number of its entries.
  EXPECT_EQ(store.Notes("print(host.store.set('c', string.rep('y', 100)))").rfind(L"nil\t存储不能超过", 0), 0u);
  EXPECT_EQ(store.Notes("local t = {} for i = 1, 2000000 do t[i] = true end print(host.store.set('c', t))")
                .rfind(L"nil\t存储不能超过", 0),
            0u);
  EXPECT_EQ(store.Notes("print(host.store.get('c'))"), L"nil\r\n");

  // A store grown past the cap by hand may shrink but not grow.
  store.folder.Write(L"notes\\.store.json", "{\"a\":1,\"big\":\"" + std::string(kMaxStoreBytes, 'y') + "\"}");
  store.Reload();
  EXPECT_EQ(store.Notes("print(host.store.set('a', 22))").rfind(L"nil\t", 0), 0u);
  EXPECT_EQ(store.Notes("print(host.store.set('big', nil), host.store.get('a'))"), L"true\t1\r\n");
}

TEST(HostStore, FileSystemFailuresReturnAReasonAndLoseNothing) {
  StoreHost store;
  ASSERT_EQ(store.Notes("print(host.store.set('k', 'old'))"), L"true\r\n");
  {
    // Held open without delete sharing: the new content is written to the
    // temporary file, but it cannot be moved over the old one.
    UniqueHandle held(CreateFileW(store.StoreFile().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held);
    const std::wstring failed = store.Notes("print(host.store.set('k', 'new'))");
    EXPECT_EQ(failed.rfind(L"nil\t无法保存存储：", 0), 0u) << WideToUtf8(failed);
    EXPECT_EQ(store.Notes("print(host.store.get('k'))"), L"old\r\n");
  }
  EXPECT_EQ(test::ReadBytes(store.StoreFile()), "{\"k\":\"old\"}");
  EXPECT_FALSE(test::FileExists(store.folder.Child(L"notes\\..store.json.tmp")));
  EXPECT_EQ(store.Notes("print(host.store.set('k', 'new'))"), L"true\r\n");

  // A store file that cannot be read is neither used nor overwritten.
  store.Reload();
  UniqueHandle locked(CreateFileW(store.StoreFile().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(locked);
  EXPECT_EQ(store.Notes("print(host.store.get('k'))").rfind(L"nil\t无法读取存储文件：", 0), 0u);
  EXPECT_EQ(store.Notes("print(host.store.set('k', 'lost'))").rfind(L"nil\t无法读取存储文件：", 0), 0u);
  locked.reset();
  EXPECT_EQ(store.Notes("print(host.store.get('k'))"), L"new\r\n");
}

TEST(HostStore, DamagedFileIsSetAsideWithOneLogLine) {
  const std::string tooDeep = std::string("{\"a\":") + std::string(kMaxStoreNesting + 1, '[') +
                              std::string(kMaxStoreNesting + 1, ']') + "}";
  const std::string damaged[] = {"not json", "[1, 2]", "{\"a\":", "{\"a\":\"\xFF\"}", "", "\"text\"", tooDeep};
  for (const std::string& content : damaged) {
    StoreHost store;
    store.folder.Write(L"notes\\.store.json", content);
    store.Reload();
    // The line goes out when the store is first used, and only then.
    const std::wstring first = store.Notes("print(host.store.get('a'), #host.store.keys())");
    const std::wstring prefix = L"[插件] notes.lua 的存储文件已损坏，已改名为 .store.damaged-";
    ASSERT_EQ(first.rfind(prefix, 0), 0u) << content << ": " << WideToUtf8(first);
    const size_t lineEnd = first.find(L"\r\n");
    EXPECT_EQ(first.substr(lineEnd), L"\r\nnil\t0\r\n") << content;
    EXPECT_EQ(store.Notes("print(#host.store.keys())"), L"0\r\n") << content;

    const size_t nameStart = first.find(L".store.damaged-");
    const std::wstring setAside = first.substr(nameStart, first.find(L' ', nameStart) - nameStart);
    EXPECT_EQ(test::ReadBytes(store.folder.Child(L"notes\\" + setAside)), content) << WideToUtf8(setAside);
    EXPECT_FALSE(test::FileExists(store.StoreFile()));
    EXPECT_EQ(store.Notes("print(host.store.set('a', 1))"), L"true\r\n");
    EXPECT_EQ(test::ReadBytes(store.StoreFile()), "{\"a\":1}");
  }
}

}  // namespace
}  // namespace qv
