// The global hotkey that shows and hides the console from any program, and
// settings.json, where it is chosen.
//
// The default is Alt+` (the key left of 1, where the console key of many
// programs sits). Windows keeps the Win key combinations, Alt+Tab, Alt+Esc,
// Alt+Space, Alt+F4 and Alt+Shift (input language) for itself; the usual Chinese
// input methods take Ctrl+Space, Shift, Ctrl+Shift, Ctrl+. and Shift+Space,
// Ctrl+Shift+F (simplified/traditional), and Ctrl+` or F4 (Rime's schema menu);
// Ctrl+Alt is AltGr on many keyboard layouts. Alt+` is none of these.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace qv {

struct Hotkey {
  UINT modifiers = 0;  // MOD_ALT, MOD_CONTROL, MOD_SHIFT, MOD_WIN
  UINT key = 0;        // virtual-key code
};

inline constexpr wchar_t kDefaultHotkeyText[] = L"Alt+`";
inline constexpr wchar_t kSettingsFileName[] = L"settings.json";

// "Ctrl+Shift+K", "Alt+`", "Win+F12", "Ctrl+Alt+Space": modifiers (Ctrl, Alt,
// Shift, Win, any case, at least one) joined by "+" with one key: a letter, a
// digit, F1 to F24, Space or `. Nothing for any other text.
std::optional<Hotkey> ParseHotkey(std::wstring_view text);

// What settings.json says. hotkey is empty when it is switched off.
struct Settings {
  std::optional<Hotkey> hotkey;
  std::wstring hotkeyText;
  std::wstring problem;  // a log line when the file or a value was not usable
};
// The settings in a file's content: {"hotkey": "Alt+`"}, or false, "" or
// "off" to switch the hotkey off; a missing key keeps its default. Content that
// is not a JSON object, or a hotkey that cannot be read, gives the defaults and
// a problem.
Settings ParseSettings(std::string_view content);
// settings.json in folder; a missing file means the defaults without a problem.
Settings LoadSettings(const std::wstring& folder);

// Registers the hotkey for the window (it gets WM_HOTKEY). Returns the log line
// when it could not be registered (the key is taken), else empty.
std::wstring RegisterConsoleHotkey(HWND window, const Settings& settings, int& registeredId);

}  // namespace qv
