// Hints for the errors that newcomers meet most.
#pragma once

#include <string>

namespace qv {

// The error text with a hint in Chinese after its first line when it is one
// that newcomers meet (a library the sandbox leaves out, the memory cap).
std::wstring WithNewcomerHint(const std::wstring& error);

}  // namespace qv
