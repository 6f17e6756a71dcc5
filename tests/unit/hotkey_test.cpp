// The global hotkey's text, settings.json, and what the hotkey does to the window.
#include <gtest/gtest.h>

#include "app/hotkey.h"
#include "base/text.h"
#include "console/console_window.h"
#include "tests/support/test_files.h"

namespace qv {
namespace {

TEST(Hotkey, ReadsModifiersAndOneKey) {
  const struct {
    const wchar_t* text;
    bool valid;
    UINT modifiers;
    UINT key;
  } cases[] = {
      {L"Alt+`", true, MOD_ALT, VK_OEM_3},
      {L"ctrl+shift+k", true, MOD_CONTROL | MOD_SHIFT, 'K'},
      {L"Win+F12", true, MOD_WIN, VK_F12},
      {L"Control+Alt+Space", true, MOD_CONTROL | MOD_ALT, VK_SPACE},
      {L"Shift+7", true, MOD_SHIFT, '7'},
      {L"K", false, 0, 0},             // no modifier: it would take a key from typing
      {L"Alt+F25", false, 0, 0},
      {L"Alt+Alt+K", false, 0, 0},
      {L"Hyper+K", false, 0, 0},
      {L"Ctrl+", false, 0, 0},
      {L"Ctrl++", false, 0, 0},
      {L"", false, 0, 0},
  };
  for (const auto& c : cases) {
    const std::optional<Hotkey> hotkey = ParseHotkey(c.text);
    ASSERT_EQ(hotkey.has_value(), c.valid) << WideToUtf8(c.text);
    if (!hotkey) continue;
    EXPECT_EQ(hotkey->modifiers, c.modifiers) << WideToUtf8(c.text);
    EXPECT_EQ(hotkey->key, c.key) << WideToUtf8(c.text);
  }
}

TEST(Hotkey, SettingsFileChoosesOrSwitchesItOff) {
  const struct {
    const char* content;
    bool on;
    const wchar_t* text;
    bool problem;
  } cases[] = {
      {"{}", true, L"Alt+`", false},
      {R"({"hotkey": "Ctrl+Shift+Q", "other": 1})", true, L"Ctrl+Shift+Q", false},
      {R"({"hotkey": false})", false, L"", false},
      {R"({"hotkey": "off"})", false, L"", false},
      {R"({"hotkey": ""})", false, L"", false},
      {R"({"hotkey": "Q"})", true, L"Alt+`", true},  // unreadable: the default and one log line
      {R"({"hotkey": 12})", true, L"Alt+`", true},
      {R"({"hotkey": )", true, L"Alt+`", true},       // not JSON
      {"[1, 2]", true, L"Alt+`", true},
  };
  for (const auto& c : cases) {
    const Settings settings = ParseSettings(c.content);
    EXPECT_EQ(settings.hotkey.has_value(), c.on) << c.content;
    EXPECT_EQ(settings.hotkeyText, c.text) << c.content;
    EXPECT_EQ(!settings.problem.empty(), c.problem) << c.content;
  }
  test::TempFolder folder;
  EXPECT_TRUE(LoadSettings(folder.path()).problem.empty());  // no file: defaults, nothing to say
  folder.Write(L"settings.json", "\xEF\xBB\xBF{\"hotkey\": \"Win+F9\"}");
  EXPECT_EQ(LoadSettings(folder.path()).hotkeyText, L"Win+F9");
}

TEST(Hotkey, AKeyTakenElsewhereIsOneLogLineAndNoHotkey) {
  const HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                      GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(window, nullptr);
  Settings settings = ParseSettings(R"({"hotkey": "Ctrl+Alt+Shift+F11"})");
  ASSERT_TRUE(RegisterHotKey(nullptr, 99, settings.hotkey->modifiers, settings.hotkey->key));  // someone else's
  int id = -1;
  EXPECT_EQ(RegisterConsoleHotkey(window, settings, id),
            L"[快捷键] Ctrl+Alt+Shift+F11 已被其他程序占用，本次运行不使用全局快捷键。");
  EXPECT_EQ(id, 0);
  UnregisterHotKey(nullptr, 99);
  EXPECT_EQ(RegisterConsoleHotkey(window, settings, id), L"");
  EXPECT_NE(id, 0);
  UnregisterHotKey(window, id);
  settings.hotkey.reset();  // switched off: nothing registered, nothing said
  EXPECT_EQ(RegisterConsoleHotkey(window, settings, id), L"");
  EXPECT_EQ(id, 0);
  DestroyWindow(window);
}

TEST(Hotkey, HidesTheWindowOnlyWhenItIsInFront) {
  const struct {
    bool visible, minimized, foreground;
    HotkeyAction action;
  } cases[] = {
      {true, false, true, HotkeyAction::kHide},
      {true, false, false, HotkeyAction::kShow},  // behind another window
      {true, true, false, HotkeyAction::kShow},   // minimized
      {true, true, true, HotkeyAction::kShow},
      {false, false, false, HotkeyAction::kShow},  // hidden by the hotkey before
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecideHotkeyAction(c.visible, c.minimized, c.foreground), c.action)
        << c.visible << c.minimized << c.foreground;
  }
}

}  // namespace
}  // namespace qv
