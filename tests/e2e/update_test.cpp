// The update check of the real program against a local HTTP server.
#include "tests/e2e/program_fixture.h"
#include "tests/unit/test_http_server.h"

namespace qv::e2e {
namespace {

using qv::testing::PageAnnouncing;
using qv::testing::TestHttpServer;

TEST_F(ProgramTest, NewerVersionIsAnnouncedInTheLog) {
  WritePlugin(L"basic.lua", TestBasicScript(true));
  TestHttpServer server(TestHttpServer::Reply{200, PageAnnouncing("v0.10.1"), std::string::npos, 0});
  ASSERT_TRUE(server.Started());
  ASSERT_TRUE(Start({{L"QUORVANTLINE_UPDATE_URL", server.Url()}}));
  ASSERT_NE(app.WaitForMainWindow(), nullptr);
  ASSERT_TRUE(app.WaitForConsole());
  ASSERT_TRUE(app.WaitForLog(L"[更新] 输入 update 打开下载页面。")) << "no update notice";
  std::vector<LogLine> lines = Log();
  int notice = FindLineStarting(lines, L"[更新] ");
  ASSERT_GE(notice, 0);
  ASSERT_GE(lines.size(), static_cast<size_t>(notice) + 3);
  EXPECT_EQ(Narrow(lines[static_cast<size_t>(notice)].text), Narrow(L"[更新] 发现新版本 v0.10.1（当前 v0.4.0）"));
  EXPECT_EQ(Narrow(lines[static_cast<size_t>(notice) + 1].text), Narrow(L"[更新] 输入 update 打开下载页面。"));
  EXPECT_EQ(lines[static_cast<size_t>(notice) + 2].text, L"");
  EXPECT_EQ(CountOccurrences(app.ReadLog(), L"[更新] "), 2);
  EXPECT_NUMBERED(lines);
  // One request, with the program's user agent.
  std::vector<std::string> requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_NE(requests[0].find("GET /quorvantline/index.html"), std::string::npos) << requests[0];
  EXPECT_NE(requests[0].find("User-Agent: quorvantline-update/1.0"), std::string::npos) << requests[0];
}

TEST_F(ProgramTest, SameOrOlderVersionIsNotAnnounced) {
  WritePlugin(L"basic.lua", TestBasicScript(true));
  for (const char* version : {"0.3.9", "0.4.0", "0.4"}) {
    TestHttpServer server(TestHttpServer::Reply{200, PageAnnouncing(version), std::string::npos, 0});
    ASSERT_TRUE(server.Started());
    AppProcess run;
    ASSERT_TRUE(run.Start(exePath, {{L"QUORVANTLINE_UPDATE_URL", server.Url()}}));
    ASSERT_NE(run.WaitForMainWindow(), nullptr);
    ASSERT_TRUE(run.WaitForConsole());
    // The page was fetched; give the answer time to arrive, then look.
    ASSERT_TRUE(WaitUntil([&] { return !server.Requests().empty(); })) << "the page was never fetched";
    Sleep(500);
    run.Settle();
    run.Enter(L"update");
    ASSERT_TRUE(run.WaitForLog(L"当前没有可用更新。")) << version;
    EXPECT_EQ(run.ReadLog().find(L"[更新]"), std::wstring::npos) << version << "\n" << Narrow(run.ReadLog());
    SIZE client = ClientSize(run.MainWindow());
    ClickAt(run.MainWindow(), client.cx - Scale(21), Scale(18));
    EXPECT_EQ(run.WaitForExit(), 0);
  }
}

}  // namespace
}  // namespace qv::e2e
