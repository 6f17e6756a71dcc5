#include "host/lua/script_thread.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <utility>
#include <vector>

#include "base/handles.h"
#include "base/threads.h"
#include "host/lua/call_limits.h"
#include "host/lua/interruption.h"

namespace qv {

using Clock = std::chrono::steady_clock;

namespace {

// How often the owner looks for output while a call runs: well under the
// 100 ms by which printed lines may lag, and rare enough that each look
// carries a batch of lines.
constexpr DWORD kOutputPollMs = 25;
// Queued output (UTF-16 units) past which a printing script waits for the
// owner to take it, so a fast printer cannot grow the queue without bound.
constexpr std::size_t kQueuedOutputLimit = 1000000;
// How long each side spins before it blocks: a short command, or the next of
// a quick series, is handed over without a round trip through the system.
constexpr auto kSpin = std::chrono::microseconds(200);

// Spins for up to kSpin until ready() holds; true if it did.
template <typename Ready>
bool SpinUntil(const Ready& ready) {
  const Clock::time_point until = Clock::now() + kSpin;
  do {
    if (ready()) return true;
    YieldProcessor();
  } while (Clock::now() < until);
  return ready();
}

struct OutputItem {
  bool clear = false;
  std::wstring text;
};

struct OwnerRequest {
  const std::function<void()>* action = nullptr;
  bool done = false;
};

}  // namespace

// The hand-over: the owner stores the job and raises jobPosted, and sets
// jobEvent only if the thread has gone to sleep on it; the thread raises
// jobDone and sets attention only if the owner sleeps on it. Requests for the
// owner, abandonment, output and its limit go through the mutex.
struct ScriptChannel {
  std::mutex mutex;
  std::condition_variable changed;  // the script thread waits: request served, output taken, abandoned
  bool scriptWaits = false;         // somebody waits on `changed`
  std::function<void()> job;
  std::atomic<bool> jobPosted{false};
  std::atomic<bool> jobDone{false};
  std::atomic<bool> quit{false};
  std::atomic<bool> threadSleeps{false};
  std::atomic<bool> ownerSleeps{false};
  bool abandoned = false;
  bool inLua = false;
  Clock::time_point callDeadline;
  std::vector<OutputItem> output;
  std::size_t queuedUnits = 0;
  OwnerRequest* request = nullptr;
  UniqueHandle jobEvent{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
  UniqueHandle attention{CreateEventW(nullptr, FALSE, FALSE, nullptr)};  // job done, or a request
  UniqueHandle thread;
  DWORD threadId = 0;
};

namespace {

thread_local ScriptChannel* t_channel = nullptr;
// The channel's lock while this script thread works on host data (WithHostData).
thread_local std::unique_lock<std::mutex>* t_hostDataLock = nullptr;

// False when the thread is to end.
bool WaitForJob(ScriptChannel& channel) {
  const auto ready = [&] { return channel.jobPosted.load() || channel.quit.load(); };
  if (!SpinUntil(ready)) {
    channel.threadSleeps.store(true);
    while (!ready()) WaitForSingleObject(channel.jobEvent.get(), INFINITE);
    channel.threadSleeps.store(false);
  }
  return !channel.quit.load();
}

// The thread keeps its channel alive: an owner that gave up on it has let go.
void ScriptThreadMain(std::shared_ptr<ScriptChannel> holder) {
  ScriptChannel& channel = *holder;
  t_channel = &channel;
  while (WaitForJob(channel)) {
    const std::function<void()> job = std::move(channel.job);
    channel.jobPosted.store(false);
    job();
    {
      std::lock_guard lock(channel.mutex);
      if (channel.abandoned) break;
    }
    channel.jobDone.store(true);
    if (channel.ownerSleeps.load()) SetEvent(channel.attention.get());
  }
  t_channel = nullptr;
}

void WakeScript(ScriptChannel& channel, std::unique_lock<std::mutex>& lock) {
  const bool waits = channel.scriptWaits;
  lock.unlock();
  if (waits) channel.changed.notify_all();
}

// Hands the queued output and the pending request to the owner's actions.
void Deliver(const CallSide& side, ScriptChannel& channel) {
  std::vector<OutputItem> output;
  OwnerRequest* request = nullptr;
  {
    std::unique_lock lock(channel.mutex);
    if (channel.output.empty() && channel.request == nullptr) return;
    output.swap(channel.output);
    channel.queuedUnits = 0;
    request = channel.request;
    WakeScript(channel, lock);
  }
  for (const OutputItem& item : output) {
    if (item.clear) {
      if (side.clear) side.clear();
    } else if (side.output) {
      side.output(item.text);
    }
  }
  if (request == nullptr) return;
  (*request->action)();
  std::unique_lock lock(channel.mutex);
  request->done = true;
  channel.request = nullptr;
  WakeScript(channel, lock);
}

// Gives up on the channel's call when it is inside Lua (not in the host's own
// bounded bookkeeping between calls) and past its deadline and grace.
bool AbandonIfStuck(ScriptChannel& channel) {
  std::unique_lock lock(channel.mutex);
  if (channel.jobDone.load() || !channel.inLua) return false;
  if (Clock::now() < channel.callDeadline + std::chrono::milliseconds(kStuckCallGraceMs)) return false;
  channel.abandoned = true;
  WakeScript(channel, lock);
  return true;
}

// The owner's wait for a call that did not end at once: output and requests
// are served as they come, the console pumps its messages, and a call stuck
// past its deadline and grace is given up on.
CallOutcome WaitAsleep(const CallSide& side, ScriptChannel& channel) {
  HANDLE attention = channel.attention.get();
  for (;;) {
    channel.ownerSleeps.store(true);
    if (!channel.jobDone.load()) {
      MsgWaitForMultipleObjectsEx(1, &attention, kOutputPollMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
    channel.ownerSleeps.store(false);
    Deliver(side, channel);
    if (channel.jobDone.load()) return CallOutcome::kFinished;
    if (AbandonIfStuck(channel)) return CallOutcome::kAbandoned;
    if (side.wait) side.wait();
  }
}

}  // namespace

ScriptThread::ScriptThread() : channel_(std::make_shared<ScriptChannel>()) {
  if (!channel_->attention || !channel_->jobEvent) return;
  // The owner keeps the thread's handle: to wait for its end, and for the
  // watchdog to suspend it.
  std::optional<StartedThread> started =
      StartThread([channel = channel_] { ScriptThreadMain(channel); },
                  SYNCHRONIZE | THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT);
  if (!started || !started->handle) return;
  channel_->threadId = started->id;
  channel_->thread = std::move(started->handle);
}

ScriptThread::~ScriptThread() {
  if (!channel_->thread) return;
  bool abandoned = false;
  {
    std::lock_guard lock(channel_->mutex);
    abandoned = channel_->abandoned;
  }
  channel_->quit.store(true);
  SetEvent(channel_->jobEvent.get());
  // An idle thread ends at once; waiting for it to be gone for good matters:
  // a thread killed by the process's end halfway through its own end can
  // leave the loader's lock held and the process hanging.
  if (!abandoned) WaitForSingleObject(channel_->thread.get(), INFINITE);
}

bool ScriptThread::Started() const { return static_cast<bool>(channel_->thread); }

DWORD ScriptThread::ThreadId() const { return channel_->threadId; }

ScriptCalls::ScriptCalls() = default;

ScriptCalls::~ScriptCalls() = default;

CallOutcome ScriptCalls::Run(const CallSide& side, const std::function<void()>& job) {
  if (running_) return CallOutcome::kRefused;
  if (!thread_ || !thread_->Started()) thread_ = std::make_unique<ScriptThread>();
  if (!thread_->Started()) return CallOutcome::kRefused;
  const std::shared_ptr<ScriptChannel> channel = thread_->Channel();
  {
    std::lock_guard lock(channel->mutex);
    channel->job = job;
    channel->inLua = false;
  }
  channel->jobDone.store(false);
  channel->jobPosted.store(true);
  if (channel->threadSleeps.load()) SetEvent(channel->jobEvent.get());
  running_ = true;
  if (side.begin) side.begin();

  // Only a quick call is worth spinning for; a longer one is waited for asleep.
  const bool quick = SpinUntil([&] { return channel->jobDone.load(); });
  const CallOutcome outcome = quick ? CallOutcome::kFinished : WaitAsleep(side, *channel);
  if (outcome == CallOutcome::kAbandoned) thread_.reset();  // the stuck thread ends by itself if it ever returns
  if (outcome == CallOutcome::kFinished) Deliver(side, *channel);
  running_ = false;
  if (side.end) side.end();
  return outcome;
}

bool ScriptCalls::StopRunning() { return running_ && thread_ && StopCallsOnThread(thread_->ThreadId()); }

void ScriptCalls::EndThread() { thread_.reset(); }

bool RunOnOwner(const std::function<void()>& action) {
  ScriptChannel* channel = t_channel;
  if (channel == nullptr) {
    action();
    return true;
  }
  OwnerRequest request;
  request.action = &action;
  std::unique_lock lock(channel->mutex);
  if (channel->abandoned) return false;
  channel->request = &request;
  SetEvent(channel->attention.get());
  channel->scriptWaits = true;
  channel->changed.wait(lock, [&] { return request.done || channel->abandoned; });
  channel->scriptWaits = false;
  if (!request.done) channel->request = nullptr;
  return request.done;
}

HANDLE ScriptThreadHandle() {
  ScriptChannel* channel = t_channel;
  return channel ? channel->thread.get() : nullptr;
}

bool ScriptThreadAbandoned() {
  ScriptChannel* channel = t_channel;
  if (channel == nullptr) return false;
  std::lock_guard lock(channel->mutex);
  return channel->abandoned;
}

LuaStretch::LuaStretch(Clock::time_point deadline) {
  ScriptChannel* channel = t_channel;
  if (channel == nullptr) return;
  std::lock_guard lock(channel->mutex);
  channel->inLua = true;
  channel->callDeadline = deadline;
  open_ = true;
}

LuaStretch::LuaStretch() : LuaStretch(Clock::now() + std::chrono::milliseconds(kScriptTimeLimitMs)) {}

LuaStretch::~LuaStretch() {
  if (open_) static_cast<void>(Returned());
}

bool LuaStretch::Returned() {
  ScriptChannel* channel = t_channel;
  if (!open_ || channel == nullptr) return !ScriptThreadAbandoned();
  open_ = false;
  std::lock_guard lock(channel->mutex);
  channel->inLua = false;
  return !channel->abandoned;
}

namespace {

// Under the channel's lock. A clear makes everything queued before it moot, so
// the queue holds at most one clear, at its front; every item counts against
// the limit, so no mix of clears and text grows it without bound.
void QueueLocked(ScriptChannel& channel, std::unique_lock<std::mutex>& lock, OutputItem item) {
  if (channel.queuedUnits >= kQueuedOutputLimit) {
    channel.scriptWaits = true;
    channel.changed.wait(lock, [&] { return channel.queuedUnits < kQueuedOutputLimit || channel.abandoned; });
    channel.scriptWaits = false;
  }
  if (channel.abandoned) return;
  if (item.clear) {
    channel.output.clear();
    channel.queuedUnits = 0;
  }
  channel.queuedUnits += item.text.size() + 1;
  if (!item.clear && !channel.output.empty() && !channel.output.back().clear) {
    channel.output.back().text += item.text;
  } else {
    channel.output.push_back(std::move(item));
  }
}

bool Queue(OutputItem item) {
  ScriptChannel* channel = t_channel;
  if (channel == nullptr) return false;
  if (t_hostDataLock != nullptr) {
    QueueLocked(*channel, *t_hostDataLock, std::move(item));
  } else {
    std::unique_lock lock(channel->mutex);
    QueueLocked(*channel, lock, std::move(item));
  }
  return true;
}

}  // namespace

bool WithHostData(const std::function<void()>& access) {
  ScriptChannel* channel = t_channel;
  if (channel == nullptr || t_hostDataLock != nullptr) {
    access();
    return true;
  }
  std::unique_lock lock(channel->mutex);
  if (channel->abandoned) return false;
  t_hostDataLock = &lock;
  access();
  t_hostDataLock = nullptr;
  return true;
}

bool MayTouchHostData() {
  ScriptChannel* channel = t_channel;
  if (channel == nullptr || t_hostDataLock != nullptr) return true;
  // Outside Lua the job may work on host data: the owner waits, and gives up
  // on a call only inside Lua.
  std::lock_guard lock(channel->mutex);
  return !channel->inLua && !channel->abandoned;
}

bool QueueOutput(const std::wstring& text) { return Queue(OutputItem{false, text}); }

bool QueueClear() { return Queue(OutputItem{true, std::wstring()}); }

}  // namespace qv
