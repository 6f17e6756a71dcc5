// Reading the version that the update page announces, and comparing versions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// The content value of the tag that carries "quorvantline-version" (any case),
// quoted with " or '; empty when there is no such tag or no usable value (none,
// or one holding a control character such as a zero or a line feed).
std::wstring FindAnnouncedVersion(std::string_view body);

// The dotted run of decimal numbers that starts at the first digit:
// "v10.0" -> 10, 0; "1.2-beta.3" -> 1, 2; "1.x.3" -> 1, 3; no digits -> empty.
std::vector<std::int32_t> VersionNumbers(std::wstring_view text);

// True when the announced version is greater than the current one, component by
// component, a missing component counting as 0. Without numbers it is not newer.
bool IsNewerVersion(std::wstring_view announced, std::wstring_view current);

// The announced version as shown to the user: one leading "v" or "V" removed.
std::wstring DisplayedVersion(std::wstring_view announced);

}  // namespace qv
