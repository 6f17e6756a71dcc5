---@meta
-- quorvantline 插件接口的类型说明，供 Lua 语言服务器（LuaLS）做补全、悬停说明和检查。
-- 这个文件只给编辑器读：它放在 plugins 文件夹旁边的 lua-types 文件夹里，程序从不运行它。
-- 完整说明见 docs/plugins.md。

---命令运行时收到的参数：命令名之后的文字按空白拆成的词，双引号括起的部分算一个词（引号本身去掉）。
---@class qv.CommandArgs: string[]
---@field line string 命令名之后的原文（去掉首尾空白），引号和连续的空格都保留

---`host.register` 的参数。
---@class qv.CommandDefinition
---@field name string 命令名，英文字母不区分大小写；与已有命令重名时被忽略
---@field help? string 一行说明，`ls` 和 `help` 显示它
---@field run fun(args: qv.CommandArgs) 用户输入这条命令时运行，受 5 秒时间限制
---@field complete? fun(args: qv.CommandArgs): string[] 在命令名之后按 Tab 时运行，返回可供补全的词；`args.line` 以空白结尾表示正开始一个新词

---`host.commands()` 的一行。
---@class qv.CommandInfo
---@field name string 命令名，保持注册时的大小写
---@field help string 说明，没有时为空字符串
---@field plugin string 注册它的插件的文件名，例如 "basic.lua"

---`host.plugins()` 的一行。
---@class qv.PluginInfo
---@field name string 文件名，例如 "basic.lua"
---@field path string 脚本的完整路径
---@field commands integer 它注册的命令数
---@field ok boolean 加载没有出错时为 true（停用的插件也是 true）
---@field enabled boolean 没有被停用时为 true

---`host.system()` 的结果：19 项，全部是可以直接显示的文字，读不到的为 "未知"。
---@class qv.SystemInfo
---@field version string 程序版本，例如 "0.4.0"
---@field machineCode string 本机的机器码，例如 "QL-1A2B-3C4D-5E6F-7A8B"，同一台机器上不变
---@field compiler string 编译器，"MinGW-w64 / GCC"
---@field arch string 程序本身的架构，"x64"
---@field exePath string quorvantline.exe 的完整路径
---@field workingDir string 当前工作目录
---@field pid string 进程号（十进制文字）
---@field dpi string 显示 DPI，例如 "96"、"144"
---@field os string 操作系统，例如 "Windows 11 (10.0.22631)"
---@field sysArch string 系统（处理器）架构："x64"、"x86"、"ARM64"、"ARM" 或 "未知"
---@field cpu string 处理器标识（环境变量 PROCESSOR_IDENTIFIER），没有时为 "(未设置)"
---@field cpuCount string 逻辑处理器数（环境变量 NUMBER_OF_PROCESSORS），没有时为 "(未设置)"
---@field memory string 物理内存，例如 "16234 MB（可用 9012 MB）"
---@field computer string 计算机名
---@field user string 用户名（环境变量 USERNAME），没有时为 "(未设置)"
---@field locale string 界面语言的名称，例如 "中文(简体，中国)"
---@field codePage string 系统的 ANSI 代码页，例如 "936"
---@field systemDir string 系统目录，例如 "C:\\Windows\\system32"
---@field uptime string 开机时长，例如 "0 小时 7 分钟"、"3 天 4 小时 0 分钟"

---程序交给插件的全部接口。
---@class host
---@field version string 插件接口的版本，目前是 "1.0"
host = {}

---在输出区打印：各值经 tostring 转换、以制表符连接；末尾没有换行时补一个。与全局的 `print` 相同。
---@param ... any
function host.print(...) end

---注册一条命令。应在插件主体（加载时运行的代码）里调用。
---@param definition qv.CommandDefinition
function host.register(definition) end

---清空输出区，行号从 1 重新开始。
function host.clear() end

---当前的本地时间，"HH:MM:SS"。
---@return string
function host.time() end

---今天的本地日期，"YYYY-MM-DD"。
---@return string
function host.date() end

---程序、进程和本机的 19 项信息，每次调用都重新读取。
---@return qv.SystemInfo
function host.system() end

---当前命令结束后关闭主窗口，程序退出。
function host.exit() end

---当前命令结束后重新加载全部插件（包括调用它的插件）。
function host.reload() end

---全部命令，按注册顺序（basic.lua 的命令在前）。反映最近一次加载完成时的情况。
---@return qv.CommandInfo[]
function host.commands() end

---全部插件，按加载顺序，包括停用的和加载出错的。反映最近一次加载完成时的情况。
---@return qv.PluginInfo[]
function host.plugins() end

---插件文件夹的完整路径。
---@return string
function host.directory() end

