// The start-up report typed out in a dark panel, the black overlay that fades
// in and out over it, and the switch to the console underneath.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host/plugin_host.h"

namespace qv {

inline constexpr UINT_PTR kTypingTimer = 1;
inline constexpr UINT kTypingInterval = 10;
inline constexpr UINT_PTR kFadeTimer = 2;
inline constexpr UINT kFadeInterval = 20;
// Starts the update check once the console has been painted: a timer message
// comes only when no paint is pending, and the check's thread then no longer
// competes with the first frame.
inline constexpr UINT_PTR kUpdateCheckTimer = 3;
// Ticks the complete report stays before the fade starts.
inline constexpr int kHoldTicks = 8;
inline constexpr int kFadeStep = 25;
inline constexpr std::size_t kListedPlugins = 8;

// The report: version (not in skip mode), date, up to eight plugin lines and a
// status line without a line feed. Lines are separated by "\n". plugins may
// be null when there is no host.
std::wstring BuildStartupScript(const std::vector<PluginSummary>* plugins, bool skipMode, const std::wstring& date);

// Characters revealed per typing tick, so that any report takes about 80 ticks.
std::uint64_t RevealStep(std::uint64_t scriptLength);

// The lines shown after `revealed` characters at animation tick `tick`,
// the last one with the blinking caret "|" on even six-tick periods.
std::vector<std::wstring> VisibleScriptLines(const std::wstring& script, std::uint64_t revealed, int tick);

// Alpha after one fade-in step (capped at 255) or one fade-out step.
inline int FadeInStep(int alpha) { return alpha + kFadeStep > 255 ? 255 : alpha + kFadeStep; }
inline int FadeOutStep(int alpha) { return alpha - kFadeStep; }

// Builds the report at window creation; in skip mode prints it with the
// loading report and finishes at once, else starts the typing timer.
void BeginStartup(HWND window);
void OnTypingTimer(HWND window);
void OnFadeTimer(HWND window);
// Shows the console, prints the loading report and arms kUpdateCheckTimer.
void FinishStartup(HWND window);
void OnUpdateCheckTimer(HWND window);
// Keeps the overlay over the client area below the title bar.
void PositionFadeOverlay();
// Ends the animation when the window goes.
void StopStartup(HWND window);
// Draws the report panel into dc (client size width x height).
void PaintStartupView(HDC dc, int width, int height);

}  // namespace qv
