// Which plugins are switched off, kept in plugin-manager\disabled.txt.
#pragma once

#include <string>

#include "host/plugin_host.h"

namespace qv {

std::wstring DisabledListPath(const std::wstring& pluginsDir);
std::wstring DisabledListPath(const PluginHost& host);
bool SaveDisabledList(PluginHost& host);
void UnloadPlugin(PluginHost& host, PluginRecord& record);
bool SetPluginEnabled(PluginHost& host, const std::wstring& name, bool enable);
bool SetPluginEnabledAndSave(PluginHost& host, const std::wstring& name, bool enable);
void TakeEnableSnapshot(PluginHost& host);
void RevertToEnableSnapshot(PluginHost& host);

}  // namespace qv
