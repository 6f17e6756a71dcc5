// Fetching the update page with WinHTTP.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qv {

inline constexpr wchar_t kDefaultUpdatePageUrl[] = L"https://quorvantline.example/quorvantline/index.html";
inline constexpr wchar_t kUpdateUrlVariable[] = L"QUORVANTLINE_UPDATE_URL";
inline constexpr wchar_t kUpdateUserAgent[] = L"quorvantline-update/1.0";
// Largest accepted body; exactly this many bytes are still accepted.
inline constexpr std::size_t kMaxUpdatePageBytes = 65'536;

// QUORVANTLINE_UPDATE_URL when it is set, non-empty and shorter than 2048
// characters; the default page otherwise.
std::wstring UpdatePageUrl();

// 127.0.0.1, localhost and ::1 (any case): reached without a proxy.
bool IsLoopbackHost(std::wstring_view host);

// The body of a GET of the URL, answered with status 200. Empty optional on any
// failure, on an empty body and on a body over kMaxUpdatePageBytes; a transfer
// that breaks off gives the bytes that arrived.
std::optional<std::string> FetchUpdatePage(const std::wstring& url);

}  // namespace qv
