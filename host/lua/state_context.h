// What a plugin's Lua state shares with the host outside the Lua registry: the
// allocator's count, the interruption flag that the hook and long library
// loops read, and whether the host has let go of the state.
#pragma once

#include <atomic>
#include <cstddef>
#include <optional>
#include <string>

#include "host/lua/call_limits.h"

namespace qv {

struct PluginHost;
struct PluginRecord;

enum class Interruption : int { kNone = 0, kTimeLimit = 1, kStopped = 2 };

struct StateContext {
  PluginHost* host = nullptr;
  PluginRecord* record = nullptr;
  // Set once the host starts closing the state, or gave up on it: from then on
  // host functions called from it do nothing.
  std::atomic<bool> closed{false};
  // Why the running call is being interrupted; sticky until the call returns,
  // so a script cannot swallow the interruption with pcall.
  std::atomic<int> interruption{0};
  // Bytes the state holds now, and the most it may hold.
  std::size_t bytes = 0;
  std::size_t limit = kStateMemoryLimit;
  // Tests only: the next allocation that grows the state sleeps this long,
  // standing in for a long collection step inside any allocation.
  std::atomic<unsigned> stallNextGrowthMs{0};
  // host.open calls in the running call (see kMaxOpensPerCall).
  int opensThisCall = 0;
  // warn(): on after "@on"; the parts of a warning still being assembled.
  bool warningsOn = false;
  std::optional<std::string> pendingWarning;
};

}  // namespace qv
