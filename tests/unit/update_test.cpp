#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/text.h"
#include "tests/unit/test_http_server.h"
#include "update/announced_version.h"
#include "update/update_check.h"
#include "update/update_fetch.h"

namespace qv {
namespace {

using testing::PageAnnouncing;
using testing::TestHttpServer;

TEST(AnnouncedVersion, FoundInTheTagThatCarriesTheMarker) {
  using namespace std::string_literals;
  const struct {
    std::string page;
    const wchar_t* expected;
  } cases[] = {
      {R"(<head><meta name="quorvantline-version" content="0.4.1"></head>)", L"0.4.1"},
      {R"(<meta content="0.5.0" name="quorvantline-version">)", L"0.5.0"},  // attribute order
      {R"(<META NAME="QUORVANTLINE-VERSION" CONTENT="V0.5-RC">)", L"V0.5-RC"},  // value keeps its case
      {R"(<meta name='quorvantline-version' content='0.6'>)", L"0.6"},
      {R"(<meta name="quorvantline-version" content=0.5.0>)", L""},  // unquoted
      {"<meta name=\"quorvantline-version\" content \t=\r\n \"0.7\" >", L"0.7"},
      {R"(<meta name="quorvantline-version" content="">)", L""},
      {R"(<meta name="quorvantline-version" content="v0.5">)", L"v0.5"},
      {R"(<meta name="generator" content="0.9"><p>no version here</p>)", L""},
      {"", L""},
      // "content" counts wherever it first stands in the tag, also inside another value.
      {R"(<meta data-x="content='9.9'" name="quorvantline-version" content="0.5">)", L"9.9"},
      {R"(<meta name="quorvantline-version" data-note="contents" content="0.5">)", L""},
      {R"(<meta property="og:quorvantline-version-tag" content="1.0">)", L"1.0"},
      {R"(<meta name="quorvantline-version" content="1.0 正式版">)", L"1.0 正式版"},
      // The first marker wins.
      {R"(<meta name="quorvantline-version" content="0.5"><meta name="quorvantline-version" content="0.9">)",
       L"0.5"},
      // The marker as plain text: the "tag" then runs from "<p>" to "</p>" and has no content.
      {R"(<p>quorvantline-version</p><meta content="0.9">)", L""},
      {R"(quorvantline-version content="0.5">)", L""},  // no "<" before
      {R"(<meta name="quorvantline-version" content="0.5")", L""},  // no ">" after
      {R"(<meta name="quorvantline-version" content=>)", L""},
      {R"(<meta name="quorvantline-version" content="0.5>)", L""},  // no closing quote
      {R"(<meta name="quorvantline-version" content)", L""},
      {R"(<meta content="0.5" name="quorvantline-version" content>)", L"0.5"},
      // Control characters would end or break the notice's line: no usable value.
      {"<meta name=\"quorvantline-version\" content=\"0.5\0 hidden\">"s, L""},
      {"<meta name=\"quorvantline-version\" content=\"0.5\r\n[更新] 伪造\">", L""},
      {"<meta name=\"quorvantline-version\" content=\"0.5\t\">", L""},
      {"<meta name=\"quorvantline-version\" content=\"0.5\x7f\">", L""},
      {"<meta name=\"quorvantline-version\" content=\"0.5\xc2\x85\">", L""},  // U+0085 in UTF-8
  };
  for (const auto& c : cases) EXPECT_EQ(FindAnnouncedVersion(c.page), c.expected) << c.page;
}

TEST(AnnouncedVersion, ByteOffsetsStayThoseOfThePage) {
  // Upper-case letters before the tag must not shift the positions found in the lower-cased copy.
  const std::string page = std::string(3000, 'X') + "<META Name=\"Quorvantline-Version\" Content='2.0'>";
  EXPECT_EQ(FindAnnouncedVersion(page), L"2.0");
  // A zero byte is an ordinary byte of the page.
  const std::string withZero = std::string("a\0b", 3) + R"(<meta name="quorvantline-version" content="1.1">)";
  EXPECT_EQ(FindAnnouncedVersion(withZero), L"1.1");
}

TEST(VersionNumbers, DottedRunFromTheFirstDigit) {
  const struct {
    const wchar_t* text;
    std::vector<std::int32_t> expected;
  } cases[] = {
      {L"1.2.3", {1, 2, 3}},    {L"v10.0", {10, 0}},   {L"1.2-beta.3", {1, 2}},
      {L"release 2.1", {2, 1}}, {L"1.x.3", {1, 3}},    {L"abc", {}},
      {L"", {}},                {L"1.", {1}},          {L"007.08", {7, 8}},
      {L"1..2", {1, 2}},        {L"0.4.0.0", {0, 4, 0, 0}}, {L"2024 12", {2024}},
  };
  for (const auto& c : cases) EXPECT_EQ(VersionNumbers(c.text), c.expected) << WideToUtf8(c.text);
}

TEST(VersionComparison, AgainstTheProgramVersion) {
  const struct {
    const wchar_t* announced;
    bool newer;
  } cases[] = {
      {L"0.4.1", true},       {L"0.5", true},        {L"v0.5", true},       {L"0.4.0.1", true},
      {L"0.10.0", true},      {L"1", true},          {L"1.2-beta.3", true}, {L"0.4.0", false},
      {L"0.4", false},        {L"0.4.0.0", false},   {L"0.3.9", false},     {L"0.3.99", false},
      {L"0.4-beta.9", false}, {L"beta", false},      {L"", false},          {L"0", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsNewerVersion(c.announced, L"0.4.0"), c.newer) << WideToUtf8(c.announced);
  }
  // Without digits a version is never newer, also against a version without digits.
  EXPECT_FALSE(IsNewerVersion(L"new", L"old"));
  EXPECT_TRUE(IsNewerVersion(L"0.0.1", L"old"));
}

TEST(VersionComparison, DisplayedVersionLosesOneLeadingV) {
  const struct {
    const wchar_t* announced;
    const wchar_t* shown;
  } cases[] = {{L"v0.5", L"0.5"}, {L"V1", L"1"}, {L"vv1", L"v1"}, {L"0.5v", L"0.5v"}, {L"v", L""}, {L"", L""}};
  for (const auto& c : cases) EXPECT_EQ(DisplayedVersion(c.announced), c.shown) << WideToUtf8(c.announced);
}

TEST(UpdateFetch, LoopbackHostsGoWithoutProxy) {
  for (const wchar_t* host : {L"127.0.0.1", L"localhost", L"LocalHost", L"::1"}) {
    EXPECT_TRUE(IsLoopbackHost(host)) << WideToUtf8(host);
  }
  for (const wchar_t* host : {L"127.0.0.2", L"localhost.example", L"quorvantline.example", L"", L"[::1]"}) {
    EXPECT_FALSE(IsLoopbackHost(host)) << WideToUtf8(host);
  }
}

// Sets QUORVANTLINE_UPDATE_URL for one test and removes it afterwards.
class ScopedUpdateUrl {
 public:
  explicit ScopedUpdateUrl(const std::wstring& value) { SetEnvironmentVariableW(kUpdateUrlVariable, value.c_str()); }
  ~ScopedUpdateUrl() { SetEnvironmentVariableW(kUpdateUrlVariable, nullptr); }
};

TEST(UpdateFetch, PageUrlFromTheEnvironment) {
  SetEnvironmentVariableW(kUpdateUrlVariable, nullptr);
  EXPECT_EQ(UpdatePageUrl(), kDefaultUpdatePageUrl);
  const std::wstring prefix = L"http://127.0.0.1:1/";
  const struct {
    std::wstring value;
    std::wstring expected;
  } cases[] = {
      {L"http://127.0.0.1:8080/page?x=1", L"http://127.0.0.1:8080/page?x=1"},
      {L"", kDefaultUpdatePageUrl},
      {prefix + std::wstring(2047 - prefix.size(), L'a'), prefix + std::wstring(2047 - prefix.size(), L'a')},
      {prefix + std::wstring(2048 - prefix.size(), L'a'), kDefaultUpdatePageUrl},
      {prefix + std::wstring(5000, L'a'), kDefaultUpdatePageUrl},
  };
  for (const auto& c : cases) {
    ScopedUpdateUrl url(c.value);
    EXPECT_EQ(UpdatePageUrl(), c.expected) << c.value.size();
  }
}

// ---- Against a real server on 127.0.0.1 -----------------------------------------

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return text;
}

// The page padded with spaces to exactly the given size.
std::string PageOfSize(const std::string& version, std::size_t size) {
  std::string page = PageAnnouncing(version);
  page.resize(size, ' ');
  return page;
}

TEST(UpdateCheck, AnnouncedVersionsAgainstTheProgramVersion) {
  const struct {
    const char* announced;
    const wchar_t* latest;  // null: no notice
  } cases[] = {
      {"0.4.1", L"0.4.1"}, {"v0.5", L"0.5"}, {"V1.0", L"1.0"}, {"0.4.0", nullptr}, {"0.3.9", nullptr},
  };
  for (const auto& c : cases) {
    TestHttpServer server({200, PageAnnouncing(c.announced)});
    ASSERT_TRUE(server.Started());
    const std::optional<UpdateNotice> notice = CheckForUpdate(server.Url());
    if (!c.latest) {
      EXPECT_FALSE(notice) << c.announced;
      continue;
    }
    ASSERT_TRUE(notice) << c.announced;
    EXPECT_EQ(notice->latestVersion, c.latest);
    EXPECT_EQ(notice->pageUrl, server.Url());
  }
}

TEST(UpdateCheck, SendsOneGetWithItsHeaders) {
  TestHttpServer server({200, PageAnnouncing("0.5")});
  ASSERT_TRUE(server.Started());
  ASSERT_TRUE(CheckForUpdate(server.Url(L"/quorvantline/index.html?from=test#top")));
  const std::vector<std::string> requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  const std::string head = Lower(requests[0]);
  EXPECT_EQ(head.rfind("get /quorvantline/index.html?from=test", 0), 0u) << requests[0];
  EXPECT_NE(head.find("\r\nuser-agent: quorvantline-update/1.0\r\n"), std::string::npos) << requests[0];
  EXPECT_NE(head.find("\r\ncache-control: no-cache\r\n"), std::string::npos) << requests[0];
  EXPECT_NE(head.find("\r\naccept-encoding: identity\r\n"), std::string::npos) << requests[0];
}

TEST(UpdateCheck, UrlWithoutPathRequestsTheRoot) {
  TestHttpServer server({200, PageAnnouncing("0.5")});
  ASSERT_TRUE(server.Started());
  ASSERT_TRUE(CheckForUpdate(server.Url(L"")));
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0].rfind("GET / HTTP/1.1\r\n", 0), 0u) << server.Requests()[0];
}

