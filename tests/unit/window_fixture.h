// Helpers for tests that drive the menu and plugin manager windows in-process:
// a process-wide plugin host over a temporary plugin folder, and a stand-in
// console window.
#pragma once

#include <windows.h>

#include <string>

#include "host/plugin_host.h"
#include "host_fixture.h"

namespace qv::test {

// Installs a fresh GlobalHost over a folder of its own (output captured) and
// removes it again; resets the console state that the windows share.
struct GlobalHostScope {
  GlobalHostScope();
  ~GlobalHostScope();
  GlobalHostScope(const GlobalHostScope&) = delete;
  GlobalHostScope& operator=(const GlobalHostScope&) = delete;

  void Load();
  PluginHost& host();

  TempFolder folder;
  std::wstring output;  // everything the host's onOutput received
};

// A plain top-level window standing in for the console, installed as
// MainWindow (with the menu and manager window classes registered) while it
// lives, with an empty output view so that the console's log takes text.
class StandInConsole {
 public:
  StandInConsole(int x, int y, int width, int height);
  ~StandInConsole();
  StandInConsole(const StandInConsole&) = delete;
  StandInConsole& operator=(const StandInConsole&) = delete;

  HWND window() const { return window_; }
  // True when a WM_CLOSE waits in this window's queue (and removes it).
  bool TakeClose();

 private:
  HWND window_ = nullptr;
};

}  // namespace qv::test
