#include "update/update_check.h"

#include <mutex>
#include <new>

#include "app/globals.h"
#include "update/announced_version.h"
#include "update/update_fetch.h"

namespace qv {
namespace {

// The notice that this process posted and the window has not taken yet. A
// message's lParam is only trusted when it is this very pointer: any program
// on the desktop can post the same message with a value of its choice.
std::mutex postedNoticeMutex;
std::unique_ptr<UpdateNotice> postedNotice;

DWORD WINAPI UpdateCheckThread(LPVOID parameter) {
  HWND window = static_cast<HWND>(parameter);
  std::optional<UpdateNotice> notice = CheckForUpdate(UpdatePageUrl());
  if (notice) HandOverUpdateNotice(window, std::move(*notice));
  return 0;
}

}  // namespace

std::optional<UpdateNotice> CheckForUpdate(const std::wstring& url) {
  const std::optional<std::string> body = FetchUpdatePage(url);
  if (!body) return std::nullopt;
  const std::wstring announced = FindAnnouncedVersion(*body);
  if (announced.empty() || !IsNewerVersion(announced, kProgramVersion)) return std::nullopt;
  UpdateNotice notice{DisplayedVersion(announced), url};
  if (notice.latestVersion.empty()) return std::nullopt;
  return notice;
}

bool HandOverUpdateNotice(HWND window, UpdateNotice notice) {
  std::unique_ptr<UpdateNotice> owned(new (std::nothrow) UpdateNotice(std::move(notice)));
  if (!owned) return false;
  const LPARAM address = reinterpret_cast<LPARAM>(owned.get());
  {
    // Kept before posting, so the window finds it however soon it handles the message.
    std::lock_guard<std::mutex> lock(postedNoticeMutex);
    postedNotice = std::move(owned);
  }
  if (PostMessageW(window, UpdateAvailableMessage, 0, address)) return true;
  std::lock_guard<std::mutex> lock(postedNoticeMutex);
  if (reinterpret_cast<LPARAM>(postedNotice.get()) == address) postedNotice.reset();
  return false;
}

std::unique_ptr<UpdateNotice> TakeUpdateNotice(LPARAM lParam) {
  std::lock_guard<std::mutex> lock(postedNoticeMutex);
  if (lParam == 0 || lParam != reinterpret_cast<LPARAM>(postedNotice.get())) return nullptr;
  return std::move(postedNotice);
}

bool StartUpdateCheck(HWND window) {
  HANDLE thread = CreateThread(nullptr, 0, UpdateCheckThread, window, 0, nullptr);
  if (!thread) return false;
  CloseHandle(thread);  // nobody waits for the check
  return true;
}

}  // namespace qv
