#include "tests/support/driver.h"

#include <cstdio>
#include <cwchar>
#include <thread>

namespace qv::e2e {

namespace {

constexpr milliseconds kPollInterval{15};
constexpr UINT kSendTimeoutMs = 2000;

bool SendWithTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* result) {
  DWORD_PTR value = 0;
  LRESULT ok = SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs, &value);
  if (result != nullptr) *result = value;
  return ok != 0;
}

struct EnumQuery {
  DWORD processId;
  const wchar_t* className;
  std::vector<HWND>* found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM parameter) {
  auto* query = reinterpret_cast<EnumQuery*>(parameter);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != query->processId) return TRUE;
  if (query->className != nullptr && ClassOf(window) != query->className) return TRUE;
  query->found->push_back(window);
  return TRUE;
}

struct ChildQuery {
  std::wstring className;
  std::vector<HWND>* found;
};

BOOL CALLBACK CollectChild(HWND window, LPARAM parameter) {
  auto* query = reinterpret_cast<ChildQuery*>(parameter);
  if (ClassOf(window) == query->className) query->found->push_back(window);
  return TRUE;
}

std::vector<HWND> Children(HWND parent, const wchar_t* className) {
  std::vector<HWND> found;
  ChildQuery query{className, &found};
  EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&query));
  return found;
}

}  // namespace

std::wstring Widen(const std::string& utf8) {
  if (utf8.empty()) return {};
  int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring text(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), length);
  return text;
}

std::string Narrow(const std::wstring& text) {
  if (text.empty()) return {};
  int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), length, nullptr, nullptr);
  return bytes;
}

std::wstring WindowsPath(const std::string& path) {
  std::wstring result = Widen(path);
  if (!result.empty() && result[0] == L'/') result = L"Z:" + result;
  for (wchar_t& c : result) {
    if (c == L'/') c = L'\\';
  }
  return result;
}

bool WaitUntil(const std::function<bool()>& condition, milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(kPollInterval);
  }
}

// ---- Windows of any process ---------------------------------------------------

std::vector<HWND> TopLevelWindows(DWORD processId, const wchar_t* className) {
  std::vector<HWND> found;
  EnumQuery query{processId, className, &found};
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&query));
  return found;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = {};
  int length = GetClassNameW(window, name, 256);
  return std::wstring(name, length > 0 ? static_cast<size_t>(length) : 0);
}

std::wstring TextOf(HWND window) {
  DWORD_PTR length = 0;
  if (!SendWithTimeout(window, WM_GETTEXTLENGTH, 0, 0, &length)) return {};
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!SendWithTimeout(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), &copied)) return {};
  text.resize(copied <= length ? copied : length);
  return text;
}

std::wstring MessageBoxText(HWND box) {
  std::wstring text;
  for (HWND label : Children(box, L"Static")) {
    std::wstring part = TextOf(label);
    if (part.empty()) continue;
    if (!text.empty()) text += L"\n";
    text += part;
  }
  return text;
}

bool PressMessageBoxButton(HWND box, int buttonId) {
  HWND button = GetDlgItem(box, buttonId);
  if (button == nullptr) return false;
  return PostMessageW(button, BM_CLICK, 0, 0) != 0;
}

SIZE ClientSize(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  return SIZE{client.right - client.left, client.bottom - client.top};
}

void ClickAt(HWND window, int x, int y) {
  LPARAM point = MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y));
  PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, point);
  PostMessageW(window, WM_LBUTTONUP, 0, point);
}

int ScaleFor(int pixels, int dpi) { return MulDiv(pixels, dpi, 96); }

// ---- The program ----------------------------------------------------------------

AppProcess::~AppProcess() {
  Kill();
  if (process_ != nullptr) CloseHandle(process_);
}

bool AppProcess::Start(const std::wstring& exe,
                       const std::vector<std::pair<std::wstring, std::wstring>>& environment) {
  // A copy started before by this object (a test that restarts) is left behind.
  Kill();
  if (process_ != nullptr) CloseHandle(std::exchange(process_, nullptr));
  processId_ = 0;
  main_ = nullptr;
  // An environment block: ours, with the given variables replaced or added.
  std::vector<std::wstring> variables;
  if (wchar_t* block = GetEnvironmentStringsW()) {
    for (const wchar_t* entry = block; *entry != L'\0'; entry += wcslen(entry) + 1) {
      std::wstring line = entry;
      bool replaced = false;
      for (const auto& [name, value] : environment) {
        if (_wcsnicmp(line.c_str(), (name + L"=").c_str(), name.size() + 1) == 0) replaced = true;
      }
      if (!replaced) variables.push_back(line);
    }
    FreeEnvironmentStringsW(block);
  }
  for (const auto& [name, value] : environment) variables.push_back(name + L"=" + value);
  std::wstring block;
  for (const std::wstring& line : variables) block += line + L'\0';
  block += L'\0';

  std::wstring commandLine = L"\"" + exe + L"\"";
  size_t folderEnd = exe.find_last_of(L'\\');
  std::wstring folder = folderEnd == std::wstring::npos ? std::wstring() : exe.substr(0, folderEnd);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                      block.data(), folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
    return false;
  }
  CloseHandle(info.hThread);
  process_ = info.hProcess;
  processId_ = info.dwProcessId;
  return true;
}

