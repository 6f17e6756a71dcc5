// The one background check of the update page.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

namespace qv {

// Message posted to the console window when a newer version is announced;
// lParam is the address of the UpdateNotice (see TakeUpdateNotice).
inline constexpr UINT UpdateAvailableMessage = WM_APP + 1;

// Message posted to the console window when the check found nothing newer or
// failed; wParam is the UpdateCheckResult.
inline constexpr UINT UpdateCheckedMessage = WM_APP + 3;  // WM_APP + 2 is the console's replay message

enum class UpdateCheckResult : int {
  kNewer = 0,            // announced by UpdateAvailableMessage instead
  kNothingNewer = 1,
  kPageUnavailable = 2,  // no answer, an error status, an empty or too large page
  kNoVersionOnPage = 3,
};

// Why a check failed, in Chinese; empty for a check that did not fail.
std::wstring UpdateFailureText(UpdateCheckResult result);

// What the check hands to the console window when a newer version is announced.
struct UpdateNotice {
  std::wstring latestVersion;  // without a leading "v"
  std::wstring pageUrl;        // the address that was fetched
};

// Starts the check on a thread of its own; it posts UpdateAvailableMessage to
// the window when the page announces a newer version. False when the thread
// could not be started.
bool StartUpdateCheck(HWND window);

// Takes ownership of the notice that a posted message refers to. Only a notice
// that this process's check created and posted is accepted; any other value
// (a message forged by another program) gives null and is not touched.
std::unique_ptr<UpdateNotice> TakeUpdateNotice(LPARAM lParam);

// The check itself, without a window: fetches the page at the URL and returns
// the notice when it announces a version newer than this program's; result (when
// given) says how the check ended.
std::optional<UpdateNotice> CheckForUpdate(const std::wstring& url, UpdateCheckResult* result = nullptr);

// Keeps the notice as the one that TakeUpdateNotice accepts and posts
// UpdateAvailableMessage for it to the window. When posting fails the notice
// is freed again and false is returned.
bool HandOverUpdateNotice(HWND window, UpdateNotice notice);

}  // namespace qv