TEST(UpdateCheck, OnlyStatus200Counts) {
  for (int status : {201, 203, 404, 500}) {
    TestHttpServer server({status, PageAnnouncing("9.0")});
    ASSERT_TRUE(server.Started());
    EXPECT_FALSE(CheckForUpdate(server.Url())) << status;
    EXPECT_EQ(server.Requests().size(), 1u) << status;
  }
}

TEST(UpdateCheck, BodyLimitIs64KiB) {
  {
    TestHttpServer server({200, PageOfSize("0.5", 65'536)});
    ASSERT_TRUE(server.Started());
    const std::optional<std::string> body = FetchUpdatePage(server.Url());
    ASSERT_TRUE(body);
    EXPECT_EQ(body->size(), 65'536u);
    EXPECT_TRUE(CheckForUpdate(server.Url()));
  }
  TestHttpServer server({200, PageOfSize("0.5", 65'537)});
  ASSERT_TRUE(server.Started());
  EXPECT_FALSE(FetchUpdatePage(server.Url()));
  EXPECT_FALSE(CheckForUpdate(server.Url()));
}

TEST(UpdateCheck, EmptyBodyGivesNothing) {
  TestHttpServer server({200, ""});
  ASSERT_TRUE(server.Started());
  EXPECT_FALSE(FetchUpdatePage(server.Url()));
}

TEST(UpdateCheck, BrokenTransferUsesTheBytesThatArrived) {
  const std::string page = PageOfSize("0.5", 20'000);
  TestHttpServer::Reply reply{200, page};
  reply.sentBodyBytes = 3'000;
  TestHttpServer server(reply);
  ASSERT_TRUE(server.Started());
  const std::optional<std::string> body = FetchUpdatePage(server.Url());
  ASSERT_TRUE(body);
  EXPECT_EQ(*body, page.substr(0, 3'000));
  const std::optional<UpdateNotice> notice = CheckForUpdate(server.Url());
  ASSERT_TRUE(notice);
  EXPECT_EQ(notice->latestVersion, L"0.5");
}

TEST(UpdateCheck, StalledTransferEndsAtTheReceiveTimeout) {
  // The tag arrives at once, then the server pauses longer than the 3 s receive
  // time-out before sending the rest, which would take the body over 64 KiB:
  // only a read that gives up after the time-out finds the version.
  TestHttpServer::Reply reply{200, PageOfSize("0.5", 70'000)};
  reply.stallAfterBodyBytes = 2'000;
  reply.stallMs = 3'600;
  TestHttpServer server(reply);
  ASSERT_TRUE(server.Started());
  const std::optional<UpdateNotice> notice = CheckForUpdate(server.Url());
  ASSERT_TRUE(notice);
  EXPECT_EQ(notice->latestVersion, L"0.5");
}

TEST(UpdateCheck, UnusableAddressesGiveNothing) {
  for (const wchar_t* url : {L"ftp://127.0.0.1/quorvantline/index.html", L"not an address", L"http:///index.html",
                             L"http://127.0.0.1:1/quorvantline/index.html"}) {
    EXPECT_FALSE(CheckForUpdate(url)) << WideToUtf8(url);
  }
}

// ---- Handing the notice to the window ------------------------------------------------

// A message-only window whose queue the test reads itself.
class MessageWindow {
 public:
  MessageWindow()
      : window_(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr)) {}
  ~MessageWindow() {
    if (window_) DestroyWindow(window_);
  }
  HWND get() const { return window_; }

  // The lParam of the next UpdateAvailableMessage, or 0 when none came in time.
  LPARAM WaitForNotice(DWORD milliseconds) {
    const ULONGLONG giveUp = GetTickCount64() + milliseconds;
    while (GetTickCount64() < giveUp) {
      MSG message;
      while (PeekMessageW(&message, window_, 0, 0, PM_REMOVE)) {
        if (message.message == UpdateAvailableMessage) return message.lParam;
        DispatchMessageW(&message);
      }
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return 0;
  }

 private:
  HWND window_;
};

TEST(UpdateNoticeHandOver, OnlyThePostedNoticeIsTaken) {
  MessageWindow window;
  ASSERT_TRUE(window.get());
  ASSERT_TRUE(HandOverUpdateNotice(window.get(), UpdateNotice{L"0.5", L"http://127.0.0.1/"}));
  const LPARAM posted = window.WaitForNotice(1000);
  ASSERT_NE(posted, 0);

  // Forged values are refused and leave the real notice in place.
  for (LPARAM forged : {LPARAM{0}, LPARAM{1}, posted + 8, posted - 8, reinterpret_cast<LPARAM>(&window)}) {
    EXPECT_EQ(TakeUpdateNotice(forged), nullptr) << forged;
  }
  std::unique_ptr<UpdateNotice> notice = TakeUpdateNotice(posted);
  ASSERT_NE(notice, nullptr);
  EXPECT_EQ(notice->latestVersion, L"0.5");
  EXPECT_EQ(notice->pageUrl, L"http://127.0.0.1/");
  // The same message delivered twice does not hand it out again.
  EXPECT_EQ(TakeUpdateNotice(posted), nullptr);
}

TEST(UpdateNoticeHandOver, FailedPostKeepsNothing) {
  HWND gone = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_TRUE(gone);
  DestroyWindow(gone);
  EXPECT_FALSE(HandOverUpdateNotice(gone, UpdateNotice{L"0.5", L"x"}));

  // A later hand-over works as usual and a stale pointer is not confused with it.
  MessageWindow window;
  ASSERT_TRUE(HandOverUpdateNotice(window.get(), UpdateNotice{L"0.6", L"y"}));
  const LPARAM posted = window.WaitForNotice(1000);
  ASSERT_NE(posted, 0);
  std::unique_ptr<UpdateNotice> notice = TakeUpdateNotice(posted);
  ASSERT_NE(notice, nullptr);
  EXPECT_EQ(notice->latestVersion, L"0.6");
}

TEST(UpdateNoticeHandOver, BackgroundCheckPostsToTheWindow) {
  TestHttpServer server({200, PageAnnouncing("v0.4.2")});
  ASSERT_TRUE(server.Started());
  ScopedUpdateUrl url(server.Url());
  MessageWindow window;
  ASSERT_TRUE(window.get());
  ASSERT_TRUE(StartUpdateCheck(window.get()));
  const LPARAM posted = window.WaitForNotice(4000);
  ASSERT_NE(posted, 0);
  EXPECT_EQ(TakeUpdateNotice(posted + 1), nullptr);
  std::unique_ptr<UpdateNotice> notice = TakeUpdateNotice(posted);
  ASSERT_NE(notice, nullptr);
  EXPECT_EQ(notice->latestVersion, L"0.4.2");
  EXPECT_EQ(notice->pageUrl, server.Url());
  EXPECT_EQ(server.Requests().size(), 1u);
}

}  // namespace
}  // namespace qv
