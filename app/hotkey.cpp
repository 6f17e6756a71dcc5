#include "app/hotkey.h"

#include <nlohmann/json.hpp>

#include <cwctype>

#include "base/files.h"
#include "base/text.h"

namespace qv {

namespace {

constexpr int kHotkeyId = 1;

std::optional<UINT> KeyCode(const std::wstring& name) {
  if (name.size() == 1) {
    const wchar_t c = static_cast<wchar_t>(std::towupper(name[0]));
    if ((c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9')) return static_cast<UINT>(c);
    if (c == L'`') return VK_OEM_3;
    return std::nullopt;
  }
  if (name == L"space") return VK_SPACE;
  if (name.size() <= 3 && name[0] == L'f') {
    int number = 0;
    for (std::size_t i = 1; i < name.size(); ++i) {
      if (!std::iswdigit(name[i])) return std::nullopt;
      number = number * 10 + (name[i] - L'0');
    }
    if (number >= 1 && number <= 24) return static_cast<UINT>(VK_F1 + number - 1);
  }
  return std::nullopt;
}

Settings Defaults() {
  Settings settings;
  settings.hotkey = ParseHotkey(kDefaultHotkeyText);
  settings.hotkeyText = kDefaultHotkeyText;
  return settings;
}

}  // namespace

std::optional<Hotkey> ParseHotkey(std::wstring_view text) {
  Hotkey hotkey;
  std::wstring rest = ToLower(text);
  for (;;) {
    const std::size_t plus = rest.find(L'+', 1);  // "+" alone is no key; "Ctrl++" is not read either
    if (plus == std::wstring::npos) break;
    const std::wstring part = rest.substr(0, plus);
    rest.erase(0, plus + 1);
    UINT modifier = 0;
    if (part == L"ctrl" || part == L"control") modifier = MOD_CONTROL;
    if (part == L"alt") modifier = MOD_ALT;
    if (part == L"shift") modifier = MOD_SHIFT;
    if (part == L"win") modifier = MOD_WIN;
    if (modifier == 0 || (hotkey.modifiers & modifier) != 0) return std::nullopt;
    hotkey.modifiers |= modifier;
  }
  const std::optional<UINT> key = KeyCode(rest);
  if (!key || hotkey.modifiers == 0) return std::nullopt;
  hotkey.key = *key;
  return hotkey;
}

Settings ParseSettings(std::string_view content) {
  using Json = nlohmann::json;
  Settings settings = Defaults();
  const Json document = Json::parse(content.begin(), content.end(), nullptr, /*allow_exceptions=*/false);
  if (!document.is_object()) {
    settings.problem = L"[设置] settings.json 不是有效的 JSON 对象，已使用默认设置。";
    return settings;
  }
  const auto found = document.find("hotkey");
  if (found == document.end()) return settings;
  if (found->is_boolean() && !found->get<bool>()) {
    settings.hotkey.reset();
    settings.hotkeyText.clear();
    return settings;
  }
  if (found->is_string()) {
    const std::wstring text = Utf8ToWide(found->get<std::string>());
    if (text.empty() || ToLower(text) == L"off") {
      settings.hotkey.reset();
      settings.hotkeyText.clear();
      return settings;
    }
    if (const std::optional<Hotkey> hotkey = ParseHotkey(text)) {
      settings.hotkey = hotkey;
      settings.hotkeyText = text;
      return settings;
    }
  }
  settings.problem = std::wstring(L"[设置] settings.json 里的 hotkey 无法识别，已使用默认的 ") + kDefaultHotkeyText + L"。";
  return settings;
}

Settings LoadSettings(const std::wstring& folder) {
  const std::wstring path = folder + L"\\" + kSettingsFileName;
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return Defaults();
  std::string content;
  if (!ReadWholeFile(path, content)) {
    Settings settings = Defaults();
    settings.problem = L"[设置] 无法读取 settings.json，已使用默认设置。";
    return settings;
  }
  DropByteOrderMark(content);
  return ParseSettings(content);
}

std::wstring RegisterConsoleHotkey(HWND window, const Settings& settings, int& registeredId) {
  registeredId = 0;
  if (!settings.hotkey) return std::wstring();
  if (!RegisterHotKey(window, kHotkeyId, settings.hotkey->modifiers | MOD_NOREPEAT, settings.hotkey->key)) {
    return L"[快捷键] " + settings.hotkeyText + L" 已被其他程序占用，本次运行不使用全局快捷键。";
  }
  registeredId = kHotkeyId;
  return std::wstring();
}

}  // namespace qv
