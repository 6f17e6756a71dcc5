// What makes plugins act without a typed command: their timers, reloading
// when a script in the plugin folder is saved, and the notification-area icon
// that shows host.notify's notifications. One hidden message window receives
// all three; it lives from the main window's creation to the end of the run.
#pragma once

#include <windows.h>

#include <string>

namespace qv {

// The notification icon's callback message (its window is the events window).
inline constexpr UINT kNotifyIconMessage = WM_APP + 21;

// Starts the events window, the folder watch (unless settings.json switches
// reload on save off) and the timers due so far; Stop undoes all of it.
void StartPluginEvents();
void StopPluginEvents();
// Called whenever a call into script code has ended: arms the one window
// timer for the earliest due plugin timer, and a reload that waited for the call.
void AfterScriptCall();
// The host's onNotify: a balloon of the notification-area icon.
bool ShowNotification(const std::wstring& title, const std::wstring& text);

}  // namespace qv
