#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/globals.h"
#include "base/text.h"
#include "host/plugin_host.h"
#include "host/script_env.h"
#include "lauxlib.h"
#include "lua.h"
#include "sysinfo/system_facts.h"
#include "sysinfo/system_info.h"

namespace qv {
namespace {

constexpr std::uint64_t kMinute = 60'000;
constexpr std::uint64_t kHour = 60 * kMinute;
constexpr std::uint64_t kDay = 24 * kHour;

TEST(SystemFacts, UptimeText) {
  const struct {
    std::uint64_t milliseconds;
    const wchar_t* expected;
  } cases[] = {
      {0, L"0 小时 0 分钟"},
      {7 * kMinute + 59'999, L"0 小时 7 分钟"},  // seconds are cut, not rounded
      {23 * kHour + 59 * kMinute + 59'999, L"23 小时 59 分钟"},
      {kDay, L"1 天 0 小时 0 分钟"},
      {3 * kDay + 4 * kHour, L"3 天 4 小时 0 分钟"},
      {400 * kDay + 13 * kHour + 5 * kMinute, L"400 天 13 小时 5 分钟"},
  };
  for (const auto& c : cases) EXPECT_EQ(UptimeText(c.milliseconds), c.expected) << c.milliseconds;
}

TEST(SystemFacts, MemoryTextInWholeMegabytes) {
  constexpr std::uint64_t kMiB = 1'048'576;
  EXPECT_EQ(MemoryText(16384 * kMiB, 5000 * kMiB + kMiB - 1), L"16384 MB（可用 5000 MB）");
  EXPECT_EQ(MemoryText(kMiB - 1, 0), L"0 MB（可用 0 MB）");
  EXPECT_EQ(MemoryText(1024 * 1024 * kMiB, 1), L"1048576 MB（可用 0 MB）");
}

TEST(SystemFacts, OsVersionName) {
  const struct {
    std::uint32_t major, minor, build;
    const wchar_t* expected;
  } cases[] = {
      {10, 0, 21999, L"Windows 10 (10.0.21999)"}, {10, 0, 22000, L"Windows 11 (10.0.22000)"},
      {10, 0, 22631, L"Windows 11 (10.0.22631)"}, {10, 0, 19045, L"Windows 10 (10.0.19045)"},
      {6, 1, 7601, L"Windows (6.1.7601)"},        {6, 3, 9600, L"Windows (6.3.9600)"},
      {11, 0, 30000, L"Windows (11.0.30000)"},
  };
  for (const auto& c : cases) EXPECT_EQ(OsVersionName(c.major, c.minor, c.build), c.expected) << c.build;
}

TEST(SystemFacts, ArchitectureName) {
  const struct {
    std::uint16_t value;
    const wchar_t* expected;
  } cases[] = {
      {0, L"x86"}, {5, L"ARM"}, {9, L"x64"}, {12, L"ARM64"}, {6, L"未知"}, {0xFFFF, L"未知"},
  };
  for (const auto& c : cases) EXPECT_EQ(ArchitectureName(c.value), c.expected) << c.value;
}

TEST(SystemFacts, MachineCodeHashOfCodeUnits) {
  // Expected values computed independently: FNV-1a with the 64-bit prime over
  // UTF-16 code units, starting from 0x3C5A7E91D2F40B68.
  const struct {
    const wchar_t* source;
    const wchar_t* expected;
  } cases[] = {
      {L"", L"QL-3C5A-7E91-D2F4-0B68"},
      {L"a", L"QL-81D0-1AC9-74AE-C04B"},
      {L"6f9619ff-8b86-d011-b42d-00c04fc964ff", L"QL-4A52-88C8-7EAA-917C"},
      {L"未知|1234567890|x64", L"QL-558A-88A4-56FE-C508"},
      {L"未知||x64", L"QL-B5C4-7EB2-5315-D071"},
  };
  for (const auto& c : cases) EXPECT_EQ(MachineCodeFromSource(c.source), c.expected);
}

TEST(SystemFacts, FallbackSourceKeepsBothSeparators) {
  EXPECT_EQ(FallbackMachineCodeSource(L"未知", L"1234567890", L"x64"), L"未知|1234567890|x64");
  EXPECT_EQ(FallbackMachineCodeSource(L"DESK", L"", L"ARM64"), L"DESK||ARM64");
}

// Sets an environment variable for one test and restores it afterwards.
class ScopedVariable {
 public:
  ScopedVariable(const wchar_t* name, const wchar_t* value) : name_(name) {
    const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size > 0) {
      std::vector<wchar_t> buffer(size);
      old_.assign(buffer.data(), GetEnvironmentVariableW(name, buffer.data(), size));
      hadValue_ = true;
    }
    SetEnvironmentVariableW(name, value);
  }
  ~ScopedVariable() { SetEnvironmentVariableW(name_, hadValue_ ? old_.c_str() : nullptr); }

 private:
  const wchar_t* name_;
  std::wstring old_;
  bool hadValue_ = false;
};

TEST(SystemFacts, EnvironmentText) {
  const wchar_t* name = L"QV_SYSINFO_TEST_VARIABLE";
  {
    ScopedVariable unset(name, nullptr);
    EXPECT_EQ(EnvironmentText(name), L"(未设置)");
  }
  {
    ScopedVariable empty(name, L"");
    EXPECT_EQ(EnvironmentText(name), L"(未设置)");
  }
  {
    ScopedVariable chinese(name, L"英特尔 Family 6");
    EXPECT_EQ(EnvironmentText(name), L"英特尔 Family 6");
  }
  const std::wstring longValue(5000, L'x');
  ScopedVariable longOne(name, longValue.c_str());
  EXPECT_EQ(EnvironmentText(name), longValue);
}

bool IsMachineCodeForm(const std::wstring& code) {
  if (code.size() != 22 || code.compare(0, 3, L"QL-") != 0) return false;
  for (std::size_t i = 3; i < code.size(); ++i) {
    const bool separator = (i - 3) % 5 == 4;
    const wchar_t c = code[i];
    if (separator ? c != L'-' : !((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F'))) return false;
  }
  return true;
}

TEST(SystemInfoCollector, EveryFactIsFilled) {
  const SystemInfo info = CollectSystemInfo(96);
  for (const SystemInfoField& field : kSystemInfoFields) {
    EXPECT_FALSE((info.*field.member).empty()) << field.name;
  }
  EXPECT_EQ(info.version, L"0.4.0");
  EXPECT_EQ(info.compiler, L"MinGW-w64 / GCC");
  EXPECT_EQ(info.arch, L"x64");
  EXPECT_TRUE(IsMachineCodeForm(info.machineCode)) << WideToUtf8(info.machineCode);
  EXPECT_EQ(info.pid, DecimalText(GetCurrentProcessId()));
  EXPECT_EQ(info.codePage, DecimalText(GetACP()));
  EXPECT_NE(info.os, L"未知");
  EXPECT_NE(info.sysArch, L"未知");
  EXPECT_NE(info.memory.find(L" MB（可用 "), std::wstring::npos) << WideToUtf8(info.memory);
  EXPECT_NE(info.uptime.find(L" 小时 "), std::wstring::npos);
  EXPECT_NE(info.exePath.find(L"qv_unit_tests.exe"), std::wstring::npos) << WideToUtf8(info.exePath);
  // The fallbacks are for facts a machine cannot give; a test machine gives them all.
  for (const std::wstring* fact : {&info.workingDir, &info.computer, &info.systemDir}) {
    EXPECT_NE(*fact, L"未知");
  }
}

TEST(SystemInfoCollector, ReadsFreshFactsButKeepsTheMachineCode) {
  const SystemInfo first = CollectSystemInfo(96);

  wchar_t savedDir[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, savedDir);
  wchar_t systemDir[MAX_PATH] = {};
  GetSystemDirectoryW(systemDir, MAX_PATH);
  SetCurrentDirectoryW(systemDir);
  const SystemInfo second = CollectSystemInfo(144);
  SetCurrentDirectoryW(savedDir);

  EXPECT_EQ(second.dpi, L"144");
  EXPECT_EQ(_wcsicmp(second.workingDir.c_str(), systemDir), 0) << WideToUtf8(second.workingDir);
  EXPECT_EQ(first.machineCode, second.machineCode);
  EXPECT_EQ(first.machineCode, MachineCodeFromSource(MachineCodeSource()));
}

// host.system as a script sees the collector's record.
TEST(SystemInfoCollector, ScriptsGetNineteenStrings) {
  PluginHost host;
  host.onSystemInfo = [] { return CollectSystemInfo(96); };
  PluginRecord record;
  record.host = &host;
  ASSERT_TRUE(CreateScriptEnvironment(host, record));
  lua_State* L = record.luaState;
  const char* chunk =
      "local t = host.system()\n"
      "local count = 0\n"
      "for key, value in pairs(t) do\n"
      "  count = count + 1\n"
      "  if type(key) ~= 'string' or type(value) ~= 'string' or value == '' then return 'bad ' .. tostring(key) end\n"
      "end\n"
      "if count ~= 19 or #t ~= 0 then return 'count ' .. count .. ' length ' .. #t end\n"
      "if t.version ~= '0.4.0' or not t.machineCode:find('^QL%-') then return 'values' end\n"
      "if host.system() == t or host.system().machineCode ~= t.machineCode then return 'second call' end\n"
      "return 'ok'\n";
  ASSERT_EQ(luaL_loadstring(L, chunk), LUA_OK);
  ASSERT_EQ(lua_pcall(L, 0, 1, 0), LUA_OK) << lua_tostring(L, -1);
  EXPECT_STREQ(lua_tostring(L, -1), "ok");
  lua_close(L);
  record.luaState = nullptr;
}

}  // namespace
}  // namespace qv
