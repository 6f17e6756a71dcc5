// Which messages the window thread handles while a script call runs.
#include <gtest/gtest.h>

#include "console/call_wait.h"
#include "console/layout.h"

namespace qv {
namespace {

TEST(CallTimeMessages, OnlyPaintingMovingMinimizingAndEscActNow) {
  using A = CallTimeAction;
  const int outside = static_cast<int>(TitleHit::kOutside);
  const struct {
    UINT message;
    WPARAM wParam;
    bool onMainWindow;
    int titleHit;
    A expected;
  } cases[] = {
      {WM_PAINT, 0, true, outside, A::kDispatch},
      {WM_TIMER, 1, true, outside, A::kDispatch},
      {WM_NCLBUTTONDOWN, HTCAPTION, true, outside, A::kDispatch},  // dragging the window
      {WM_MOUSEMOVE, 0, true, outside, A::kDispatch},
      {WM_MOUSEWHEEL, 0, false, outside, A::kDispatch},
      {WM_KEYDOWN, VK_ESCAPE, false, outside, A::kStop},
      {WM_KEYUP, VK_ESCAPE, false, outside, A::kDrop},
      {WM_CHAR, VK_ESCAPE, false, outside, A::kDrop},
      {WM_KEYDOWN, VK_RETURN, false, outside, A::kDefer},  // typed ahead
      {WM_CHAR, L'a', false, outside, A::kDefer},
      {WM_SYSKEYDOWN, VK_F4, true, outside, A::kDefer},
      {WM_LBUTTONDOWN, 0, true, static_cast<int>(TitleHit::kClose), A::kDefer},
      {WM_LBUTTONDOWN, 0, true, static_cast<int>(TitleHit::kMinimize), A::kDispatch},
      {WM_LBUTTONDOWN, 0, true, static_cast<int>(TitleHit::kPin), A::kDefer},
      {WM_LBUTTONDOWN, 0, true, outside, A::kDefer},  // the menu button
      {WM_LBUTTONDOWN, 0, false, static_cast<int>(TitleHit::kMinimize), A::kDefer},  // a row of the plugin manager
      {WM_RBUTTONUP, 0, true, outside, A::kDefer},
      {WM_CLOSE, 0, true, outside, A::kDefer},
      {WM_APP + 1, 0, true, outside, A::kDefer},  // the update notice
      {WM_QUIT, 0, false, outside, A::kDefer},
      {EM_SETLIMITTEXT, 5, false, outside, A::kDefer},
  };
  for (const auto& c : cases) {
    MSG message{};
    message.message = c.message;
    message.wParam = c.wParam;
    EXPECT_EQ(ClassifyCallTimeMessage(message, c.onMainWindow, c.titleHit), c.expected)
        << "message " << c.message << " wParam " << c.wParam;
  }
}

}  // namespace
}  // namespace qv