---本插件的数据文件夹（插件文件夹里与脚本同名、去掉 .lua 的文件夹），不存在时先创建。
---@return string
function host.data_dir() end

---某个插件脚本的全部文字（去掉 UTF-8 BOM）。
---@param name string 插件的文件名，例如 "basic.lua"，不区分大小写
---@return string|nil text 没有这个插件或读不出来时为 nil
function host.source(name) end

---在启动时调用：跳过启动动画，直接显示启动报告。
function host.skip_loading() end

---在 "v" 菜单里加一项，点击时像输入了 command 一样运行它。菜单最多显示 12 项。
---@param label string 菜单上显示的文字
---@param command string 要运行的命令行，例如 "hello 世界"
function host.menu(label, command) end

---打开插件管理窗口（已经打开时把它提到前面）。
function host.plugin_manager() end

---能存进 `host.store` 的值：字符串（UTF-8）、数字（不是 NaN 或无穷大）、布尔值，以及由它们组成的表
---（从 1 开始连续编号的数组，或只用字符串作键），可以嵌套，不能有循环。
---@alias qv.StoreValue string|number|boolean|table

---本插件的持久存储：保存在数据文件夹的 .store.json 里，重新加载和重新启动之后都还在，最多 1 MiB。
---@class qv.Store
host.store = {}

---键 `key` 下保存的值；没有时为 nil。
---@param key string
---@return qv.StoreValue|nil value
function host.store.get(key) end

---把 `value` 存在 `key` 下（nil 删除这个键）。值不能保存时引发错误。
---@param key string
---@param value qv.StoreValue|nil
---@return true|nil ok 超过 1 MiB 或文件写不进去时为 nil，原内容不变
---@return string? reason 失败的原因（中文）
function host.store.set(key, value) end

---全部键，按字节顺序排列。
---@return string[]
function host.store.keys() end

---读取数据文件夹里的一个文件。`name` 只能是简单的文件名（不能是路径、设备名或以点开头），否则引发错误。
---@param name string
---@return string|nil text 文件的全部内容；读不出来时为 nil
---@return string? reason 失败的原因（中文）
function host.read_file(name) end

---把 `text` 整个写进数据文件夹里的文件 `name`（替换已有的文件）。一个文件最多 4 MiB，合计最多 16 MiB、1000 个文件。
---@param name string
---@param text string
---@return true|nil ok
---@return string? reason 失败的原因（中文）
function host.write_file(name, text) end

---数据文件夹里本插件的文件名，按名字排列。
---@return string[]
function host.list_files() end

---带参数时把 `text` 放进剪贴板；不带参数时返回剪贴板里的文字（没有时为 nil）。
---@param text? string
---@return string|true|nil result 放进去时为 true；读取时为文字
---@return string? reason 失败的原因（中文）
function host.clipboard(text) end

---用默认程序打开 http、https、mailto 地址，或在资源管理器里显示已有的文件夹（完整路径）。不运行程序，不打开文档。
---@param target string
---@return true|nil ok
---@return string? reason 不能打开的原因（中文）
function host.open(target) end

---程序启动以来的毫秒数（单调时钟，带小数），用来计时。
---@return number
function host.clock() end

---`ms` 毫秒之后运行一次 `fn`（像命令一样：在脚本线程上、同样的 5 秒限制、输出进入输出区）。
---`ms` 至少 50、至多 2147483647；每个插件同时最多 100 个定时器。运行出错的定时器报告一次并取消。
---插件重新加载、被停用、被切断或程序退出时，它的定时器全部结束。
---@param ms integer
---@param fn fun()
---@return integer|nil id 交给 host.cancel 的编号；超出限制时为 nil
---@return string? reason 超出限制的原因（中文）
function host.after(ms, fn) end

---每隔 `ms` 毫秒运行一次 `fn`，直到 host.cancel 或插件的状态结束。限制同 host.after。
---@param ms integer
---@param fn fun()
---@return integer|nil id
---@return string? reason
function host.every(ms, fn) end

---取消本插件编号为 `id` 的定时器。
---@param id integer
---@return boolean cancelled 定时器还在等待并且已取消时为 true
function host.cancel(id) end

---在通知区域显示一条通知（Windows 10/11 上是一条通知消息），点击它会显示程序窗口。
---文字最多 255 个字符，标题最多 63 个字符（省略时是程序名）；每个插件每分钟最多 10 条。
---@param text string
---@param title? string
---@return true|nil ok
---@return string? reason 没有显示的原因（中文）
function host.notify(text, title) end

---删除本插件添加的、文字为 `label` 的菜单项（同名的都删除）。
---@param label string
---@return boolean removed 删除了至少一项时为 true
function host.menu_remove(label) end
