#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/text.h"
#include "console/date_text.h"
#include "console/startup_animation.h"

namespace qv {
namespace {

PluginSummary Plugin(const std::wstring& name, int commands, bool ok = true, bool enabled = true) {
  PluginSummary summary;
  summary.name = name;
  summary.commands = commands;
  summary.ok = ok;
  summary.enabled = enabled;
  return summary;
}

TEST(ConsoleStartup, ReportListsPluginsWithTheirState) {
  const std::vector<PluginSummary> plugins = {Plugin(L"basic.lua", 12), Plugin(L"empty.lua", 0),
                                              Plugin(L"broken.lua", 0, false), Plugin(L"off.lua", 3, true, false)};
  EXPECT_EQ(BuildStartupScript(&plugins, false, L"2026-12-07"),
            L"> v0.4.0\n"
            L"> 2026-12-07\n"
            L"> [plugin] basic.lua 已加载（12 条命令）\n"
            L"> [plugin] empty.lua 已加载\n"
            L"> [plugin] broken.lua 加载失败\n"
            L"> [plugin] off.lua 已禁用\n"
            L"> 正在准备界面...");
}

TEST(ConsoleStartup, ReportListsEightPluginsAndCountsTheRest) {
  std::vector<PluginSummary> plugins;
  for (int i = 1; i <= 10; ++i) plugins.push_back(Plugin(L"p" + DecimalText(i) + L".lua", 1));
  const std::wstring script = BuildStartupScript(&plugins, false, L"2027-01-01");
  EXPECT_NE(script.find(L"> [plugin] p8.lua 已加载（1 条命令）\n> [plugin] ... 还有 2 个插件\n> 正在准备界面..."),
            std::wstring::npos);
  EXPECT_EQ(script.find(L"p9.lua"), std::wstring::npos);
  plugins.resize(8);
  EXPECT_EQ(BuildStartupScript(&plugins, false, L"2027-01-01").find(L"还有"), std::wstring::npos);
}

TEST(ConsoleStartup, SkipModeAndMissingPlugins) {
  const std::vector<PluginSummary> none;
  EXPECT_EQ(BuildStartupScript(&none, true, L"2026-12-07"), L"2026-12-07\n[plugin] 未发现插件\n已跳过加载动画");
  EXPECT_EQ(BuildStartupScript(nullptr, false, L"2026-12-07"),
            L"> v0.4.0\n> 2026-12-07\n> [plugin] 未发现插件\n> 正在准备界面...");
}

TEST(ConsoleStartup, RevealTakesAboutEightyTicks) {
  const std::pair<std::uint64_t, std::uint64_t> steps[] = {{1, 1}, {80, 1}, {81, 2}, {160, 2}, {161, 3}, {200, 3}};
  for (const auto& [length, step] : steps) EXPECT_EQ(RevealStep(length), step) << length;
}

TEST(ConsoleStartup, VisibleLinesWithBlinkingCaret) {
  const std::wstring script = L"> a\n> b\n> c";
  using Lines = std::vector<std::wstring>;
  EXPECT_EQ(VisibleScriptLines(script, 0, 0), Lines{L"|"});
  EXPECT_EQ(VisibleScriptLines(script, 4, 5), (Lines{L"> a", L"|"}));
  EXPECT_EQ(VisibleScriptLines(script, 4, 6), (Lines{L"> a", L""}));
  EXPECT_EQ(VisibleScriptLines(script, 6, 12), (Lines{L"> a", L"> |"}));
  EXPECT_EQ(VisibleScriptLines(script, 7, 12), (Lines{L"> a", L"> b|"}));
  EXPECT_EQ(VisibleScriptLines(script, 999, 13), (Lines{L"> a", L"> b", L"> c|"}));
}

TEST(ConsoleStartup, FadeSteps) {
  std::vector<int> in{0};
  while (in.back() < 255) in.push_back(FadeInStep(in.back()));
  EXPECT_EQ(in.size(), 12u);  // 0 then 11 steps: 25, 50, ..., 250, 255
  EXPECT_EQ(in[10], 250);
  int alpha = 255;
  int steps = 0;
  while ((alpha = FadeOutStep(alpha)) > 0) ++steps;
  EXPECT_EQ(steps, 10);  // 230 ... 5, then the overlay goes at the 11th step
}

TEST(ConsoleStartup, DateText) {
  SYSTEMTIME time{};
  time.wYear = 2026;
  time.wMonth = 12;
  time.wDay = 7;
  time.wHour = 23;
  EXPECT_EQ(DateText(time), L"2026-12-07");
  time = SYSTEMTIME{};
  time.wYear = 2027;
  time.wMonth = 1;
  time.wDay = 1;
  EXPECT_EQ(DateText(time), L"2027-01-01");
  EXPECT_EQ(LocalDateText().size(), 10u);
}

}  // namespace
}  // namespace qv
