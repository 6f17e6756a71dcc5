#include "update/update_check.h"

#include <new>
#include <type_traits>
#include <utility>

#include "base/constants.h"
#include "base/handles.h"
#include "base/threads.h"
#include "update/announced_version.h"
#include "update/update_fetch.h"

namespace qv {
namespace {

// The notice that this process posted and the window has not taken yet. A
// message's lParam is only trusted when it is this very pointer: any program
// on the desktop can post the same message with a value of its choice.
//
// Nobody waits for the check, so at exit it may still be handing over its
// notice while the static objects are destroyed: the slot and its lock have no
// destructor and stay usable to the end of the process (a notice that is never
// taken is left to the end of the process too).
struct PostedNoticeSlot {
  SRWLOCK lock = SRWLOCK_INIT;
  UpdateNotice* notice = nullptr;
};
static_assert(std::is_trivially_destructible_v<PostedNoticeSlot>);
constinit PostedNoticeSlot posted;

class SlotLock {
 public:
  SlotLock() { AcquireSRWLockExclusive(&posted.lock); }
  ~SlotLock() { ReleaseSRWLockExclusive(&posted.lock); }
  SlotLock(const SlotLock&) = delete;
  SlotLock& operator=(const SlotLock&) = delete;
};

void RunUpdateCheck(HWND window) {
  UpdateCheckResult result = UpdateCheckResult::kNothingNewer;
  std::optional<UpdateNotice> notice = CheckForUpdate(UpdatePageUrl(), &result);
  if (notice) {
    HandOverUpdateNotice(window, std::move(*notice));
  } else {
    PostMessageW(window, UpdateCheckedMessage, static_cast<WPARAM>(result), 0);
  }
}

}  // namespace

std::wstring UpdateFailureText(UpdateCheckResult result) {
  switch (result) {
    case UpdateCheckResult::kPageUnavailable: return L"无法读取更新页面（网络不通或页面不可用）";
    case UpdateCheckResult::kNoVersionOnPage: return L"更新页面上没有找到版本号";
    default: return std::wstring();
  }
}

std::optional<UpdateNotice> CheckForUpdate(const std::wstring& url, UpdateCheckResult* result) {
  UpdateCheckResult ignored = UpdateCheckResult::kNothingNewer;
  UpdateCheckResult& outcome = result ? *result : ignored;
  outcome = UpdateCheckResult::kPageUnavailable;
  const std::optional<std::string> body = FetchUpdatePage(url);
  if (!body) return std::nullopt;
  const std::wstring announced = FindAnnouncedVersion(*body);
  outcome = announced.empty() ? UpdateCheckResult::kNoVersionOnPage : UpdateCheckResult::kNothingNewer;
  if (announced.empty() || !IsNewerVersion(announced, kProgramVersion)) return std::nullopt;
  UpdateNotice notice{DisplayedVersion(announced), url};
  if (notice.latestVersion.empty()) return std::nullopt;
  outcome = UpdateCheckResult::kNewer;
  return notice;
}

bool HandOverUpdateNotice(HWND window, UpdateNotice notice) {
  UpdateNotice* const owned = new (std::nothrow) UpdateNotice(std::move(notice));
  if (!owned) return false;
  std::unique_ptr<UpdateNotice> replaced;
  {
    // Kept before posting, so the window finds it however soon it handles the message.
    const SlotLock lock;
    replaced.reset(std::exchange(posted.notice, owned));
  }
  if (PostMessageW(window, UpdateAvailableMessage, 0, reinterpret_cast<LPARAM>(owned))) return true;
  std::unique_ptr<UpdateNotice> unposted;
  const SlotLock lock;
  if (posted.notice == owned) unposted.reset(std::exchange(posted.notice, nullptr));
  return false;
}

std::unique_ptr<UpdateNotice> TakeUpdateNotice(LPARAM lParam) {
  const SlotLock lock;
  if (lParam == 0 || lParam != reinterpret_cast<LPARAM>(posted.notice)) return nullptr;
  return std::unique_ptr<UpdateNotice>(std::exchange(posted.notice, nullptr));
}

bool StartUpdateCheck(HWND window) {
  // Nobody waits for the check.
  return StartThread([window] { RunUpdateCheck(window); }).has_value();
}

}  // namespace qv
