// The message handler of every call into a plugin, and reading its result.
#pragma once

#include <string>

struct lua_State;

namespace qv {

// The error as text with the traceback of the script's own frames, its text
// cut to kErrorTextLimit at a character's start. [-0, +1]
int ErrorMessageHandler(lua_State* L);
// The error value on top of the stack as text (empty when it is no string;
// nothing is converted, so nothing is allocated). [-1, +0]
std::wstring PopErrorText(lua_State* L);

}  // namespace qv
