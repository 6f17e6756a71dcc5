// Plugins whose call never returned: what the host lets go of.
#include "host/cut_off.h"

#include <algorithm>

#include "base/text.h"
#include "host/commands.h"
#include "host/lua/state_context.h"
#include "host/script_env.h"

namespace qv {

CallOutcome CallIntoPlugin(PluginHost& host, PluginRecord* const& owner, const std::function<void()>& body) {
  const CallOutcome outcome = RunOnScriptThread(host, body);
  if (outcome == CallOutcome::kAbandoned) CutOffPlugin(host, *owner);
  return outcome;
}

void LeaveStateBehind(PluginRecord& record) {
  if (record.context) {
    record.context->closed.store(true);
    static_cast<void>(record.context.release());  // the stuck thread's allocator still uses it
  }
  record.luaState = nullptr;
}

void CutOffPlugin(PluginHost& host, PluginRecord& record) {
  LeaveStateBehind(record);
  record.notResponding = true;
  record.loadFailed = true;
  // The function references live in the abandoned state: the entries go without unref.
  ForgetRegistrations(host, record);
  RebuildSummaries(host);
}

void ForgetRegistrations(PluginHost& host, const PluginRecord& record) {
  std::erase_if(host.commands, [&](const CommandEntry& entry) { return entry.owner == &record; });
  host.timers.RemoveOwner(&record);
  const std::wstring fileName = FileNameOf(record.path);
  std::erase_if(host.menuItems, [&](const MenuItem& item) { return item.plugin == fileName; });
}

}  // namespace qv
