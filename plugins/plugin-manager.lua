-- plugin-manager.lua: opens the plugin manager window, where plugins are
-- switched on and off. With this script disabled the window can no longer be
-- opened from the interface; enable it again by removing its line from
-- plugin-manager\disabled.txt in the plugins folder.

local COMMAND = "manager"

host.register{
  name = COMMAND,
  help = "打开插件管理窗口，启用或停用插件",
  run = function()
    host.plugin_manager()
  end,
}

host.menu("插件管理", COMMAND)
