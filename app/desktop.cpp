#include "app/desktop.h"

#include <shellapi.h>

#include <cstring>
#include <cwchar>

#include "base/handles.h"

namespace qv {

namespace {

constexpr int kClipboardAttempts = 10;
constexpr DWORD kClipboardRetryMs = 10;

// The clipboard, open for the lifetime of the object. Another program may hold
// it for a moment, so opening is tried a few times.
class OpenedClipboard {
 public:
  explicit OpenedClipboard(HWND owner) {
    for (int attempt = 0; attempt < kClipboardAttempts && !open_; ++attempt) {
      open_ = OpenClipboard(owner) != FALSE;
      if (!open_) Sleep(kClipboardRetryMs);
    }
  }
  ~OpenedClipboard() {
    if (open_) CloseClipboard();
  }
  OpenedClipboard(const OpenedClipboard&) = delete;
  OpenedClipboard& operator=(const OpenedClipboard&) = delete;
  explicit operator bool() const { return open_; }

 private:
  bool open_ = false;
};

}  // namespace

bool SetClipboardText(HWND owner, const std::wstring& text) {
  const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  UniqueGlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, bytes));
  if (!memory) return false;
  void* target = GlobalLock(memory.get());
  if (target == nullptr) return false;
  std::memcpy(target, text.c_str(), bytes);
  GlobalUnlock(memory.get());

  const OpenedClipboard clipboard(owner);
  if (!clipboard || !EmptyClipboard()) return false;
  if (SetClipboardData(CF_UNICODETEXT, memory.get()) == nullptr) return false;
  memory.release();  // the clipboard owns it now
  return true;
}

std::optional<std::wstring> GetClipboardText(HWND owner) {
  const OpenedClipboard clipboard(owner);
  if (!clipboard) return std::nullopt;
  HANDLE data = GetClipboardData(CF_UNICODETEXT);
  if (data == nullptr) return std::nullopt;
  const auto* source = static_cast<const wchar_t*>(GlobalLock(data));
  if (source == nullptr) return std::nullopt;
  const size_t capacity = GlobalSize(data) / sizeof(wchar_t);
  std::wstring text(source, wcsnlen(source, capacity));
  GlobalUnlock(data);
  return text;
}

bool OpenInShell(HWND owner, const std::wstring& target, bool folder) {
  const auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(owner, folder ? L"explore" : L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  return result > 32;
}

}  // namespace qv
