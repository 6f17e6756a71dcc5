// Hints for the errors newcomers meet most, added to the text the host prints
// for an error that no script caught (a script's own pcall sees Lua's text).
#include "host/error_hints.h"

#include <array>
#include <string_view>

#include "base/text.h"
#include "host/lua/call_limits.h"

namespace qv {

namespace {

// What the sandbox leaves out, as a script would name it.
constexpr std::array<std::wstring_view, 12> kMissingNames = {
    L"os", L"io", L"package", L"coroutine", L"debug", L"require",
    L"load", L"loadfile", L"dofile", L"collectgarbage", L"loadstring", L"module",
};

std::wstring HintFor(std::wstring_view firstLine) {
  for (const std::wstring_view name : kMissingNames) {
    for (const std::wstring_view use : {L"attempt to index a nil value (global '", L"attempt to call a nil value (global '"}) {
      const std::wstring pattern = std::wstring(use) + std::wstring(name) + L"')";
      if (firstLine.find(pattern) != std::wstring_view::npos) {
        return L"提示：插件里没有 " + std::wstring(name) +
               L"。沙盒不提供 io、os、package、coroutine、debug 库和 require、load、loadfile、dofile、collectgarbage。";
      }
    }
  }
  if (firstLine.find(L"not enough memory") != std::wstring_view::npos) {
    return L"提示：每个插件的 Lua 环境最多使用 " + DecimalText(static_cast<long long>(kStateMemoryLimit >> 20)) +
           L" MiB 内存，这个插件已经用到了上限。";
  }
  return {};
}

}  // namespace

std::wstring WithNewcomerHint(const std::wstring& error) {
  const std::size_t lineEnd = error.find(L'\n');
  const std::wstring hint = HintFor(std::wstring_view(error).substr(0, lineEnd));
  if (hint.empty()) return error;
  if (lineEnd == std::wstring::npos) return error + L"\n" + hint;
  return error.substr(0, lineEnd) + L"\n" + hint + error.substr(lineEnd);
}

}  // namespace qv
