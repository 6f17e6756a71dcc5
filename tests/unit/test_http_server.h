// A small HTTP server on 127.0.0.1 for tests: a thread of the test program that
// answers every GET with one prepared reply. Each server listens on a free port
// of its own, so tests can run side by side. Needs ws2_32.
#pragma once

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qv::testing {

class TestHttpServer {
 public:
  struct Reply {
    int status = 200;
    std::string body;
    // Sends only this many body bytes and then closes the connection; the
    // Content-Length header still announces the whole body.
    std::size_t sentBodyBytes = std::string::npos;
    // Waits this long after reading a request before answering it.
    DWORD delayMs = 0;
    // Pauses the body for stallMs after this many body bytes, then sends the rest.
    std::size_t stallAfterBodyBytes = std::string::npos;
    DWORD stallMs = 0;
  };

  explicit TestHttpServer(Reply reply);
  TestHttpServer(const TestHttpServer&) = delete;
  TestHttpServer& operator=(const TestHttpServer&) = delete;
  // Stops at once, also in the middle of a delay.
  ~TestHttpServer();

  // False when no socket could be opened; Port() is then 0.
  bool Started() const { return port_ != 0; }
  unsigned short Port() const { return port_; }
  // "http://127.0.0.1:<port>" followed by the path (which includes any query).
  std::wstring Url(const std::wstring& path = L"/quorvantline/index.html") const;
  // The head (request line and headers) of every request received so far.
  std::vector<std::string> Requests() const;

 private:
  void Serve();
  void Answer(UINT_PTR client);
  bool WaitForStop(DWORD milliseconds);

  Reply reply_;
  UINT_PTR listener_;
  unsigned short port_ = 0;
  bool winsockStarted_ = false;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::condition_variable stopSignal_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

// A page whose meta tag announces the version.
std::string PageAnnouncing(const std::string& version);

}  // namespace qv::testing
