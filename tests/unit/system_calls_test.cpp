#include <gtest/gtest.h>

#include "base/system_calls.h"

namespace qv {
namespace {

TEST(DarkModeExports, GatedByWindowsBuild) {
  const struct {
    DWORD build;
    bool allowForWindow;
    AppModeExport appMode;
  } cases[] = {
      {0, false, AppModeExport::kNone},  // version unknown
      {10240, false, AppModeExport::kNone},
      {17134, false, AppModeExport::kNone},  // 1803
      {17762, false, AppModeExport::kNone},
      {17763, true, AppModeExport::kAllowDarkModeForApp},  // 1809
      {18333, true, AppModeExport::kAllowDarkModeForApp},
      {18334, true, AppModeExport::kSetPreferredAppMode},
      {18362, true, AppModeExport::kSetPreferredAppMode},  // 1903
      {19045, true, AppModeExport::kSetPreferredAppMode},
      {22631, true, AppModeExport::kSetPreferredAppMode},  // Windows 11
  };
  for (const auto& c : cases) {
    const DarkModeExports exports = DarkModeExportsFor(c.build);
    EXPECT_EQ(exports.allowDarkModeForWindow, c.allowForWindow) << c.build;
    EXPECT_EQ(exports.appMode, c.appMode) << c.build;
  }
}

}  // namespace
}  // namespace qv
