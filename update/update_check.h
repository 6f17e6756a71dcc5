// The one background check of the update page.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

namespace qv {

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

}  // namespace qv
