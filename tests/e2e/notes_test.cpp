// The shipped notes plugin in the real program: a note outlives a reload and a
// restart, and "note copy" puts it on the desktop's clipboard.
#include "tests/e2e/program_fixture.h"

namespace qv::e2e {
namespace {

// The clipboard's Unicode text as another program sees it; empty when none.
std::wstring ClipboardText() {
  std::wstring text;
  WaitUntil([&] { return OpenClipboard(nullptr) != FALSE; }, milliseconds(5000));
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
      text = chars;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

class NotesTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    // The shipped notes.lua beside the test's basic.lua, which starts quickly
    // and has a reload and an exit command.
    CopyShippedPlugins();
    WritePlugin(L"basic.lua", TestBasicScript(true));
  }
};

TEST_F(NotesTest, ANoteOutlivesReloadAndRestartAndCopiesToTheClipboard) {
  StartConsole();
  const std::wstring note = L"买牛奶  \"两瓶\"";
  Run(L"note " + note, L"已记下第 1 条笔记。");
  Run(L"note 回电话", L"已记下第 2 条笔记。");
  Run(L"again", L"[插件] 已加载 4/4 个脚本");  // the test basic.lua's reload
  Run(L"note del 2", L"已删除第 2 条笔记：回电话");
  Run(L"notes", L"  1. " + note);

  app.Enter(L"bye");
  ASSERT_EQ(app.WaitForExit(), 0);
  StartConsole();
  Run(L"notes", L"共 1 条笔记：");
  std::vector<LogLine> lines = Log();
  EXPECT_EQ(FindLine(lines, L"  2. 回电话"), -1) << "the deleted note came back";
  EXPECT_GE(FindLine(lines, L"  1. " + note), 0) << Narrow(app.ReadLog());

  // Something else on the clipboard first, so the copy is seen to replace it.
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  CloseClipboard();
  Run(L"note copy 1", L"已把第 1 条笔记复制到剪贴板。");
  EXPECT_EQ(Narrow(ClipboardText()), Narrow(note));
}

}  // namespace
}  // namespace qv::e2e
