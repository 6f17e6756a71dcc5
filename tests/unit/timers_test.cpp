// Plugin timers: the schedule over a test clock (due order, repeats, missed
// runs, bounds, owners), the notification rate, and timers run through a real
// host (output, failures, cancelling, the end of a plugin's state).
#include "host/timers.h"
#include "host/enable_state.h"
#include "host/timer_calls.h"

#include <gtest/gtest.h>

#include "app/script_folder_watch.h"
#include "host_fixture.h"

namespace qv {
namespace {

struct TestClock {
  std::uint64_t now = 1000;
  MillisecondClock clock() {
    return [this] { return now; };
  }
};

const int kA = 0;
const int kB = 0;

TEST(TimerSchedule, RunsDueTimersInOrderRepeatsAndSkipsMissedRuns) {
  TestClock time;
  TimerSchedule schedule(time.clock());
  // Ids 1..4: A once after 100, A every 50, B once after 100, B every 300.
  ASSERT_EQ(schedule.Add(&kA, 100, false, 11).id, 1);
  ASSERT_EQ(schedule.Add(&kA, 50, true, 12).id, 2);
  ASSERT_EQ(schedule.Add(&kB, 100, false, 13).id, 3);
  ASSERT_EQ(schedule.Add(&kB, 300, true, 14).id, 4);
  const struct {
    std::uint64_t now;
    std::vector<std::int64_t> ran;           // ids TakeDue hands out at this time, in order
    std::optional<std::uint64_t> nextWait;  // MillisecondsToNext afterwards
  } steps[] = {
      {1000, {}, 50},
      {1049, {}, 1},
      {1050, {2}, 50},
      {1100, {1, 2, 3}, 50},  // equal due times: the older timer first
      {1120, {}, 30},
      {1400, {2, 4}, 50},     // every 50 was due at 1150 and missed five runs: one run, then 1450
      {1450, {2}, 50},
      {2000, {2, 4}, 50},     // every 300 was due at 1700: next at 2300
  };
  for (const auto& step : steps) {
    time.now = step.now;
    std::vector<std::int64_t> ran;
    while (const std::optional<TimerEntry> due = schedule.TakeDue()) ran.push_back(due->id);
    EXPECT_EQ(ran, step.ran) << "at " << step.now;
    EXPECT_EQ(schedule.MillisecondsToNext(), step.nextWait) << "at " << step.now;
  }
  time.now = 2300;
  EXPECT_EQ(schedule.MillisecondsToNext(), std::optional<std::uint64_t>(0));
  // Cancelling needs the owner; what is cancelled is handed back once.
  EXPECT_FALSE(schedule.Cancel(&kB, 2));
  EXPECT_EQ(schedule.Cancel(&kA, 2)->functionRef, 12);
  EXPECT_FALSE(schedule.Cancel(&kA, 2));
  EXPECT_FALSE(schedule.Cancel(&kA, 1));  // a one-time timer that ran is gone
  schedule.RemoveOwner(&kB);
  EXPECT_EQ(schedule.Size(), 0u);
  EXPECT_EQ(schedule.MillisecondsToNext(), std::nullopt);
}

TEST(TimerSchedule, BoundsOfIntervalsAndOfLiveTimersPerPlugin) {
  TestClock time;
  TimerSchedule schedule(time.clock());
  const struct {
    std::int64_t delay;
    TimerRefusal refusal;
  } rows[] = {
      {-1, TimerRefusal::kTooShort},         {0, TimerRefusal::kTooShort},
      {kMinTimerIntervalMs - 1, TimerRefusal::kTooShort}, {kMinTimerIntervalMs, TimerRefusal::kNone},
      {kMaxTimerIntervalMs, TimerRefusal::kNone},     {kMaxTimerIntervalMs + 1, TimerRefusal::kTooLong},
      {INT64_MAX, TimerRefusal::kTooLong},
  };
  for (const auto& row : rows) {
    const TimerSchedule::Added added = schedule.Add(&kB, row.delay, true, 0);
    EXPECT_EQ(added.refusal, row.refusal) << row.delay;
    EXPECT_EQ(added.id != 0, row.refusal == TimerRefusal::kNone) << row.delay;
  }
  schedule.RemoveOwner(&kB);
  for (std::size_t i = 0; i < kTimersPerPluginLimit; ++i) EXPECT_NE(schedule.Add(&kA, 1000, false, 0).id, 0);
  EXPECT_EQ(schedule.Add(&kA, 1000, false, 0).refusal, TimerRefusal::kTooMany);
  EXPECT_EQ(schedule.Check(&kB, 1000), TimerRefusal::kNone);  // the limit is per plugin
  time.now += 1000;
  ASSERT_TRUE(schedule.TakeDue());  // a one-time timer that ran frees its place
  EXPECT_EQ(schedule.Check(&kA, 1000), TimerRefusal::kNone);
}

TEST(NotificationRate, AtMostTenPerPluginInAnyMinute) {
  TestClock time;
  NotificationRate rate(time.clock());
  const struct {
    std::uint64_t now;
    const wchar_t* plugin;
    int tries;
    int allowed;
  } rows[] = {
      {1000, L"a.lua", 12, 10}, {1000, L"b.lua", 1, 1}, {60999, L"a.lua", 1, 0},
      {61000, L"a.lua", 11, 10},  // the first ten are a minute old
      {61000, L"b.lua", 9, 9},  {61001, L"b.lua", 2, 1},
  };
  for (const auto& row : rows) {
    time.now = row.now;
    int allowed = 0;
    for (int i = 0; i < row.tries; ++i) allowed += rate.Allow(row.plugin) ? 1 : 0;
    EXPECT_EQ(allowed, row.allowed) << row.now;
  }
}

TEST(ReloadOnSave, ScriptNamesNoticeAndSetting) {
  const struct {
    const wchar_t* name;
    bool script;
  } names[] = {{L"a.lua", true}, {L"A.LUA", true}, {L".lua", false}, {L"a.lua.tmp", false},
               {L"a.lua~", false}, {L"sub\\a.lua", false}, {L"notes", false}};
  for (const auto& n : names) EXPECT_EQ(IsPluginScriptName(n.name), n.script) << n.name;

  EXPECT_EQ(ReloadNoticeText({L"a.lua"}), L"[插件] a.lua 有改动，自动重新加载。");
  EXPECT_EQ(ReloadNoticeText({L"a.lua", L"A.lua", L"a.lua"}), L"[插件] a.lua 有改动，自动重新加载。");
  EXPECT_EQ(ReloadNoticeText({L"a.lua", L"b.lua", L""}), L"[插件] b.lua 等 2 个脚本有改动，自动重新加载。");
  EXPECT_EQ(ReloadNoticeText({L""}), L"[插件] 插件文件夹有改动，自动重新加载。");

  const struct {
    const char* text;
    bool on;
  } settings[] = {{"{\"reload_on_save\": false}", false}, {"{\"reload_on_save\": true}", true},
                  {"{\"reload_on_save\": 0}", true},      {"{\"hotkey\": \"Alt+Q\"}", true},
                  {"{broken", true},                     {"[false]", true},
                  {"", true}};
  for (const auto& s : settings) EXPECT_EQ(ReloadOnSaveSetting(s.text), s.on) << s.text;
}

int CountOccurrencesOf(const std::wstring& text, const std::wstring& part) {
  int count = 0;
  for (size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// A host whose timers run on a test clock.
struct TimerHost : test::CapturedHost {
  explicit TimerHost(const std::string& script) {
    host.timers = TimerSchedule(time.clock());
    folder.Write(L"basic.lua", "");
    folder.Write(L"t.lua", script);
    Load();
    host.pendingLog.clear();
  }
  // Moves the clock and runs every timer due; returns what they printed.
  std::wstring Advance(std::uint64_t ms) {
    output.clear();
    time.now += ms;
    batches = 0;
    while (RunDueTimers(host)) ++batches;
    return output;
  }
  TestClock time;
  int batches = 0;  // calls onto the script thread in the last Advance
};

TEST(PluginTimers, RunLikeCommandsAndEndWithTheirPluginsState) {
  TimerHost t(
      "n = 0\n"
      "local every = host.every(100, function() n = n + 1; print('tick ' .. n) end)\n"
      "host.after(250, function() print('once', host.cancel(every)) end)\n"
      "host.after(120, function() error('boom') end)\n"
      "host.register{ name = 'later', run = function() print(host.after(50, function() host.reload() end)) end }\n"
      "host.register{ name = 'bounds', run = function()\n"
      "  print(host.after(10, print)); print(host.every(2^31, print)); print(host.cancel(1), host.cancel(99))\n"
      "  print(pcall(host.after, '1s', print)); print(pcall(host.every, 100, 'f'))\n"
      "end }\n");
  EXPECT_EQ(t.Advance(99), L"");
  EXPECT_EQ(t.Advance(1), L"tick 1\r\n");
  // A failing run is reported once, with its plugin, and cancelled.
  // (The failing one was due first, at 120.)
  const std::wstring failed = t.Advance(100);
  EXPECT_EQ(failed.rfind(L"插件错误：t.lua 的定时器出错，已取消：", 0), 0u) << failed;
  EXPECT_NE(failed.find(L"t.lua:4: boom"), std::wstring::npos) << failed;
  EXPECT_EQ(failed.substr(failed.size() - 8), L"tick 2\r\n") << failed;
  EXPECT_EQ(CountOccurrencesOf(failed, L"插件错误"), 1);
  EXPECT_EQ(t.batches, 1) << "timers due together run in one call onto the script thread";
  EXPECT_EQ(t.Advance(50), L"once\ttrue\r\n");
  EXPECT_EQ(t.Advance(1000), L"");
  EXPECT_EQ(t.host.timers.Size(), 0u);

  const std::wstring bounds = t.Run(L"bounds");
  EXPECT_NE(bounds.find(L"nil\t间隔太短：最短 50 毫秒\r\nnil\t间隔太长：最长 2147483647 毫秒\r\nfalse\tfalse\r\n"),
            std::wstring::npos) << bounds;
  EXPECT_NE(bounds.find(L"after' (number expected, got string)"), std::wstring::npos) << bounds;
  EXPECT_NE(bounds.find(L"every' (function expected, got string)"), std::wstring::npos) << bounds;

  // A timer that asks for a reload gets it, and the reload ends every timer.
  t.Run(L"later");
  EXPECT_EQ(t.host.timers.Size(), 1u);
  const std::wstring reloaded = t.Advance(50);
  EXPECT_NE(reloaded.find(L"[插件] 已加载 2/2 个脚本"), std::wstring::npos) << reloaded;
  EXPECT_EQ(t.host.timers.Size(), 3u);  // only the fresh state's own three
  // Switching the plugin off ends its timers; they never run in the closed state.
  ASSERT_TRUE(SetPluginEnabled(t.host, L"t.lua", false));
  EXPECT_EQ(t.host.timers.Size(), 0u);
  EXPECT_EQ(t.Advance(1000), L"");
}

}  // namespace
}  // namespace qv
