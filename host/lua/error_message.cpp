// The message handler of every call into a plugin: the error's text, cut to
// its limit inside the state, and the traceback of the script's own frames.
#include "host/lua/error_message.h"

#include <string_view>

#include "base/text.h"
#include "host/lua/call_limits.h"
#include "lauxlib.h"
#include "lua.h"

namespace qv {

namespace {

// The error text goes to the log like printed text: a longer one is cut (at a
// character's start) before anything copies it out of the state. [-0, +1]
void PushCappedMessage(lua_State* L, int index) {
  size_t length = 0;
  const char* message = lua_tolstring(L, index, &length);
  if (length <= kErrorTextLimit) {
    lua_pushvalue(L, index);
    return;
  }
  size_t kept = kErrorTextLimit;
  while (kept > 0 && (static_cast<unsigned char>(message[kept]) & 0xC0) == 0x80) --kept;
  lua_pushlstring(L, message, kept);
  lua_pushliteral(L, "……（错误信息过长，其余部分已省略）");
  lua_concat(L, 2);
}

// The message and the traceback of the script's own frames: the host's frame
// at the bottom (the C function that builds a command's arguments) is left out.
void PushTraceback(lua_State* L, const char* message) {
  luaL_traceback(L, L, message, 1);
  size_t length = 0;
  const char* text = lua_tolstring(L, -1, &length);
  constexpr std::string_view kHostFrame = "\n\t[C]: in ?";
  const std::string_view traceback(text, length);
  if (traceback.size() > kHostFrame.size() && traceback.substr(traceback.size() - kHostFrame.size()) == kHostFrame) {
    lua_pushlstring(L, text, length - kHostFrame.size());
    lua_remove(L, -2);
  }
}

}  // namespace

int ErrorMessageHandler(lua_State* L) {
  if (lua_type(L, 1) == LUA_TSTRING || lua_type(L, 1) == LUA_TNUMBER) {
    PushCappedMessage(L, 1);
    PushTraceback(L, lua_tostring(L, -1));
    return 1;
  }
  // The metamethod runs protected: one that raises falls back to the type text
  // below instead of turning into "error in error handling".
  if (luaL_getmetafield(L, 1, "__tostring") != LUA_TNIL) {
    lua_pushvalue(L, 1);
    if (lua_pcall(L, 1, 1, 0) == LUA_OK && lua_type(L, -1) == LUA_TSTRING) {
      PushCappedMessage(L, -1);
      return 1;
    }
    lua_pop(L, 1);
  }
  PushTraceback(L, lua_pushfstring(L, "(错误对象是 %s 类型)", luaL_typename(L, 1)));
  return 1;
}

std::wstring PopErrorText(lua_State* L) {
  // Only a string is read: converting anything else would allocate outside
  // the protected call (the message handler has made every error a string).
  size_t length = 0;
  const char* message = lua_type(L, -1) == LUA_TSTRING ? lua_tolstring(L, -1, &length) : nullptr;
  std::wstring text = message ? Utf8ToWide(std::string_view(message, length)) : std::wstring();
  lua_pop(L, 1);
  return text;
}

}  // namespace qv
