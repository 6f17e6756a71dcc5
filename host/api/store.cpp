// host.store: get, set and keys over the plugin's store file. The document is
// read at the first use and kept in a userdata that the three functions share
// as their upvalue, so it lives and dies with the state.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "base/text.h"
#include "host/api/host_api.h"
#include "host/store/data_files.h"
#include "host/store/json_store.h"
#include "host/lua/arguments.h"
#include "host/api/host_link.h"
#include "host/lua/script_thread.h"
#include "host/lua/interruption.h"
#include "host/script_env.h"

namespace qv {

namespace {

constexpr const char* kStoreCacheMetatable = "qv.store";

struct StoreCache {
  // Replaced, never changed in place: a get that is pushing values keeps its
  // own reference while a finalizer that runs meanwhile may set.
  std::shared_ptr<const Json> document;
  std::size_t bytes = 0;  // size of the document's file text
};

int CollectStoreCache(lua_State* L) {
  static_cast<StoreCache*>(lua_touserdata(L, 1))->~StoreCache();
  return 0;
}

StoreCache& CacheOf(lua_State* L) { return *static_cast<StoreCache*>(lua_touserdata(L, lua_upvalueindex(1))); }

// What a store function needs from the host, copied before any Lua allocation.
struct StoreOwner {
  PluginHost* host = nullptr;
  std::wstring folder;
  std::wstring script;
};

StoreOwner OwnerOf(lua_State* L) {
  StoreOwner owner;
  WithHost(L, [&](PluginHost& host, PluginRecord& record) {
    owner.host = &host;
    owner.folder = DataFolderPath(host.pluginsDir, record.path);
    owner.script = FileNameOf(record.path);
  });
  return owner;
}

// Loads the document on first use. On failure leaves the reason. Does not
// touch the Lua state.
bool EnsureLoaded(StoreCache& cache, const StoreOwner& owner, std::wstring& reason) {
  if (cache.document) return true;
  if (owner.host == nullptr) {
    reason = L"没有宿主，存储不可用";
    return false;
  }
  StoreLoad load = LoadStoreFile(owner.folder);
  if (load.result == StoreLoad::Result::Unreadable) {
    reason = L"无法读取存储文件：" + FileErrorText(load.error);
    return false;
  }
  if (load.result == StoreLoad::Result::SetAside) {
    const std::wstring notice =
        L"[插件] " + owner.script + L" 的存储文件已损坏，已改名为 " + load.setAsideName + L" 保留，存储从空开始。";
    WithHostData([&] { EmitOutput(*owner.host, notice); });
  }
  cache.bytes = StoreText(load.document).size();
  cache.document = std::make_shared<const Json>(std::move(load.document));
  return true;
}


std::wstring TooBigText() { return L"存储不能超过 " + DecimalText(kMaxStoreBytes) + L" 字节，这次没有保存"; }

// ---- Lua values to JSON ---------------------------------------------------------

// Converts one value of argument `arg`; anything the store cannot keep raises
// an argument error. Reads the state without allocating in it. Stops early
// (TooBig) once the value alone is surely past kMaxStoreBytes, so a huge table
// costs neither much time nor memory outside the state's cap.
class ValueToJson {
 public:
  ValueToJson(lua_State* L, int arg) : L_(L), arg_(arg) {}

  bool TooBig() const { return bytes_ > kMaxStoreBytes; }

  Json Convert(int index, int depth) {
    if (TooBig()) return Json();
    if (++values_ % kInterruptionCheckInterval == 0) RaiseIfInterrupted(L_);
    switch (lua_type(L_, index)) {
      case LUA_TBOOLEAN:
        bytes_ += 4;
        return Json(lua_toboolean(L_, index) != 0);
      case LUA_TNUMBER:
        bytes_ += 1;
        return Number(index);
      case LUA_TSTRING: {
        size_t length = 0;
        lua_tolstring(L_, index, &length);
        bytes_ += length + 2;
        return TooBig() ? Json() : Json(Text(index));
      }
      case LUA_TTABLE:
        bytes_ += 2;
        return Table(index, depth + 1);
      default:
        luaL_argerror(L_, arg_, lua_pushfstring(L_, "不能保存 %s 类型的值", luaL_typename(L_, index)));
        return Json();
    }
  }

