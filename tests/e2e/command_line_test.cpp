// The command line in the real window: Tab and its candidate list, the inline
// suggestion taken with Right, Ctrl+R, the running hint with Esc's one-line
// stop, a paste of several lines, the input limit, the history kept across a
// restart, and the global hotkey.
#include <cstring>

#include "tests/e2e/program_fixture.h"

namespace qv::e2e {
namespace {

constexpr char kSpinPlugin[] = R"lua(
host.register{ name = "spin", help = "一直转", run = function() while true do end end }
host.register{ name = "spell", help = "拼写", run = function(args) print("拼写 " .. (args[1] or "")) end,
  complete = function() return { "alpha", "beta" } end }
)lua";

// Presses Alt+` through the system's input queue, as a user would.
void PressGlobalHotkey() {
  INPUT keys[4]{};
  for (INPUT& key : keys) key.type = INPUT_KEYBOARD;
  keys[0].ki.wVk = VK_MENU;
  keys[1].ki.wVk = VK_OEM_3;
  keys[2].ki.wVk = VK_OEM_3;
  keys[2].ki.dwFlags = KEYEVENTF_KEYUP;
  keys[3].ki.wVk = VK_MENU;
  keys[3].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(4, keys, sizeof(INPUT));
}

void PutOnClipboard(const std::wstring& text) {
  ASSERT_TRUE(WaitUntil([] { return OpenClipboard(nullptr) != FALSE; }, milliseconds(5000)));
  EmptyClipboard();
  const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
  std::memcpy(GlobalLock(memory), text.c_str(), bytes);
  GlobalUnlock(memory);
  SetClipboardData(CF_UNICODETEXT, memory);
  CloseClipboard();
}

HWND FocusOf(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}

TEST_F(ProgramTest, TabSuggestionSearchRunningHintHistoryAndHotkey) {
  WritePlugin(L"spin.lua", kSpinPlugin);
  StartConsole();
  EXPECT_TRUE(app.WaitForLog(L"第一次使用？输入 ls 查看全部命令，按 Tab 补全命令名，命令运行时按 Esc 停止。"));

  // Tab: "sp" has two matches; the second Tab lists them with their help.
  app.Type(L"sp");
  app.PressKey(VK_TAB);
  ASSERT_TRUE(app.WaitForInput(L"sp"));
  app.PressKey(VK_TAB);
  ASSERT_TRUE(app.WaitForLog(L"  spell  拼写\r\n"));
  EXPECT_TRUE(app.WaitForLog(L"  spin   一直转\r\n"));
  app.Type(L"e");
  app.PressKey(VK_TAB);
  ASSERT_TRUE(app.WaitForInput(L"spell "));
  app.Type(L"a");
  app.PressKey(VK_TAB);  // the argument, through the command's complete function
  ASSERT_TRUE(app.WaitForInput(L"spell alpha "));
  SaveScreenshot(L"tab-candidates");
  app.PressKey(VK_RETURN);
  ASSERT_TRUE(app.WaitForLog(L"拼写 alpha"));

  // The inline suggestion, taken with Right at the end of the line.
  Run(L"echo 你好 世界", L"你好 世界");
  app.Type(L"ec");
  ASSERT_TRUE(app.WaitForInput(L"ec"));
  SaveScreenshot(L"inline-suggestion");
  app.PressKey(VK_RIGHT);
  ASSERT_TRUE(app.WaitForInput(L"echo 你好 世界"));
  app.PressKey(VK_ESCAPE);

  // Ctrl+R (its character): each key narrows, Enter runs the match.
  app.Type(L"\x12" L"alp");
  ASSERT_TRUE(app.WaitForInput(L"spell alpha"));
  SaveScreenshot(L"history-search");
  app.PressKey(VK_RETURN);
  ASSERT_TRUE(app.WaitForLogMatch([](const std::wstring& log) { return CountOccurrences(log, L"拼写 alpha") == 2; }));

  // A paste of several lines runs each complete line as typed; the rest stays.
  PutOnClipboard(L"echo 粘贴一\r\necho 粘贴二\r\nech");
  PostMessageW(app.InputLine(), WM_PASTE, 0, 0);
  ASSERT_TRUE(app.WaitForInput(L"ech"));
  app.PressKey(VK_ESCAPE);
  EXPECT_TRUE(app.WaitForLog(L"> echo 粘贴一\r\n"));
  EXPECT_TRUE(app.WaitForLog(L"> echo 粘贴二\r\n"));
  // More than 20 lines ask first, No being the default.
  std::wstring many;
  for (int i = 1; i <= 21; ++i) many += L"echo 多行 " + std::to_wstring(i) + L"\r\n";
  PutOnClipboard(many);
  PostMessageW(app.InputLine(), WM_PASTE, 0, 0);
  const HWND box = app.WaitForMessageBox();
  ASSERT_NE(box, nullptr);
  EXPECT_NE(MessageBoxText(box).find(L"21 行"), std::wstring::npos) << Narrow(MessageBoxText(box));
  EXPECT_TRUE(GetWindowLongW(GetDlgItem(box, IDNO), GWL_STYLE) & BS_DEFPUSHBUTTON);
  EXPECT_TRUE(PressMessageBoxButton(box, IDNO));
  app.Settle();
  EXPECT_EQ(app.ReadLog().find(L"> echo 多行"), std::wstring::npos);
  // A line cut at the input's limit says so.
  app.PressKey(VK_ESCAPE);
  app.Type(std::wstring(4100, L'a'));
  EXPECT_TRUE(app.WaitForLog(L"输入超过 4096 个字符，超出的部分已截去。"));
  EXPECT_EQ(app.InputText().size(), 4096u);
  app.PressKey(VK_ESCAPE);

  // While a command runs the prompt and the empty line say so; Esc stops it in one line.
  app.Enter(L"spin");
  Sleep(400);
  SaveScreenshot(L"running-hint");
  PostMessageW(app.InputLine(), WM_KEYDOWN, VK_ESCAPE, 1);
  ASSERT_TRUE(app.WaitForLog(L"已停止：spin\r\n"));
  EXPECT_EQ(app.ReadLog().find(L"插件错误"), std::wstring::npos);

  // The hotkey is registered: the desktop refuses it to anyone else.
  if (RegisterHotKey(nullptr, 7, MOD_ALT | MOD_NOREPEAT, VK_OEM_3)) {
    UnregisterHotKey(nullptr, 7);
    ADD_FAILURE() << "Alt+` was free: the program did not register it";
  }
  // In front, it hides the window; again, it brings it back with the focus in the input line.
  const HWND main = app.MainWindow();
  SetForegroundWindow(main);
  app.Settle();
  PressGlobalHotkey();
  if (!WaitUntil([&] { return !IsWindowVisible(main); }, milliseconds(3000))) {
    // The key did not reach the hotkey through this display's input: the message it makes.
    std::printf("Alt+` through SendInput did not arrive; posting WM_HOTKEY\n");
    PostMessageW(main, WM_HOTKEY, 1, MAKELPARAM(MOD_ALT, VK_OEM_3));
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(main); }, milliseconds(3000)));
  }
  PressGlobalHotkey();
  if (!WaitUntil([&] { return IsWindowVisible(main) != FALSE; }, milliseconds(3000))) {
    std::printf("Alt+` through SendInput did not arrive; posting WM_HOTKEY\n");
    PostMessageW(main, WM_HOTKEY, 1, MAKELPARAM(MOD_ALT, VK_OEM_3));
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(main) != FALSE; }, milliseconds(3000)));
  }
  EXPECT_TRUE(WaitUntil([&] { return FocusOf(main) == app.InputLine(); }, milliseconds(3000)));

  // The history outlives the run: the next copy finds the lines, and no first-start line.
  app.Enter(L"bye");
  ASSERT_EQ(app.WaitForExit(), 0);
  EXPECT_EQ(ReadBytes(pluginsFolder + L"\\plugin-manager\\history.txt"),
            "spell alpha\necho 你好 世界\nspell alpha\necho 粘贴一\necho 粘贴二\nspin\nbye\n");
  StartConsole();
  app.PressKey(VK_UP);
  EXPECT_TRUE(app.WaitForInput(L"bye"));
  EXPECT_EQ(app.ReadLog().find(L"第一次使用"), std::wstring::npos);
}

}  // namespace
}  // namespace qv::e2e
