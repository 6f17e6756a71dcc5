#include "base/text.h"

#include <windows.h>

#include <cwctype>
#include <string>

namespace qv {

std::wstring Utf8ToWide(std::string_view bytes) {
  if (bytes.empty()) return {};
  const int size = static_cast<int>(bytes.size());
  const int needed = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), size, nullptr, 0);
  if (needed <= 0) return {};
  std::wstring out(static_cast<size_t>(needed), L'\0');
  const int written = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), size, out.data(), needed);
  if (written <= 0) return {};
  out.resize(static_cast<size_t>(written));
  return out;
}

std::string WideToUtf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int needed = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return {};
  std::string out(static_cast<size_t>(needed), '\0');
  const int written = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, out.data(), needed, nullptr, nullptr);
  if (written <= 0) return {};
  out.resize(static_cast<size_t>(written));
  return out;
}

bool IsValidUtf8(std::string_view bytes) {
  size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    if (lead < 0x80) {
      ++i;
      continue;
    }
    // Length of the sequence and the allowed range of its second byte, which
    // rules out overlong forms, surrogates and code points past U+10FFFF.
    size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (bytes.size() - i < length) return false;
    for (size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(bytes[i + k]);
      if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF)) return false;
    }
    i += length;
  }
  return true;
}

void DropByteOrderMark(std::string& content) {
  if (content.compare(0, 3, "\xEF\xBB\xBF") == 0) content.erase(0, 3);
}

std::wstring FileNameOf(std::wstring_view path) {
  const size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring_view::npos) return std::wstring(path);
  return std::wstring(path.substr(slash + 1));
}

bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (text[i] != prefix[i] && std::towlower(text[i]) != std::towlower(prefix[i])) return false;
  }
  return true;
}

std::wstring ToLower(std::wstring_view text) {
  std::wstring out(text);
  for (wchar_t& c : out) c = static_cast<wchar_t>(std::towlower(c));
  return out;
}

std::wstring WidenAscii(std::string_view ascii) {
  std::wstring out;
  out.reserve(ascii.size());
  for (char c : ascii) out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
  return out;
}

std::wstring TwoDigits(unsigned short value) {
  std::wstring digits = WidenAscii(std::to_string(value));
  if (digits.size() < 2) digits.insert(0, 1, L'0');
  return digits;
}

std::wstring DecimalText(long long value) { return WidenAscii(std::to_string(value)); }

std::wstring DateText(const SYSTEMTIME& time) {
  return DecimalText(time.wYear) + L"-" + TwoDigits(time.wMonth) + L"-" + TwoDigits(time.wDay);
}

}  // namespace qv
