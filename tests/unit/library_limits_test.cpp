// Library calls that would run for minutes inside C: each ends at once or at
// the call's deadline, and ordinary arguments keep Lua's results.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "host_fixture.h"
#include "linterrupt.h"
#include "host/lua/call_limits.h"
#include "lauxlib.h"
#include "lua.h"

namespace qv {
namespace {

struct Hostile {
  const char* name;
  const char* chunk;  // quick preparation, then the one long call
  bool againstTheClock = false;  // also run with the real time limit (5 s each)
};

void PrintTo(const Hostile& c, std::ostream* out) { *out << c.name; }

// Each of these runs for minutes (most for ever) in a stock Lua.
constexpr Hostile kHostile[] = {
    {"move_up", "table.move({}, 1, math.maxinteger - 1, 2)", true},
    {"move_down", "table.move({}, 1, 1 << 50, 0)"},
    {"insert_at_front", "table.insert(setmetatable({}, {__len = function() return math.maxinteger - 1 end}), 1, 0)"},
    {"remove_front", "table.remove(setmetatable({}, {__len = function() return math.maxinteger end}), 1)", true},
    {"concat", "table.concat(setmetatable({}, {__len = function() return math.maxinteger end, "
               "__index = function() return '' end}))"},
    {"unpack_through_index_chain",
     "local t = {} for i = 1, 1990 do t = setmetatable({}, {__index = t}) end table.unpack(t, 1, 999000)"},
    {"sort_long_strings",
     "local a, b = ('x'):rep(1 << 20) .. 'a', ('x'):rep(1 << 20) .. 'b' "
     "local t = {} for i = 1, 1000000 do t[i] = i % 2 == 0 and a or b end table.sort(t)", true},
    {"find_greedy", "string.find(('a'):rep(30), ('a*'):rep(20) .. 'b')"},
    {"match_greedy", "string.match(('a'):rep(30), ('a*'):rep(20) .. 'b')"},
    {"find_lazy", "string.find(('a'):rep(20000), '.-.-b')", true},
    {"gmatch_lazy", "for _ in string.gmatch(('a'):rep(20000), '.-.-b') do end"},
    {"gsub_lazy", "string.gsub(('a'):rep(20000), '.-.-b', '')"},
    {"find_plain", "string.find(('a'):rep(1 << 21), ('a'):rep(1 << 20) .. 'b', 1, true)"},
    {"find_back_reference", "string.find(('a'):rep(1 << 16), '(.*)%1b')"},
    {"find_balance", "string.find(('('):rep(1 << 20), '%b()')"},
    {"find_long_set", "string.find(('a'):rep(1 << 20), '[' .. ('b'):rep(1 << 20) .. ']')"},
};

constexpr char kTestInterruption[] = "interrupted by the test";

// Makes the libraries' interrupt hook raise at its first call, as it does once
// a call is past its deadline, so that every long loop shows it asks in time.
class InterruptAtFirstCheck {
 public:
  InterruptAtFirstCheck() : saved_(lua_interrupthook) { lua_interrupthook = Raise; }
  ~InterruptAtFirstCheck() { lua_interrupthook = saved_; }

 private:
  static void Raise(lua_State* L) { luaL_error(L, "%s", kTestInterruption); }
  void (*saved_)(lua_State*);
};

TEST(LibraryLimits, EveryLongLoopAsksWhetherToGoOn) {
  PluginHost host;
  for (const Hostile& c : kHostile) {
    test::ScriptState script(host);
    InterruptAtFirstCheck interrupt;
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(script.Run(c.chunk), LUA_ERRRUN) << c.name;
    EXPECT_NE(script.error.find(kTestInterruption), std::string::npos) << c.name << ": " << script.error;
    EXPECT_LT(GetTickCount64() - start, 2000u) << c.name;
  }
}

// The real time limit ends the slowest kinds: a pattern, a sort whose every
// comparison is long, and element loops with and without a metamethod.
class HostileCall : public testing::TestWithParam<Hostile> {};

TEST_P(HostileCall, StopsAtTheDeadline) {
  PluginHost host;
  test::ScriptState script(host);
  const ULONGLONG start = GetTickCount64();
  EXPECT_EQ(script.Run(GetParam().chunk), LUA_ERRRUN);
  const ULONGLONG elapsed = GetTickCount64() - start;
  EXPECT_NE(script.error.find(kTimeLimitMessage), std::string::npos) << script.error;
  EXPECT_LT(elapsed, kScriptTimeLimitMs + 1500);
  EXPECT_EQ(script.Run("assert(string.find('abc', 'b.') == 2)"), LUA_OK) << script.error;
}

std::vector<Hostile> AgainstTheClock() {
  std::vector<Hostile> chosen;
  for (const Hostile& c : kHostile) {
    if (c.againstTheClock) chosen.push_back(c);
  }
  return chosen;
}

INSTANTIATE_TEST_SUITE_P(LibraryLimits, HostileCall, testing::ValuesIn(AgainstTheClock()),
                         [](const testing::TestParamInfo<Hostile>& info) { return std::string(info.param.name); });

TEST(LibraryLimits, OrdinaryArgumentsKeepLuasResults) {
  const struct {
    const char* expression;
    const char* expected;
  } cases[] = {
      {"string.rep('', math.maxinteger)", ""},
      {"string.rep('', math.maxinteger, '')", ""},
      {"string.rep('', 3, '-')", "--"},
      {"('ab'):rep(3, ',')", "ab,ab,ab"},
      {"string.rep(12, 2)", "1212"},
      {"string.rep('x', 0, 'y') .. string.rep('x', -1)", ""},
      {"select(2, pcall(string.rep))", "bad argument #1 to 'string.rep' (string expected, got no value)"},
      {"select(2, pcall(string.rep, '', 1.5))", "bad argument #2 to 'string.rep' (number has no integer representation)"},
      {"select(2, pcall(string.rep, '', 1, {}))", "bad argument #3 to 'string.rep' (string expected, got table)"},
      {"select(2, pcall(function() return (''):rep({}) end))", "test:1: bad argument #1 to 'rep' (number expected, got table)"},
      {"select(2, pcall(string.rep, 'xx', math.maxinteger))", "resulting string too large"},
      // Long enough for the loops to ask many times whether to go on.
      {"select(2, ('ab'):rep(1 << 20):gsub('(a)(b)', '%2%1'))", "1048576"},
      {"#(('a'):rep(1 << 20) .. 'b'):match('.-b')", "1048577"},
      {"(function() local t = {} for i = 1, 200000 do t[i] = (i * 7919) % 200000 end table.sort(t) "
       "return t[1] .. ' ' .. t[100000] .. ' ' .. t[200000] end)()",
       "0 99999 199999"},
      {"#table.move({}, 1, 1000000, 2, {})", "0"},
  };
  PluginHost host;
  for (const auto& c : cases) {
    test::ScriptState script(host);
    ASSERT_EQ(script.Run(std::string("__result = tostring(") + c.expression + ")"), LUA_OK) << script.error;
    lua_getglobal(script.record.luaState, "__result");
    EXPECT_STREQ(lua_tostring(script.record.luaState, -1), c.expected) << c.expression;
  }
}

}  // namespace
}  // namespace qv
