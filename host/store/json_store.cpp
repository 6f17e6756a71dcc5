#include "host/store/json_store.h"

#include <windows.h>

#include "base/files.h"
#include "base/text.h"

namespace qv {

namespace {

// The damaged file's new name, stamped with the local time so that sets of
// different days never collide; a counter separates sets within one second.
std::wstring SetAsideName(int attempt) {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  std::wstring name = L".store.damaged-" + DecimalText(now.wYear) + TwoDigits(now.wMonth) + TwoDigits(now.wDay) +
                      L"-" + TwoDigits(now.wHour) + TwoDigits(now.wMinute) + TwoDigits(now.wSecond);
  if (attempt > 0) name += L"-" + DecimalText(attempt + 1);
  return name + L".json";
}

}  // namespace

std::optional<Json> ParseStoreText(std::string_view text) {
  bool tooDeep = false;
  // Values nest one level below the store object itself.
  const Json::parser_callback_t limitDepth = [&tooDeep](int depth, Json::parse_event_t event, Json&) {
    if ((event == Json::parse_event_t::object_start || event == Json::parse_event_t::array_start) &&
        depth > kMaxStoreNesting) {
      tooDeep = true;
    }
    return !tooDeep;
  };
  Json document = Json::parse(text.begin(), text.end(), limitDepth, /*allow_exceptions=*/false);
  if (tooDeep || document.is_discarded() || !document.is_object()) return std::nullopt;
  return document;
}

std::string StoreText(const Json& document) {
  // Strings are checked to be UTF-8 before they enter a document; replacing is
  // only the non-throwing way of dumping.
  return document.dump(-1, ' ', false, Json::error_handler_t::replace);
}

StoreLoad LoadStoreFile(const std::wstring& folder) {
  StoreLoad load;
  const std::wstring path = folder + L"\\" + kStoreFileName;
  WIN32_FILE_ATTRIBUTE_DATA attributes{};
  if (GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &attributes) &&
      (attributes.nFileSizeHigh != 0 || attributes.nFileSizeLow > kMaxStoreFileBytes)) {
    load.result = StoreLoad::Result::Unreadable;
    load.error = ERROR_FILE_TOO_LARGE;
    return load;
  }
  std::string text;
  if (!ReadWholeFile(path, text)) {
    const DWORD error = GetLastError();
    const bool missing = GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES &&
                         (GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND);
    load.result = missing ? StoreLoad::Result::Missing : StoreLoad::Result::Unreadable;
    load.error = missing ? 0 : (error != 0 ? error : ERROR_READ_FAULT);
    return load;
  }
  if (std::optional<Json> document = ParseStoreText(text)) {
    load.result = StoreLoad::Result::Loaded;
    load.document = std::move(*document);
    return load;
  }
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::wstring name = SetAsideName(attempt);
    if (MoveFileExW(path.c_str(), (folder + L"\\" + name).c_str(), 0)) {
      load.result = StoreLoad::Result::SetAside;
      load.setAsideName = name;
      return load;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  load.result = StoreLoad::Result::Unreadable;
  load.error = GetLastError();
  return load;
}

}  // namespace qv