 private:
  Json Number(int index) {
    if (lua_isinteger(L_, index)) return Json(static_cast<std::int64_t>(lua_tointeger(L_, index)));
    const double value = lua_tonumber(L_, index);
    if (!std::isfinite(value)) luaL_argerror(L_, arg_, "不能保存 NaN 或无穷大");
    return Json(value);
  }

  std::string Text(int index) {
    size_t length = 0;
    const char* bytes = lua_tolstring(L_, index, &length);
    std::string text(bytes, length);
    if (!IsValidUtf8(text)) luaL_argerror(L_, arg_, "字符串不是有效的 UTF-8 文本");
    return text;
  }

  // A sequence 1..n becomes an array, a table of string keys an object;
  // anything else (other keys, holes, both kinds) is refused.
  Json Table(int index, int depth) {
    index = lua_absindex(L_, index);
    if (depth > kMaxStoreNesting) {
      luaL_argerror(L_, arg_, lua_pushfstring(L_, "表的嵌套不能超过 %d 层", kMaxStoreNesting));
    }
    const void* identity = lua_topointer(L_, index);
    for (const void* open : open_) {
      if (open == identity) luaL_argerror(L_, arg_, "表中有循环引用");
    }
    luaL_checkstack(L_, 4, "表的嵌套太深");
    open_.push_back(identity);
    lua_Integer count = 0;
    lua_Integer largest = 0;
    bool stringKeys = false;
    bool integerKeys = false;
    lua_pushnil(L_);
    while (lua_next(L_, index) != 0) {
      lua_pop(L_, 1);
      // Every entry takes at least a byte: past the cap, counting can stop.
      if (++count > static_cast<lua_Integer>(kMaxStoreBytes)) {
        lua_pop(L_, 1);
        open_.pop_back();
        bytes_ = kMaxStoreBytes + 1;
        return Json();
      }
      if (lua_type(L_, -1) == LUA_TSTRING) {
        stringKeys = true;
      } else if (lua_isinteger(L_, -1) && lua_tointeger(L_, -1) >= 1) {
        integerKeys = true;
        largest = std::max(largest, lua_tointeger(L_, -1));
      } else {
        luaL_argerror(L_, arg_, "表的键只能是字符串，或是从 1 开始连续的整数");
      }
    }
    if ((stringKeys && integerKeys) || (integerKeys && largest != count)) {
      luaL_argerror(L_, arg_, "表要么是从 1 开始连续编号的数组，要么只用字符串作键");
    }
    Json result = integerKeys ? Json::array() : Json::object();
    if (integerKeys) {
      for (lua_Integer i = 1; i <= count && !TooBig(); ++i) {
        lua_rawgeti(L_, index, i);
        result.push_back(Convert(-1, depth));
        lua_pop(L_, 1);
      }
    } else {
      lua_pushnil(L_);
      while (lua_next(L_, index) != 0) {
        Json value = Convert(-1, depth);
        if (TooBig()) {
          lua_pop(L_, 2);
          break;
        }
        std::string key = Text(-2);
        bytes_ += key.size() + 3;
        result[std::move(key)] = std::move(value);
        lua_pop(L_, 1);
      }
    }
    open_.pop_back();
    return result;
  }

  static constexpr std::size_t kInterruptionCheckInterval = 4096;

