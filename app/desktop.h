// What the host's desktop actions do on Windows: text on the clipboard, and
// addresses and folders handed to the shell. Called on the window thread.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace qv {

// Puts the text on the clipboard as Unicode text, owned by the window.
bool SetClipboardText(HWND owner, const std::wstring& text);
// The clipboard's Unicode text, or nothing when it holds none or cannot be opened.
std::optional<std::wstring> GetClipboardText(HWND owner);
// Opens an address in its default program, or shows a folder in the file manager.
bool OpenInShell(HWND owner, const std::wstring& target, bool folder);

}  // namespace qv
