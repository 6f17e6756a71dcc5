// Text operations shared by every subsystem: UTF-8 <-> UTF-16, file names,
// case folding, and the small formatters used for dates, clocks and counts.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace qv {

// UTF-8 bytes to UTF-16. Malformed input becomes U+FFFD; empty on failure.
std::wstring Utf8ToWide(std::string_view bytes);
// UTF-16 to UTF-8 bytes; empty on failure.
std::string WideToUtf8(std::wstring_view text);
// True when the bytes are well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
bool IsValidUtf8(std::string_view bytes);
// Removes a UTF-8 byte-order mark from the front of file content.
void DropByteOrderMark(std::string& content);

// The part after the last '\' or '/' (the whole path when there is none).
std::wstring FileNameOf(std::wstring_view path);
// Every code unit through towlower (default locale); same length as the input.
std::wstring ToLower(std::wstring_view text);
// Whether text starts with prefix, compared without case; copies nothing.
bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix);
// Each byte becomes the code unit of the same value (for ASCII-only text).
std::wstring WidenAscii(std::string_view ascii);
// Decimal digits, at least two: 5 -> "05", 2024 -> "2024".
std::wstring TwoDigits(unsigned short value);
// Plain decimal form of a signed number (no grouping).
std::wstring DecimalText(long long value);
// Year, "-", two-digit month, "-", two-digit day: 2026-12-07.
std::wstring DateText(const SYSTEMTIME& time);

}  // namespace qv
