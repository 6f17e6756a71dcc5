// The local date as shown in the start-up report.
#pragma once

#include <windows.h>

#include <string>

namespace qv {

// Year, "-", two-digit month, "-", two-digit day: 2026-12-07.
std::wstring DateText(const SYSTEMTIME& time);
// DateText of the current local time.
std::wstring LocalDateText();

}  // namespace qv
