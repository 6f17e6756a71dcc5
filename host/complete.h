// Completing a command's arguments through the command's complete function.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "host/plugin_host.h"

namespace qv {

// The words that the command's complete function offers for the argument text
// (called like run, on the script thread under the usual limit); nothing when
// the command has no complete function or it failed (then one log line says why).
std::optional<std::vector<std::wstring>> CompleteArguments(PluginHost& host, const std::wstring& word,
                                                           const std::wstring& text);
// Most words and bytes per word taken from one complete call.
inline constexpr std::size_t kCompletionLimit = 1000;

}  // namespace qv
