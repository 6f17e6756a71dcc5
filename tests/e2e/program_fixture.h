// A test of the real program: a fresh folder with a copy of quorvantline.exe,
// a plugin folder that the test writes or copies, and one running copy.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/support/driver.h"

namespace qv::e2e {

// A basic.lua with the commands the tests use. skipLoading adds host.skip_loading().
std::string TestBasicScript(bool skipLoading);

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes a script (UTF-8) into the plugin folder, creating the folder.
  void WritePlugin(const std::wstring& name, const std::string& content);
  // The shipped plugins, copied from the source tree.
  void CopyShippedPlugins();
  // Starts the copy. QUORVANTLINE_UPDATE_URL points at a closed local port
  // unless the test gives it.
  bool Start(std::vector<std::pair<std::wstring, std::wstring>> environment = {});
  // Starts in skip mode (the test's basic.lua) and waits for the console.
  void StartConsole();
  // Types a line, presses Enter and waits until the log holds expected.
  void Run(const std::wstring& line, const std::wstring& expected);

  std::vector<LogLine> Log() const { return ParseLog(app.ReadLog()); }
  // Kills any copy of the program still running from this test's folder.
  void KillStrayCopies();
  int Scale(int pixels) const { return ScaleFor(pixels, dpi_); }
  // The saved enable state: plugins\plugin-manager\disabled.txt.
  std::wstring DisabledFile() const { return pluginsFolder + L"\\plugin-manager\\disabled.txt"; }

  TempFolder folder;
  std::wstring exePath;
  std::wstring pluginsFolder;
  AppProcess app;

 private:
  int dpi_ = 96;
};

// Asserts that every log line is numbered and the numbers rise by one.
#define EXPECT_NUMBERED(lines)                                  \
  do {                                                          \
    std::wstring problem_;                                      \
    EXPECT_TRUE(NumbersConsecutive(lines, &problem_)) << Narrow(problem_); \
  } while (0)

}  // namespace qv::e2e
