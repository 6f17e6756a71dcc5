#include "host/timers.h"

#include <algorithm>
#include <chrono>

namespace qv {

namespace {

constexpr std::uint64_t kMinuteMs = 60000;

}  // namespace

std::uint64_t SteadyMilliseconds() {
  using namespace std::chrono;
  return static_cast<std::uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

TimerSchedule::TimerSchedule(MillisecondClock clock) : clock_(std::move(clock)) {}

TimerRefusal TimerSchedule::Check(const void* owner, std::int64_t delayMs) const {
  if (delayMs < kMinTimerIntervalMs) return TimerRefusal::kTooShort;
  if (delayMs > kMaxTimerIntervalMs) return TimerRefusal::kTooLong;
  if (CountOf(owner) >= kTimersPerPluginLimit) return TimerRefusal::kTooMany;
  return TimerRefusal::kNone;
}

TimerSchedule::Added TimerSchedule::Add(const void* owner, std::int64_t delayMs, bool repeat, int functionRef) {
  if (const TimerRefusal refusal = Check(owner, delayMs); refusal != TimerRefusal::kNone) return {0, refusal};
  const auto delay = static_cast<std::uint64_t>(delayMs);
  timers_.push_back(TimerEntry{++lastId_, owner, clock_() + delay, repeat ? delay : 0, functionRef});
  return {lastId_, TimerRefusal::kNone};
}

std::optional<TimerEntry> TimerSchedule::Cancel(const void* owner, std::int64_t id) {
  const auto found = std::find_if(timers_.begin(), timers_.end(),
                                  [&](const TimerEntry& timer) { return timer.id == id && timer.owner == owner; });
  if (found == timers_.end()) return std::nullopt;
  const TimerEntry entry = *found;
  timers_.erase(found);
  return entry;
}

void TimerSchedule::RemoveOwner(const void* owner) {
  std::erase_if(timers_, [&](const TimerEntry& timer) { return timer.owner == owner; });
}

void TimerSchedule::Clear() { timers_.clear(); }

namespace {

// The earliest due time first; of equal ones the older timer.
bool RunsBefore(const TimerEntry& a, const TimerEntry& b) { return a.due != b.due ? a.due < b.due : a.id < b.id; }

}  // namespace

std::optional<TimerEntry> TimerSchedule::TakeDue() {
  const auto next = std::min_element(timers_.begin(), timers_.end(), RunsBefore);
  const std::uint64_t now = clock_();
  if (next == timers_.end() || next->due > now) return std::nullopt;
  const TimerEntry taken = *next;
  if (next->interval == 0) {
    timers_.erase(next);
  } else {
    next->due += next->interval;
    if (next->due <= now) next->due = now + next->interval;
  }
  return taken;
}

std::optional<std::uint64_t> TimerSchedule::MillisecondsToNext() const {
  const auto next = std::min_element(timers_.begin(), timers_.end(), RunsBefore);
  if (next == timers_.end()) return std::nullopt;
  const std::uint64_t now = clock_();
  return next->due > now ? next->due - now : 0;
}

std::size_t TimerSchedule::CountOf(const void* owner) const {
  return static_cast<std::size_t>(
      std::count_if(timers_.begin(), timers_.end(), [&](const TimerEntry& timer) { return timer.owner == owner; }));
}

NotificationRate::NotificationRate(MillisecondClock clock) : clock_(std::move(clock)) {}

bool NotificationRate::Allow(const std::wstring& plugin) {
  const std::uint64_t now = clock_();
  std::deque<std::uint64_t>& shown = shown_[plugin];
  while (!shown.empty() && now - shown.front() >= kMinuteMs) shown.pop_front();
  if (shown.size() >= kNotificationsPerMinute) return false;
  shown.push_back(now);
  return true;
}

}  // namespace qv
