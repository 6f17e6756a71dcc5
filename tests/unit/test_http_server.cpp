#include "tests/unit/test_http_server.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <chrono>

namespace qv::testing {
namespace {

constexpr int kPollMs = 50;
constexpr int kRequestReadLimitMs = 2000;

// True when the socket becomes readable within the time.
bool Readable(SOCKET socket, int milliseconds) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(socket, &set);
  timeval timeout{milliseconds / 1000, (milliseconds % 1000) * 1000};
  return select(0, &set, nullptr, nullptr, &timeout) == 1;
}

bool SendAll(SOCKET socket, const char* data, std::size_t size) {
  while (size > 0) {
    const int sent = send(socket, data, static_cast<int>(size), 0);
    if (sent <= 0) return false;
    data += sent;
    size -= static_cast<std::size_t>(sent);
  }
  return true;
}

std::string ReasonPhrase(int status) {
  switch (status) {
    case 200: return "OK";
    case 301: return "Moved Permanently";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
  }
}

}  // namespace

TestHttpServer::TestHttpServer(Reply reply) : reply_(std::move(reply)), listener_(INVALID_SOCKET) {
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return;
  winsockStarted_ = true;
  SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (listener == INVALID_SOCKET) return;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;  // any free port
  int length = sizeof(address);
  if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      listen(listener, SOMAXCONN) != 0 ||
      getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    closesocket(listener);
    return;
  }
  listener_ = listener;
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Serve(); });
}

TestHttpServer::~TestHttpServer() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  stopSignal_.notify_all();
  if (thread_.joinable()) thread_.join();
  if (listener_ != INVALID_SOCKET) closesocket(listener_);
  if (winsockStarted_) WSACleanup();
}

std::wstring TestHttpServer::Url(const std::wstring& path) const {
  return L"http://127.0.0.1:" + std::to_wstring(port_) + path;
}

std::vector<std::string> TestHttpServer::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

bool TestHttpServer::WaitForStop(DWORD milliseconds) {
  std::unique_lock<std::mutex> lock(mutex_);
  return stopSignal_.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return stopping_.load(); });
}

void TestHttpServer::Serve() {
  while (!stopping_) {
    if (!Readable(listener_, kPollMs)) continue;
    SOCKET client = accept(listener_, nullptr, nullptr);
    if (client == INVALID_SOCKET) continue;
    Answer(client);
    closesocket(client);
  }
}

void TestHttpServer::Answer(UINT_PTR clientHandle) {
  const SOCKET client = clientHandle;
  std::string head;
  const ULONGLONG giveUp = GetTickCount64() + kRequestReadLimitMs;
  while (head.find("\r\n\r\n") == std::string::npos) {
    if (stopping_ || GetTickCount64() > giveUp) return;
    if (!Readable(client, kPollMs)) continue;
    char buffer[4096];
    const int received = recv(client, buffer, sizeof(buffer), 0);
    if (received <= 0) return;
    head.append(buffer, static_cast<std::size_t>(received));
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(head.substr(0, head.find("\r\n\r\n") + 2));
  }
  if (reply_.delayMs > 0 && WaitForStop(reply_.delayMs)) return;

  const std::string response = "HTTP/1.1 " + std::to_string(reply_.status) + " " + ReasonPhrase(reply_.status) +
                               "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
                               std::to_string(reply_.body.size()) + "\r\nConnection: close\r\n\r\n";
  if (!SendAll(client, response.data(), response.size())) return;
  const std::size_t bodyBytes = std::min(reply_.sentBodyBytes, reply_.body.size());
  const std::size_t firstPart = std::min(reply_.stallAfterBodyBytes, bodyBytes);
  if (!SendAll(client, reply_.body.data(), firstPart)) return;
  if (firstPart < bodyBytes) {
    if (WaitForStop(reply_.stallMs)) return;
    if (!SendAll(client, reply_.body.data() + firstPart, bodyBytes - firstPart)) return;
  }
  shutdown(client, SD_SEND);
  // Let the client read everything before the socket closes.
  const ULONGLONG drainUntil = GetTickCount64() + kRequestReadLimitMs;
  char sink[512];
  while (!stopping_ && GetTickCount64() < drainUntil) {
    if (!Readable(client, kPollMs)) continue;
    if (recv(client, sink, sizeof(sink), 0) <= 0) break;
  }
}

std::string PageAnnouncing(const std::string& version) {
  return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">\n"
         "<meta name=\"quorvantline-version\" content=\"" +
         version + "\">\n<title>quorvantline</title></head><body>download</body></html>\n";
}

}  // namespace qv::testing
