#include <gtest/gtest.h>

#include "console/layout.h"
#include "tests/support/rect_matcher.h"

namespace qv {
namespace {

using test::RectIs;

TEST(ConsoleLayout, ConsoleRectanglesAt96And144Dpi) {
  struct Case {
    LayoutMetrics metrics;
    int width, height;
    RECT output, inputRow, edit, prompt, menuButton, view;
  };
  // At 96 DPI with a 15-pixel line: row height max(23, 24) = 24.
  // At 144 DPI with a 22-pixel line: row height max(22 + 12, 36) = 36; Scale(1) and
  // Scale(7) round to 2 and 11.
  const Case cases[] = {
      {{96, 15, 8}, 960, 640,
       {18, 48, 942, 588}, {18, 600, 942, 624}, {30, 603, 898, 620}, {18, 604, 26, 621}, {908, 600, 942, 624},
       {29, 56, 931, 580}},
      {{144, 22, 12}, 1440, 960,
       {27, 72, 1413, 882}, {27, 900, 1413, 936}, {45, 905, 1347, 930}, {27, 907, 39, 932}, {1362, 900, 1413, 936},
       {43, 84, 1397, 870}},
  };
  for (const Case& c : cases) {
    const Panels panels = ComputePanels(c.width, c.height, c.metrics);
    EXPECT_TRUE(RectIs(panels.output, c.output)) << c.metrics.dpi;
    EXPECT_TRUE(RectIs(panels.inputRow, c.inputRow)) << c.metrics.dpi;
    const InputRowParts row = ComputeInputRow(panels.inputRow, c.metrics);
    EXPECT_TRUE(RectIs(row.edit, c.edit)) << c.metrics.dpi;
    EXPECT_TRUE(RectIs(row.prompt, c.prompt)) << c.metrics.dpi;
    EXPECT_TRUE(RectIs(row.menuButton, c.menuButton)) << c.metrics.dpi;
    EXPECT_TRUE(RectIs(ComputeOutputViewRect(panels.output, c.metrics.dpi), c.view)) << c.metrics.dpi;
  }
}

TEST(ConsoleLayout, OutputPanelKeepsAMinimumHeightInATinyWindow) {
  const Panels panels = ComputePanels(100, 60, {96, 16, 8});
  EXPECT_EQ(panels.output.bottom, 36 + 48);
  EXPECT_TRUE(RectIs(ComputeOutputViewRect({18, 48, 20, 50}, 96), {29, 56, 30, 57}));  // never below 1 x 1
}

TEST(ConsoleLayout, TitleButtonsAndHits) {
  const TitleButtons at96 = ComputeTitleButtons(960, 96);
  EXPECT_TRUE(RectIs(at96.minimize, {834, 0, 876, 36}));
  EXPECT_TRUE(RectIs(at96.pin, {876, 0, 918, 36}));
  EXPECT_TRUE(RectIs(at96.close, {918, 0, 960, 36}));
  const TitleButtons at144 = ComputeTitleButtons(1440, 144);
  EXPECT_TRUE(RectIs(at144.bar, {0, 0, 1440, 54}));
  EXPECT_TRUE(RectIs(at144.minimize, {1251, 0, 1314, 54}));

  const std::pair<POINT, TitleHit> hits[] = {
      {{10, 10}, TitleHit::kCaption}, {{833, 35}, TitleHit::kCaption}, {{834, 0}, TitleHit::kMinimize},
      {{900, 20}, TitleHit::kPin},    {{959, 35}, TitleHit::kClose},   {{959, 36}, TitleHit::kOutside},
      {{10, -1}, TitleHit::kOutside},
  };
  for (const auto& [point, expected] : hits) {
    EXPECT_EQ(HitTitleBar(point, 960, 96), expected) << point.x << "," << point.y;
  }
}

TEST(ConsoleLayout, OverlayAndMainWindowPlacement) {
  EXPECT_TRUE(RectIs(ComputeOverlayRect({100, 50}, 960, 640, 96), {100, 86, 1060, 690}));
  EXPECT_TRUE(RectIs(ComputeOverlayRect({0, 0}, 300, 20, 96), {0, 36, 300, 36}));

  // The frame adds 8 pixels each side at 96 DPI in this example.
  EXPECT_TRUE(RectIs(ComputeMainWindowPlacement({0, 0, 1920, 1160}, {1920, 1200}, 976, 656, 96),
                     {472, 252, 1448, 908}));
  // 144 DPI: a 1440 x 960 client area fits a 1920 x 1160 work area minus the 60-pixel margin.
  EXPECT_TRUE(RectIs(ComputeMainWindowPlacement({0, 0, 1920, 1160}, {1920, 1200}, 1464, 984, 144),
                     {228, 88, 1692, 1072}));
  // A smaller work area shrinks the window and keeps it centred.
  EXPECT_TRUE(RectIs(ComputeMainWindowPlacement({0, 0, 1280, 1000}, {1280, 1024}, 1464, 984, 144),
                     {30, 30, 1250, 970}));
  // An empty work area falls back to the screen.
  EXPECT_TRUE(RectIs(ComputeMainWindowPlacement({0, 0, 0, 0}, {1024, 768}, 976, 656, 96), {24, 56, 1000, 712}));
}

}  // namespace
}  // namespace qv
