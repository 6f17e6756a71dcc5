#include "update/announced_version.h"

#include <algorithm>
#include <cctype>

#include "base/text.h"

namespace qv {
namespace {

constexpr std::string_view kVersionMarker = "quorvantline-version";
constexpr std::string_view kContentWord = "content";

// Only "A" to "Z" change, so byte offsets stay those of the original.
std::string LowerAscii(std::string_view bytes) {
  std::string lower(bytes);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

bool IsSpaceByte(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// C0 (zero included), DEL and C1: text that would end or break the notice's line.
bool IsControlCharacter(wchar_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

}  // namespace

std::wstring FindAnnouncedVersion(std::string_view body) {
  const std::size_t marker = LowerAscii(body).find(kVersionMarker);
  if (marker == std::string::npos || marker == 0) return {};
  // The tag around the marker, wherever the marker stands inside it.
  const std::size_t open = body.rfind('<', marker - 1);
  const std::size_t close = body.find('>', marker + kVersionMarker.size());
  if (open == std::string::npos || close == std::string::npos) return {};
  const std::string_view tag = body.substr(open, close - open + 1);

  const std::size_t word = LowerAscii(tag).find(kContentWord);
  if (word == std::string::npos) return {};
  std::size_t pos = word + kContentWord.size();
  while (pos < tag.size() && IsSpaceByte(tag[pos])) ++pos;
  if (pos >= tag.size() || tag[pos] != '=') return {};
  ++pos;
  while (pos < tag.size() && IsSpaceByte(tag[pos])) ++pos;
  if (pos >= tag.size() || (tag[pos] != '"' && tag[pos] != '\'')) return {};
  const char quote = tag[pos];
  const std::size_t valueStart = pos + 1;
  const std::size_t valueEnd = tag.find(quote, valueStart);
  if (valueEnd == std::string::npos) return {};
  std::wstring value = Utf8ToWide(tag.substr(valueStart, valueEnd - valueStart));
  if (std::any_of(value.begin(), value.end(), IsControlCharacter)) return {};
  return value;
}

std::vector<std::int32_t> VersionNumbers(std::wstring_view text) {
  std::vector<std::int32_t> numbers;
  const auto isDigit = [](wchar_t c) { return c >= L'0' && c <= L'9'; };
  std::size_t pos = 0;
  while (true) {
    while (pos < text.size() && !isDigit(text[pos])) ++pos;
    if (pos >= text.size()) return numbers;
    // 32-bit arithmetic that wraps instead of overflowing: runs that long are not versions.
    std::uint32_t value = 0;
    while (pos < text.size() && isDigit(text[pos])) {
      value = value * 10u + static_cast<std::uint32_t>(text[pos] - L'0');
      ++pos;
    }
    numbers.push_back(static_cast<std::int32_t>(value));
    if (pos >= text.size() || text[pos] != L'.') return numbers;
    ++pos;
  }
}

bool IsNewerVersion(std::wstring_view announced, std::wstring_view current) {
  const std::vector<std::int32_t> a = VersionNumbers(announced);
  if (a.empty()) return false;
  const std::vector<std::int32_t> b = VersionNumbers(current);
  const std::size_t count = std::max(a.size(), b.size());
  for (std::size_t i = 0; i < count; ++i) {
    const std::int32_t mine = i < b.size() ? b[i] : 0;
    const std::int32_t theirs = i < a.size() ? a[i] : 0;
    if (mine < theirs) return true;
    if (mine > theirs) return false;
  }
  return false;
}

std::wstring DisplayedVersion(std::wstring_view announced) {
  if (!announced.empty() && (announced.front() == L'v' || announced.front() == L'V')) announced.remove_prefix(1);
  return std::wstring(announced);
}

}  // namespace qv
