// Helpers for tests of the plugin host: temporary plugin folders, a host whose
// output is captured, and running Lua snippets inside a plugin state.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "host/plugin_host.h"
#include "tests/support/test_files.h"

namespace qv::test {

// A file or folder of the source tree ("docs\\plugins.md") as a Windows path.
std::wstring SourcePath(const std::wstring& relative);
// The source tree's plugin folder as a Windows path.
std::wstring SourcePluginsDir();
// The error text on top of the stack without the traceback the message
// handler adds.
std::string ErrorWithoutTraceback(lua_State* L);

// A host with every action captured, over a plugin folder of its own.
struct CapturedHost {
  CapturedHost();
  PluginHost host;
  TempFolder folder;
  std::wstring output;  // everything onOutput received
  int clears = 0;
  int exits = 0;
  int managerOpens = 0;

  // Loads the folder; afterwards output goes straight to `output`.
  void Load();
  // Runs a command line's word and argument text, returning what it printed.
  std::wstring Run(const std::wstring& word, const std::wstring& arguments = L"");
  // Runs a chunk in the loaded plugin with this file name; returns what it
  // printed, or "error: " and the error text.
  std::wstring Exec(const std::wstring& plugin, const std::string& chunk);
};

// One script in a state of its own, outside any load pass.
struct ScriptState {
  explicit ScriptState(PluginHost& host, std::wstring path = L"C:\\plugins\\test.lua");
  ~ScriptState();
  PluginRecord record;
  // Compiles and runs the chunk with the time limit; returns the Lua status
  // and leaves the error text (if any) in `error`.
  int Run(const std::string& chunk);
  std::string error;
};

}  // namespace qv::test