bool AppProcess::Attach(DWORD processId) {
  process_ = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE, processId);
  if (process_ == nullptr) return false;
  processId_ = processId;
  return true;
}

void AppProcess::Detach() {
  if (process_ != nullptr) CloseHandle(process_);
  process_ = nullptr;
  processId_ = 0;
}

bool AppProcess::Running() const { return process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

long AppProcess::WaitForExit(milliseconds timeout) {
  if (process_ == nullptr) return -1;
  if (WaitForSingleObject(process_, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  GetExitCodeProcess(process_, &code);
  return static_cast<long>(code);
}

void AppProcess::Kill() {
  if (Running()) {
    TerminateProcess(process_, 99);
    WaitForSingleObject(process_, 5000);
  }
}

HWND AppProcess::WaitForMainWindow(milliseconds timeout) {
  if (HWND found = WaitForWindow(kMainClass, timeout)) main_ = found;
  return main_;
}

bool AppProcess::WaitForConsole(milliseconds timeout) {
  if (main_ == nullptr && WaitForMainWindow(timeout) == nullptr) return false;
  return WaitUntil([&] { return IsWindowVisible(InputLine()) && IsWindowVisible(OutputLog()); }, timeout);
}

HWND AppProcess::OutputLog() const { return main_ == nullptr ? nullptr : GetDlgItem(main_, kOutputLogId); }
HWND AppProcess::InputLine() const { return main_ == nullptr ? nullptr : GetDlgItem(main_, kInputLineId); }

HWND AppProcess::WaitForWindow(const wchar_t* className, milliseconds timeout) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        for (HWND window : TopLevelWindows(processId_, className)) {
          if (IsWindowVisible(window)) {
            found = window;
            return true;
          }
        }
        return !Running();
      },
      timeout);
  return found;
}

HWND AppProcess::MenuWindow() const {
  if (main_ == nullptr) return nullptr;
  std::vector<HWND> menus = Children(main_, kMenuClass);
  return menus.empty() ? nullptr : menus.front();
}

void AppProcess::Type(const std::wstring& text) {
  HWND input = InputLine();
  for (wchar_t c : text) PostMessageW(input, WM_CHAR, c, 1);
}

void AppProcess::PressKey(UINT virtualKey, HWND target) {
  HWND window = target != nullptr ? target : InputLine();
  UINT scan = MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
  PostMessageW(window, WM_KEYDOWN, virtualKey, 1 | (static_cast<LPARAM>(scan) << 16));
  PostMessageW(window, WM_KEYUP, virtualKey, 1 | (static_cast<LPARAM>(scan) << 16) | (3LL << 30));
}

void AppProcess::PressCtrlKey(UINT virtualKey) {
  // The program asks GetKeyState / GetAsyncKeyState whether Ctrl is down; a
  // posted message does not change either, so Ctrl goes through the input queue.
  INPUT control{};
  control.type = INPUT_KEYBOARD;
  control.ki.wVk = VK_CONTROL;
  SendInput(1, &control, sizeof control);
  Settle();
  HWND input = InputLine();
  UINT scan = MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
  PostMessageW(input, WM_KEYDOWN, virtualKey, 1 | (static_cast<LPARAM>(scan) << 16));
  Settle();
  control.ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(1, &control, sizeof control);
  Settle();
}

void AppProcess::Enter(const std::wstring& line) {
  Type(line);
  PressKey(VK_RETURN);
}

std::wstring AppProcess::InputText() const { return TextOf(InputLine()); }

bool AppProcess::WaitForInput(const std::wstring& text, milliseconds timeout) {
  Settle(timeout);
  return WaitUntil([&] { return InputText() == text; }, timeout);
}

std::wstring AppProcess::ReadLog() const { return TextOf(OutputLog()); }

bool AppProcess::WaitForLog(const std::wstring& text, milliseconds timeout) {
  return WaitForLogMatch([&](const std::wstring& log) { return log.find(text) != std::wstring::npos; }, timeout);
}

bool AppProcess::WaitForLogMatch(const std::function<bool(const std::wstring&)>& test, milliseconds timeout) {
  bool matched = false;
  WaitUntil(
      [&] {
        matched = test(ReadLog());
        return matched || !Running();
      },
      timeout);
  return matched;
}

bool AppProcess::Settle(milliseconds timeout) const {
  // A message sent from another thread is handled before anything posted, so
  // a posted marker tells when the posted messages before it have been handled:
  // the output log's text limit (1000000 in the program; anything larger is
  // harmless) is set to a fresh value and read back until it shows.
  HWND view = OutputLog();
  if (view == nullptr) return false;
  static WPARAM marker = 1000000;
  const WPARAM expected = ++marker;
  PostMessageW(view, EM_SETLIMITTEXT, expected, 0);
  return WaitUntil(
      [&] {
        DWORD_PTR limit = 0;
        return SendWithTimeout(view, EM_GETLIMITTEXT, 0, 0, &limit) && limit == expected;
      },
      timeout);
}

