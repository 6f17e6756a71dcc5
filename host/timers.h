// Plugin timers and the notification rate, as plain bookkeeping over an
// injectable millisecond clock: which timer is due next, which runs now, and
// whether a plugin may show one more notification. No window, no Lua: the
// host runs what TakeDue hands out (see timer_calls.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qv {

// Milliseconds from a fixed start, never going back.
using MillisecondClock = std::function<std::uint64_t()>;
// The steady clock in milliseconds.
std::uint64_t SteadyMilliseconds();

// Shortest delay of host.after and interval of host.every, in milliseconds.
inline constexpr std::int64_t kMinTimerIntervalMs = 50;
// Longest delay or interval (the longest a window timer waits at once, ~24.8 days).
inline constexpr std::int64_t kMaxTimerIntervalMs = 0x7FFFFFFF;
// Timers one plugin may have waiting at the same time.
inline constexpr std::size_t kTimersPerPluginLimit = 100;

// Longest notification text and title, in UTF-16 code units (what a
// notification-area balloon holds).
inline constexpr std::size_t kMaxNotifyTextLength = 255;
inline constexpr std::size_t kMaxNotifyTitleLength = 63;
// Notifications one plugin may show within any minute.
inline constexpr std::size_t kNotificationsPerMinute = 10;

struct TimerEntry {
  std::int64_t id = 0;
  const void* owner = nullptr;  // the plugin's record
  std::uint64_t due = 0;        // clock time of the next run
  std::uint64_t interval = 0;   // 0: runs once
  int functionRef = 0;          // in the owner's Lua registry
};

enum class TimerRefusal { kNone, kTooShort, kTooLong, kTooMany };

class TimerSchedule {
 public:
  explicit TimerSchedule(MillisecondClock clock = SteadyMilliseconds);

  // Why a timer of owner with this delay would be refused (kNone: it would not).
  TimerRefusal Check(const void* owner, std::int64_t delayMs) const;
  // A timer of owner that runs after delayMs and then, when repeat, every
  // delayMs. The id is 0 when refused (and the reason says why).
  struct Added {
    std::int64_t id = 0;
    TimerRefusal refusal = TimerRefusal::kNone;
  };
  Added Add(const void* owner, std::int64_t delayMs, bool repeat, int functionRef);
  // Removes owner's timer with this id; the removed entry, or nothing when
  // owner has no such timer.
  std::optional<TimerEntry> Cancel(const void* owner, std::int64_t id);
  // Forgets every timer of owner (its state is closed or given up on).
  void RemoveOwner(const void* owner);
  void Clear();

  // The earliest timer due now, or nothing. A one-time timer leaves the
  // schedule; a repeating one stays with its next run an interval after this
  // one, or an interval from now when it is so late that it missed runs
  // (missed runs are not made up).
  std::optional<TimerEntry> TakeDue();
  // Milliseconds until the earliest timer is due (0 when one is due now), or
  // nothing when no timer waits.
  std::optional<std::uint64_t> MillisecondsToNext() const;

  std::size_t CountOf(const void* owner) const;
  std::size_t Size() const { return timers_.size(); }

 private:
  MillisecondClock clock_;
  std::vector<TimerEntry> timers_;
  std::int64_t lastId_ = 0;
};

// How many notifications each plugin showed in the last minute.
class NotificationRate {
 public:
  explicit NotificationRate(MillisecondClock clock = SteadyMilliseconds);
  // True, and counts it, when the plugin may show one more now.
  bool Allow(const std::wstring& plugin);

 private:
  MillisecondClock clock_;
  std::map<std::wstring, std::deque<std::uint64_t>> shown_;
};

}  // namespace qv
