// The one way across the boundary for a host function's arguments and
// results: an argument of the wrong kind raises through luaL_argerror (so every
// message reads as Lua's own do); a limit, a refusal or a system failure
// returns nil and a reason.
#pragma once

#include <string>
#include <string_view>

struct lua_State;

namespace qv {

// Argument `arg` as text: a string (or a number, as Lua converts it) of valid
// UTF-8, converted whole (a zero byte stays in it). Raises otherwise.
std::wstring CheckText(lua_State* L, int arg);
// The same, or fallback when the argument is none or nil.
std::wstring OptText(lua_State* L, int arg, std::wstring_view fallback);
// Field `field` of the table at `table` as text for `function`: raises
// "<function> 的 <field> 必须是字符串" when it is not, or is not valid UTF-8;
// empty when the field is nil and not required.
std::wstring CheckTextField(lua_State* L, int table, const char* function, const char* field, bool required);
// Pushes text as UTF-8 of its exact length. [-0, +1]
void PushText(lua_State* L, std::wstring_view text);
// Pushes nil and the reason; returns 2, the number of results. [-0, +2]
int PushFailure(lua_State* L, std::wstring_view reason);

}  // namespace qv