// ---- The numbered log --------------------------------------------------------------

std::vector<LogLine> ParseLog(const std::wstring& log) {
  std::vector<LogLine> lines;
  if (log.empty()) return lines;
  size_t start = 0;
  for (;;) {
    // The log's last line ends with "\r\n" when its text did: nothing follows.
    if (start == log.size()) break;
    size_t end = log.find(L"\r\n", start);
    std::wstring line = log.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
    LogLine parsed{-1, line};
    size_t bar = line.find(L" | ");
    // A display line under a blank number goes on with the line above it.
    if (bar != std::wstring::npos && bar >= 3 && !lines.empty() && lines.back().number > 0 &&
        line.find_first_not_of(L' ') == bar + 1) {
      lines.back().text += line.substr(bar + 3);
      if (end == std::wstring::npos) break;
      start = end + 2;
      continue;
    }
    if (bar != std::wstring::npos && bar >= 3) {
      std::wstring number = line.substr(0, bar);
      size_t digits = number.find_first_not_of(L' ');
      bool valid = digits != std::wstring::npos && (bar == 3 || digits == 0);
      for (size_t i = digits; valid && i < number.size(); ++i) valid = iswdigit(number[i]) != 0;
      if (valid) parsed = LogLine{std::stoi(number.substr(digits)), line.substr(bar + 3)};
    }
    lines.push_back(parsed);
    if (end == std::wstring::npos) break;
    start = end + 2;
  }
  return lines;
}

bool NumbersConsecutive(const std::vector<LogLine>& lines, std::wstring* problem) {
  for (size_t i = 0; i < lines.size(); ++i) {
    bool ok = lines[i].number >= 1 && (i == 0 || lines[i].number == lines[i - 1].number + 1);
    if (!ok) {
      if (problem != nullptr) {
        *problem = L"line " + std::to_wstring(i) + L" numbered " + std::to_wstring(lines[i].number) + L": " +
                   lines[i].text;
      }
      return false;
    }
  }
  return true;
}

int FindLine(const std::vector<LogLine>& lines, const std::wstring& text, int start) {
  for (int i = start < 0 ? 0 : start; i < static_cast<int>(lines.size()); ++i) {
    if (lines[static_cast<size_t>(i)].text == text) return i;
  }
  return -1;
}

int FindLineStarting(const std::vector<LogLine>& lines, const std::wstring& prefix, int start) {
  for (int i = start < 0 ? 0 : start; i < static_cast<int>(lines.size()); ++i) {
    if (lines[static_cast<size_t>(i)].text.rfind(prefix, 0) == 0) return i;
  }
  return -1;
}

int CountOccurrences(const std::wstring& log, const std::wstring& text) {
  int count = 0;
  for (size_t at = log.find(text); at != std::wstring::npos; at = log.find(text, at + text.size())) ++count;
  return count;
}

// ---- Screenshots ------------------------------------------------------------------

void SaveScreenshot(const std::wstring& name, DWORD settleMs) {
  wchar_t folder[MAX_PATH] = {};
  if (GetEnvironmentVariableW(L"QV_E2E_SHOT_DIR", folder, MAX_PATH) == 0) return;
  Sleep(settleMs);
  int width = GetSystemMetrics(SM_CXSCREEN);
  int height = GetSystemMetrics(SM_CYSCREEN);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap != nullptr) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    GdiFlush();
    DWORD stride = static_cast<DWORD>((width * 3 + 3) & ~3);
    DWORD imageSize = stride * static_cast<DWORD>(height);
    BITMAPFILEHEADER header{};
    header.bfType = 0x4D42;
    header.bfOffBits = sizeof header + sizeof info.bmiHeader;
    header.bfSize = header.bfOffBits + imageSize;
    std::string content(reinterpret_cast<const char*>(&header), sizeof header);
    content.append(reinterpret_cast<const char*>(&info.bmiHeader), sizeof info.bmiHeader);
    content.append(static_cast<const char*>(bits), imageSize);
    WriteBytes(WindowsPath(Narrow(folder)) + L"\\" + name + L".bmp", content);
    SelectObject(memory, old);
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
}

ScopedDpi::ScopedDpi(DWORD dpi) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return;
  }
  DWORD size = sizeof previous_;
  DWORD type = 0;
  hadValue_ = RegQueryValueExW(key, L"LogPixels", nullptr, &type, reinterpret_cast<BYTE*>(&previous_), &size) ==
                  ERROR_SUCCESS &&
              type == REG_DWORD;
  RegSetValueExW(key, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi);
  RegCloseKey(key);
}

ScopedDpi::~ScopedDpi() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, KEY_WRITE, &key) != ERROR_SUCCESS) return;
  if (hadValue_) {
    RegSetValueExW(key, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&previous_), sizeof previous_);
  } else {
    RegDeleteValueW(key, L"LogPixels");
  }
  RegCloseKey(key);
}

}  // namespace qv::e2e