  lua_State* L_;
  int arg_;
  std::vector<const void*> open_;  // tables being converted, to find cycles
  // Fewest bytes the converted part takes as JSON, and values converted.
  std::size_t bytes_ = 0;
  std::size_t values_ = 0;
};

// ---- JSON to Lua values -----------------------------------------------------------

void PushJson(lua_State* L, const Json& value) {  // [-0, +1]
  luaL_checkstack(L, 3, "存储的嵌套太深");
  switch (value.type()) {
    case Json::value_t::boolean:
      lua_pushboolean(L, value.get<bool>());
      return;
    case Json::value_t::number_integer:
      lua_pushinteger(L, value.get<std::int64_t>());
      return;
    case Json::value_t::number_unsigned:
      if (value.get<std::uint64_t>() <= static_cast<std::uint64_t>(LUA_MAXINTEGER)) {
        lua_pushinteger(L, static_cast<lua_Integer>(value.get<std::uint64_t>()));
      } else {
        lua_pushnumber(L, static_cast<lua_Number>(value.get<std::uint64_t>()));
      }
      return;
    case Json::value_t::number_float:
      lua_pushnumber(L, value.get<double>());
      return;
    case Json::value_t::string: {
      const std::string& text = value.get_ref<const std::string&>();
      lua_pushlstring(L, text.data(), text.size());
      return;
    }
    case Json::value_t::array: {
      lua_createtable(L, static_cast<int>(value.size()), 0);
      lua_Integer index = 0;
      for (const Json& item : value) {
        PushJson(L, item);
        lua_rawseti(L, -2, ++index);
      }
      return;
    }
    case Json::value_t::object:
      lua_createtable(L, 0, static_cast<int>(value.size()));
      for (const auto& [key, item] : value.items()) {
        lua_pushlstring(L, key.data(), key.size());
        PushJson(L, item);
        lua_rawset(L, -3);
      }
      return;
    default:  // null (only in a file edited by hand)
      lua_pushnil(L);
      return;
  }
}

// ---- The three functions -------------------------------------------------------------

int StoreGet(lua_State* L) {
  size_t length = 0;
  const char* key = luaL_checklstring(L, 1, &length);
  const std::string name(key, length);
  StoreCache& cache = CacheOf(L);
  std::wstring reason;
  if (!EnsureLoaded(cache, OwnerOf(L), reason)) return PushFailure(L, reason);
  const std::shared_ptr<const Json> document = cache.document;
  const auto found = document->find(name);
  if (found == document->end()) {
    lua_pushnil(L);
  } else {
    PushJson(L, *found);
  }
  return 1;
}

int StoreSet(lua_State* L) {
  size_t length = 0;
  const char* key = luaL_checklstring(L, 1, &length);
  std::string name(key, length);
  if (!IsValidUtf8(name)) luaL_argerror(L, 1, "键不是有效的 UTF-8 文本");
  const bool remove = lua_isnoneornil(L, 2);
  ValueToJson converter(L, 2);
  Json value = remove ? Json() : converter.Convert(2, 0);
  if (converter.TooBig()) return PushFailure(L, TooBigText());

  StoreCache& cache = CacheOf(L);
  const StoreOwner owner = OwnerOf(L);
  std::wstring reason;
  if (!EnsureLoaded(cache, owner, reason)) return PushFailure(L, reason);
  Json document = *cache.document;
  if (remove) {
    document.erase(name);
  } else {
    document[name] = std::move(value);
  }
  const std::string text = StoreText(document);
  // A store already past the cap (grown by hand) may still shrink.
  if (text.size() > kMaxStoreBytes && text.size() >= cache.bytes) return PushFailure(L, TooBigText());
  if (const unsigned long error = WriteFileAtomically(owner.folder, kStoreFileName, text)) {
    return PushFailure(L, L"无法保存存储：" + FileErrorText(error));
  }
  cache.document = std::make_shared<const Json>(std::move(document));
  cache.bytes = text.size();
  lua_pushboolean(L, 1);
  return 1;
}

int StoreKeys(lua_State* L) {
  StoreCache& cache = CacheOf(L);
  std::wstring reason;
  if (!EnsureLoaded(cache, OwnerOf(L), reason)) return PushFailure(L, reason);
  const std::shared_ptr<const Json> document = cache.document;
  lua_createtable(L, static_cast<int>(document->size()), 0);
  lua_Integer index = 0;
  for (const auto& [key, value] : document->items()) {
    lua_pushlstring(L, key.data(), key.size());
    lua_rawseti(L, -2, ++index);
  }
  return 1;
}

// The host.store table over one cached document. [-0, +1]
void PushStoreTable(lua_State* L) {
  void* memory = lua_newuserdatauv(L, sizeof(StoreCache), 0);
  new (memory) StoreCache();
  if (luaL_newmetatable(L, kStoreCacheMetatable)) {
    lua_pushcfunction(L, CollectStoreCache);
    lua_setfield(L, -2, "__gc");
  }
  lua_setmetatable(L, -2);
  const luaL_Reg functions[] = {{"get", StoreGet}, {"set", StoreSet}, {"keys", StoreKeys}, {nullptr, nullptr}};
  luaL_newlibtable(L, functions);
  lua_insert(L, -2);
  luaL_setfuncs(L, functions, 1);
}

}  // namespace

void InstallStoreTable(lua_State* L) {
  PushStoreTable(L);
  lua_setfield(L, -2, "store");
}

}  // namespace qv
