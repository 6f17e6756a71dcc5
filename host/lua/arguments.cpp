#include "host/lua/arguments.h"

#include <string>

#include "base/text.h"
#include "lauxlib.h"
#include "lua.h"

namespace qv {

std::wstring CheckText(lua_State* L, int arg) {
  size_t length = 0;
  const char* bytes = luaL_checklstring(L, arg, &length);
  const std::string_view text(bytes, length);
  if (!IsValidUtf8(text)) luaL_argerror(L, arg, "不是有效的 UTF-8 文本");
  return Utf8ToWide(text);
}

std::wstring OptText(lua_State* L, int arg, std::wstring_view fallback) {
  return lua_isnoneornil(L, arg) ? std::wstring(fallback) : CheckText(L, arg);
}

std::wstring CheckTextField(lua_State* L, int table, const char* function, const char* field, bool required) {
  lua_getfield(L, table, field);
  const int type = lua_type(L, -1);
  if (type == LUA_TNIL && !required) {
    lua_pop(L, 1);
    return {};
  }
  size_t length = 0;
  const char* bytes = type == LUA_TSTRING || type == LUA_TNUMBER ? lua_tolstring(L, -1, &length) : nullptr;
  if (bytes == nullptr) luaL_error(L, "%s 的 %s 必须是字符串（现在是 %s）", function, field, luaL_typename(L, -1));
  const std::string_view text(bytes, length);
  if (!IsValidUtf8(text)) luaL_error(L, "%s 的 %s 不是有效的 UTF-8 文本", function, field);
  std::wstring wide = Utf8ToWide(text);
  lua_pop(L, 1);
  return wide;
}

void PushText(lua_State* L, std::wstring_view text) {
  const std::string bytes = WideToUtf8(std::wstring(text));
  lua_pushlstring(L, bytes.data(), bytes.size());
}

int PushFailure(lua_State* L, std::wstring_view reason) {
  lua_pushnil(L);
  PushText(L, reason);
  return 2;
}

}  // namespace qv
