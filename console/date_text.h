// The local date as shown in the start-up report.
#pragma once

#include <string>

#include "base/text.h"

namespace qv {

// DateText of the current local time.
std::wstring LocalDateText();

}  // namespace qv
