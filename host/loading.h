// The load pass: every script in the plugins folder, each in a state of its own.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "host/plugin_host.h"

namespace qv {

// The script that provides the ordinary commands: loaded first, never
// disabled, and the program does not start without it.
inline constexpr wchar_t kBasicScript[] = L"basic.lua";
// Whether a path or file name names kBasicScript, in any case.
bool IsBasicScript(const std::wstring& path);
void LoadPlugins(PluginHost& host);
// Script thread: compiles and runs the record's script in its state.
bool LoadScript(PluginHost& host, PluginRecord& record);
// The same with the script's text already read (nothing: it could not be).
bool LoadScriptText(PluginHost& host, PluginRecord& record, std::optional<std::string> text);
enum class LoadOutcome { kLoaded, kFailed, kNoState };
// Owning thread: creates the record's state and loads its script on the
// script thread; a load that gets stuck cuts the plugin off.
LoadOutcome LoadOnScriptThread(PluginHost& host, PluginRecord& record);
// Names listed in a disabled file's content, by the reader's line rules.
std::vector<std::wstring> ParseDisabledList(const std::string& content);

}  // namespace qv
