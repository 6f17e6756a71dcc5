// Helpers for the console tests: a fresh console state with a hidden output view.
#pragma once

#include <windows.h>

#include <string>

#include "console/globals.h"
#include "base/text.h"
#include "console/console_state.h"
#include "tests/support/hidden_output_view.h"
#include "tests/support/test_files.h"

namespace qv::test {

// Resets the console state and attaches a hidden output view for one test.
class ConsoleUnderTest {
 public:
  ConsoleUnderTest() {
    Console() = ConsoleState();
    Console().outputView = view.get();
  }
  ~ConsoleUnderTest() {
    Console() = ConsoleState();
    GlobalHost.reset();
  }
  std::wstring Shown() const { return view.Text(); }
  HiddenOutputView view;
};

}  // namespace qv::test
