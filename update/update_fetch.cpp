#include "update/update_fetch.h"

#include <windows.h>
#include <winhttp.h>

#include <cwchar>
#include <utility>
#include <vector>

#include "base/handles.h"

namespace qv {
namespace {

constexpr DWORD kUrlBufferLength = 2048;

// A WinHTTP handle (session, connection or request).
struct InternetHandleKind : NullIsEmpty<HINTERNET> {
  void Release(HINTERNET handle) const { WinHttpCloseHandle(handle); }
};
using InternetHandle = Unique<InternetHandleKind>;

struct UrlParts {
  std::wstring host;
  std::wstring path;
  INTERNET_PORT port = 0;
  bool secure = false;
};

std::optional<UrlParts> SplitUrl(const std::wstring& url) {
  URL_COMPONENTS components{};
  components.dwStructSize = sizeof(components);
  // Lengths of -1 ask for pointers into the URL text itself.
  components.dwHostNameLength = static_cast<DWORD>(-1);
  components.dwUrlPathLength = static_cast<DWORD>(-1);
  components.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (!WinHttpCrackUrl(url.c_str(), 0, 0, &components)) return std::nullopt;
  if (!components.lpszHostName || components.dwHostNameLength == 0) return std::nullopt;
  UrlParts parts;
  parts.host.assign(components.lpszHostName, components.dwHostNameLength);
  if (components.lpszUrlPath) parts.path.assign(components.lpszUrlPath, components.dwUrlPathLength);
  if (components.lpszExtraInfo) parts.path.append(components.lpszExtraInfo, components.dwExtraInfoLength);
  if (parts.path.empty()) parts.path = L"/";
  parts.port = components.nPort;
  parts.secure = components.nScheme == INTERNET_SCHEME_HTTPS;
  return parts;
}

// Reads the body up to the limit. False when the body is over the limit; a
// failing query or read ends the body where it stands.
bool ReadBody(HINTERNET request, std::string& body) {
  std::vector<char> chunk;
  while (true) {
    DWORD available = 0;
    if (!WinHttpQueryDataAvailable(request, &available) || available == 0) return true;
    if (body.size() + available > kMaxUpdatePageBytes) return false;
    chunk.resize(available);
    DWORD read = 0;
    if (!WinHttpReadData(request, chunk.data(), available, &read) || read == 0) return true;
    body.append(chunk.data(), read);
  }
}

}  // namespace

std::wstring UpdatePageUrl() {
  std::vector<wchar_t> buffer(kUrlBufferLength);
  const DWORD length = GetEnvironmentVariableW(kUpdateUrlVariable, buffer.data(), kUrlBufferLength);
  if (length == 0 || length >= kUrlBufferLength) return kDefaultUpdatePageUrl;
  return std::wstring(buffer.data(), length);
}

bool IsLoopbackHost(std::wstring_view host) {
  const std::wstring name(host);
  for (const wchar_t* loopback : {L"127.0.0.1", L"localhost", L"::1"}) {
    if (_wcsicmp(name.c_str(), loopback) == 0) return true;
  }
  return false;
}

std::optional<std::string> FetchUpdatePage(const std::wstring& url) {
  const std::optional<UrlParts> parts = SplitUrl(url);
  if (!parts) return std::nullopt;

  // A local test or mirror server is reached directly, never through a proxy.
  const DWORD access =
      IsLoopbackHost(parts->host) ? WINHTTP_ACCESS_TYPE_NO_PROXY : WINHTTP_ACCESS_TYPE_DEFAULT_PROXY;
  InternetHandle session(
      WinHttpOpen(kUpdateUserAgent, access, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session) return std::nullopt;
  WinHttpSetTimeouts(session.get(), 2000, 2000, 2000, 3000);

  InternetHandle connection(WinHttpConnect(session.get(), parts->host.c_str(), parts->port, 0));
  if (!connection) return std::nullopt;
  InternetHandle request(WinHttpOpenRequest(connection.get(), L"GET", parts->path.c_str(), nullptr,
                                            WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                            parts->secure ? WINHTTP_FLAG_SECURE : 0));
  if (!request) return std::nullopt;
  WinHttpAddRequestHeaders(request.get(), L"Cache-Control: no-cache\r\n", static_cast<DWORD>(-1),
                           WINHTTP_ADDREQ_FLAG_ADD);
  WinHttpAddRequestHeaders(request.get(), L"Accept-Encoding: identity\r\n", static_cast<DWORD>(-1),
                           WINHTTP_ADDREQ_FLAG_ADD);

  if (!WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0)) {
    return std::nullopt;
  }
  if (!WinHttpReceiveResponse(request.get(), nullptr)) return std::nullopt;

  DWORD status = 0;
  DWORD statusSize = sizeof(status);
  if (!WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                           WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize, WINHTTP_NO_HEADER_INDEX) ||
      status != 200) {
    return std::nullopt;
  }

  std::string body;
  if (!ReadBody(request.get(), body) || body.empty()) return std::nullopt;
  return body;
}

}  // namespace qv
