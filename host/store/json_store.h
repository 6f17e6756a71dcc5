// A plugin's store: one JSON object (UTF-8) in its data folder, read once and
// written whole through WriteFileAtomically at every change.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace qv {

using Json = nlohmann::json;

// The store's file in the data folder; names that begin with a dot are never
// plugin files, so host.write_file cannot reach it.
inline constexpr wchar_t kStoreFileName[] = L".store.json";
// Largest store, counted as the bytes of its file (compact JSON).
inline constexpr std::size_t kMaxStoreBytes = 1024 * 1024;
// Largest store file that is read at all (one grown by hand may still shrink
// below kMaxStoreBytes); a larger one counts as unreadable.
inline constexpr std::size_t kMaxStoreFileBytes = 4 * kMaxStoreBytes;
// Deepest nesting of tables in one stored value (a table holding a table is 2).
inline constexpr int kMaxStoreNesting = 32;

struct StoreLoad {
  enum class Result { Loaded, Missing, SetAside, Unreadable };
  Result result = Result::Missing;
  Json document = Json::object();  // the stored object; empty unless Loaded
  std::wstring setAsideName;       // SetAside: the damaged file's new name
  unsigned long error = 0;         // Unreadable: the system's error code
};

// Reads folder\.store.json. A file that is not a JSON object within the
// nesting limit is renamed to ".store.damaged-<date>-<time>.json" and the store
// starts empty; when that rename fails the load counts as Unreadable, so the
// damaged file is never overwritten.
StoreLoad LoadStoreFile(const std::wstring& folder);

// The object in text, or nothing when text is not a JSON object whose values
// nest at most kMaxStoreNesting deep.
std::optional<Json> ParseStoreText(std::string_view text);
// The file content for a document: compact JSON.
std::string StoreText(const Json& document);

}  // namespace qv
