-- basic.lua: the ordinary command set of quorvantline.
--
-- The program refuses to start without this script. Every command prints one
-- block of text that ends with an empty line, like the console's own
-- messages; commands that only act (clear) print nothing. Typing mistakes are
-- answered with a Chinese message or a usage line, never with a Lua error.

local PLUGIN = "basic.lua"

--------------------------------------------------------------------------------
-- Output helpers
--------------------------------------------------------------------------------

-- Prints the lines as one block that ends with an empty line.
local function sayLines(lines)
  print(table.concat(lines, "\r\n") .. "\r\n\r\n")
end

local function say(...)
  sayLines({ ... })
end

-- Columns that a UTF-8 text takes on the console: East Asian wide characters
-- count as two.
local function isWide(code)
  return (code >= 0x1100 and code <= 0x115F) or (code >= 0x2E80 and code <= 0xA4CF)
      or (code >= 0xAC00 and code <= 0xD7A3) or (code >= 0xF900 and code <= 0xFAFF)
      or (code >= 0xFE30 and code <= 0xFE4F) or (code >= 0xFF00 and code <= 0xFF60)
      or (code >= 0xFFE0 and code <= 0xFFE6) or (code >= 0x20000 and code <= 0x3FFFD)
end

local function displayWidth(text)
  if not utf8.len(text) then return #text end
  local width = 0
  for _, code in utf8.codes(text) do
    width = width + (isWide(code) and 2 or 1)
  end
  return width
end

-- The text followed by spaces up to the given number of columns.
local function padRight(text, columns)
  return text .. string.rep(" ", columns - displayWidth(text))
end

local function padLeft(text, columns)
  return string.rep(" ", columns - displayWidth(text)) .. text
end

-- Lines of two columns, the first padded to its widest entry.
local function alignedRows(rows, indent)
  local width = 0
  for _, row in ipairs(rows) do width = math.max(width, displayWidth(row[1])) end
  local lines = {}
  for _, row in ipairs(rows) do
    lines[#lines + 1] = indent .. padRight(row[1], width) .. "  " .. row[2]
  end
  return lines
end

local function usage(text)
  say("用法：" .. text)
end

--------------------------------------------------------------------------------
-- calc: a recursive-descent parser for arithmetic, since scripts cannot load
-- code. Precedence and associativity follow Lua:
--   expression := term { ("+" | "-") term }
--   term       := unary { ("*" | "/" | "%") unary }
--   unary      := ("-" | "+") unary | power
--   power      := primary [ "^" unary ]        (right-associative, binds
--   primary    := number | "(" expression ")"   tighter than unary minus)
-- All arithmetic is done in floats, so large values lose precision instead of
-- wrapping around.
--------------------------------------------------------------------------------

local MAX_NESTING = 200

-- Full-width forms that a Chinese input method produces, and their ASCII twins.
local FULL_WIDTH = {
  ["（"] = "(", ["）"] = ")", ["×"] = "*", ["÷"] = "/", ["＋"] = "+", ["－"] = "-",
  ["＊"] = "*", ["／"] = "/", ["％"] = "%", ["＾"] = "^", ["．"] = ".", ["　"] = " ",
  ["０"] = "0", ["１"] = "1", ["２"] = "2", ["３"] = "3", ["４"] = "4",
  ["５"] = "5", ["６"] = "6", ["７"] = "7", ["８"] = "8", ["９"] = "9",
}

local function normalizeExpression(text)
  if not utf8.len(text) then return text end
  return (text:gsub(utf8.charpattern, FULL_WIDTH))
end

-- The metatable of the parser's own errors; anything else is passed on.
local CalcError = {}

local function fail(message)
  error(setmetatable({ message = message }, CalcError), 0)
end

-- Position of a byte offset counted in characters, for the messages.
local function characterNumber(text, offset)
  local before = utf8.len(text, 1, offset - 1)
  return before and before + 1 or offset
end

-- Splits the text into tokens { kind = "number" | "op" | "end", value, text,
-- at = byte offset }.
local function tokenize(text)
  local tokens = {}
  local i = 1
  while i <= #text do
    local c = text:sub(i, i)
    if c:match("%s") then
      i = i + 1
    elseif c:match("[%d%.]") then
      local number = text:match("^%d*%.?%d*", i)
      local exponent = text:match("^[eE][%+%-]?%d+", i + #number)
      if number == "." then
        fail(string.format("第 %d 个字符“.”前后缺少数字。", characterNumber(text, i)))
      end
      number = number .. (exponent or "")
      tokens[#tokens + 1] = { kind = "number", value = tonumber(number) + 0.0, text = number, at = i }
      i = i + #number
    elseif c:match("[%+%-%*/%%%^%(%)]") then
      tokens[#tokens + 1] = { kind = "op", value = c, text = c, at = i }
      i = i + 1
    else
      local character = text:match("^" .. utf8.charpattern, i) or c
      fail(string.format("第 %d 个字符“%s”无法识别。", characterNumber(text, i), character))
    end
  end
  tokens[#tokens + 1] = { kind = "end", text = "", at = #text + 1 }
  return tokens
end

local function evaluate(text)
  local tokens = tokenize(text)
  local position = 1
  local depth = 0

  local function peek() return tokens[position] end
  local function advance()
    local token = tokens[position]
    position = position + 1
    return token
  end
  local function isOp(token, ...)
    if token.kind ~= "op" then return false end
    for _, op in ipairs({ ... }) do
      if token.value == op then return true end
    end
    return false
  end
  local function unexpected(token)
    if token.kind == "end" then fail("表达式不完整。") end
    fail(string.format("第 %d 个字符处的“%s”不应出现在这里。", characterNumber(text, token.at), token.text))
  end

  local expression, unary

  local function primary()
    local token = advance()
    if token.kind == "number" then return token.value end
    if isOp(token, "(") then
      local value = expression()
      if not isOp(peek(), ")") then
        if peek().kind == "end" then fail("缺少右括号“)”。") end
        unexpected(peek())
      end
      advance()
      return value
    end
    unexpected(token)
  end

  local function power()
    local base = primary()
    if isOp(peek(), "^") then
      advance()
      return base ^ unary()
    end
    return base
  end

  -- Every recursion passes through here, so the nesting is bounded here.
  function unary()
    depth = depth + 1
    if depth > MAX_NESTING then fail("表达式嵌套太深。") end
    local value
    if isOp(peek(), "-", "+") then
      local sign = advance().value
      value = unary()
      if sign == "-" then value = -value end
    else
      value = power()
    end
    depth = depth - 1
    return value
  end

  local function term()
    local value = unary()
    while isOp(peek(), "*", "/", "%") do
      local op = advance().value
      local right = unary()
      if op == "*" then
        value = value * right
      elseif right == 0 then
        fail(op == "/" and "除数不能为零。" or "取余运算的除数不能为零。")
      elseif op == "/" then
        value = value / right
      else
        value = value % right
      end
    end
    return value
  end

  function expression()
    local value = term()
    while isOp(peek(), "+", "-") do
      local op = advance().value
      local right = term()
      value = op == "+" and value + right or value - right
    end
    return value
  end

  local value = expression()
  if peek().kind ~= "end" then unexpected(peek()) end
  if value ~= value then fail("结果不是实数。") end
  if value == math.huge or value == -math.huge then fail("结果超出数值范围。") end
  return value
end

-- Integral results up to 2^53, the range in which a float holds every integer
-- exactly, without a decimal point and with all their digits; the rest with 14
-- significant digits, as Lua prints floats.
local function formatNumber(value)
  if value == math.floor(value) and math.abs(value) <= 2 ^ 53 then
    return tostring(math.tointeger(value))
  end
  return (string.format("%.14g", value))
end

-- The result text of an expression, or nil and the message for the user.
local function calculate(text)
  local ok, result = pcall(evaluate, normalizeExpression(text))
  if ok then return formatNumber(result) end
  if getmetatable(result) == CalcError then return nil, result.message end
  error(result, 0)
end

--------------------------------------------------------------------------------
-- Lookups over what the host reports
--------------------------------------------------------------------------------

local function findCommand(name)
  local wanted = name:lower()
  for _, command in ipairs(host.commands()) do
    if command.name:lower() == wanted then return command end
  end
end

local function findPlugin(name)
  local wanted = name:lower()
  for _, plugin in ipairs(host.plugins()) do
    if plugin.name:lower() == wanted then return plugin end
  end
end

-- Day of the week of a Gregorian date (Sakamoto's method), 0 = Sunday.
local function dayOfWeek(year, month, day)
  local offsets = { 0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4 }
  if month < 3 then year = year - 1 end
  return (year + year // 4 - year // 100 + year // 400 + offsets[month] + day) % 7
end

local WEEKDAYS = { [0] = "星期日", "星期一", "星期二", "星期三", "星期四", "星期五", "星期六" }

local SYSTEM_FACTS = {
  { "version", "程序版本" }, { "machineCode", "机器码" }, { "compiler", "编译器" },
  { "arch", "程序架构" }, { "exePath", "程序路径" }, { "workingDir", "工作目录" },
  { "pid", "进程号" }, { "dpi", "显示 DPI" }, { "os", "操作系统" },
  { "sysArch", "系统架构" }, { "cpu", "处理器" }, { "cpuCount", "处理器数" },
  { "memory", "内存" }, { "computer", "计算机名" }, { "user", "用户名" },
  { "locale", "界面语言" }, { "codePage", "代码页" }, { "systemDir", "系统目录" },
  { "uptime", "开机时长" },
}

local function orUnknown(value)
  if value == nil or value == "" then return "未知" end
  return value
end

--------------------------------------------------------------------------------
-- The commands, in the order in which ls lists them
--------------------------------------------------------------------------------

local commands = {}
local usages = {}

local function command(name, help, usageText, run, complete)
  commands[#commands + 1] = { name = name, help = help, run = run, complete = complete }
  usages[name] = usageText
end

-- The program's own command, which no plugin registers.
local BUILT_IN = {
  name = "update",
  help = "打开新版本的下载页面（程序启动时会在后台检查更新）",
  usage = "update（检查还没有结束或失败时，它会说明原因）",
  group = "内置命令",
}

-- Tab after "help " and "source ": the names there are to choose from.
local function commandNames()
  local names = { BUILT_IN.name }
  for _, entry in ipairs(host.commands()) do
    if entry.name:lower() ~= BUILT_IN.name then names[#names + 1] = entry.name end
  end
  return names
end

local function pluginNames()
  local names = {}
  for _, plugin in ipairs(host.plugins()) do names[#names + 1] = plugin.name end
  return names
end

-- Completes the first argument only: args.line ends in a blank once it is typed.
local function firstArgument(list)
  return function(args)
    if #args > 1 or (#args == 1 and args.line:match("%s$")) then return {} end
    return list()
  end
end

command("ls", "列出全部命令及其说明，按插件分组", "ls", function()
  local groups, order = {}, {}
  for _, entry in ipairs(host.commands()) do
    if not groups[entry.plugin] then
      groups[entry.plugin] = {}
      order[#order + 1] = entry.plugin
    end
    local rows = groups[entry.plugin]
    rows[#rows + 1] = { entry.name, entry.help ~= "" and entry.help or "（无说明）" }
  end
  local lines = {}
  lines[#lines + 1] = string.format("%s（1 条命令）", BUILT_IN.group)
  for _, line in ipairs(alignedRows({ { BUILT_IN.name, BUILT_IN.help } }, "  ")) do lines[#lines + 1] = line end
  for _, plugin in ipairs(order) do
    lines[#lines + 1] = string.format("%s（%d 条命令）", plugin, #groups[plugin])
    for _, line in ipairs(alignedRows(groups[plugin], "  ")) do lines[#lines + 1] = line end
  end
  lines[#lines + 1] = "输入 help <命令> 查看一条命令的用法。"
  sayLines(lines)
end)

command("help", "显示一条命令的说明和用法", "help <命令>", function(args)
  if #args ~= 1 then
    say("用法：help <命令>", "输入 ls 查看全部命令。")
    return
  end
  local entry = findCommand(args[1])
  if args[1]:lower() == BUILT_IN.name then
    say("命令：" .. BUILT_IN.name, "说明：" .. BUILT_IN.help, "用法：" .. BUILT_IN.usage, "来自：" .. BUILT_IN.group)
    return
  end
  if not entry then
    say("没有名为“" .. args[1] .. "”的命令。", "输入 ls 查看全部命令。")
    return
  end
  local lines = {
    "命令：" .. entry.name,
    "说明：" .. (entry.help ~= "" and entry.help or "（无说明）"),
  }
  -- The file name as the folder lists it: BASIC.LUA is this script too.
  local usageText = entry.plugin:lower() == PLUGIN and usages[entry.name]
  if usageText then lines[#lines + 1] = "用法：" .. usageText end
  lines[#lines + 1] = "来自：" .. entry.plugin
  sayLines(lines)
end, firstArgument(commandNames))

command("echo", "输出文字：参数之间以一个空格连接，引号本身不输出",
    "echo <文字>，要保留连续的空格请加引号，例如 echo \"a  b\"", function(args)
  local text = table.concat(args, " ")
  if text == "" then
    print("")
  else
    say(text)
  end
end)

command("clear", "清空输出区", "clear", function()
  host.clear()
end)

command("time", "显示当前时间", "time", function()
  say("当前时间：" .. host.time())
end)

command("date", "显示今天的日期和星期", "date", function()
  local text = host.date()
  local year, month, day = text:match("^(%d+)-(%d%d)-(%d%d)$")
  if year and tonumber(month) >= 1 and tonumber(month) <= 12 then
    text = text .. " " .. WEEKDAYS[dayOfWeek(tonumber(year), tonumber(month), tonumber(day))]
  end
  say("今天是 " .. text)
end)

command("sysinfo", "显示程序、进程和本机的信息", "sysinfo", function()
  local facts = host.system()
  local rows = {}
  for _, fact in ipairs(SYSTEM_FACTS) do
    rows[#rows + 1] = { fact[2], orUnknown(facts[fact[1]]) }
  end
  sayLines(alignedRows(rows, ""))
end)

command("plugins", "列出全部插件及其状态和命令数", "plugins", function()
  local plugins = host.plugins()
  if #plugins == 0 then
    say("没有插件。")
    return
  end
  local rows = {}
  for _, plugin in ipairs(plugins) do
    local state
    if not plugin.ok then
      state = "加载出错"
    elseif plugin.enabled == false then
      state = "已停用"
    elseif plugin.commands > 0 then
      state = "已加载"
    else
      state = "无命令"
    end
    rows[#rows + 1] = { plugin.name, padLeft(tostring(plugin.commands), 3) .. " 条命令  " .. state }
  end
  local lines = { string.format("共 %d 个插件：", #plugins) }
  for _, line in ipairs(alignedRows(rows, "  ")) do lines[#lines + 1] = line end
  sayLines(lines)
end)

command("source", "显示插件脚本的源代码", "source <插件>，例如 source basic.lua", function(args)
  if #args ~= 1 then
    usage(usages.source)
    return
  end
  local name = args[1]
  if not findPlugin(name) and findPlugin(name .. ".lua") then name = name .. ".lua" end
  local plugin = findPlugin(name)
  if not plugin then
    say("没有名为“" .. args[1] .. "”的插件。", "输入 plugins 查看全部插件。")
    return
  end
  local text = host.source(plugin.name)
  if text == nil then
    say("无法读取插件“" .. plugin.name .. "”的源代码。")
  elseif text == "" then
    say(plugin.name .. " 是一个空文件。")
  else
    if text:sub(-1) ~= "\n" then text = text .. "\r\n" end
    print(text .. "\r\n")
  end
end, firstArgument(pluginNames))

command("reload", "重新加载全部插件", "reload", function()
  host.reload()
  say("正在重新加载全部插件……")
end)

command("exit", "退出程序", "exit", function()
  say("再见。")
  host.exit()
end)

command("version", "显示程序版本和插件接口版本", "version", function()
  local version = host.system().version
  say("quorvantline " .. (version ~= "" and version or "（版本未知）"),
      "插件接口 " .. tostring(host.version))
end)

command("calc", "计算算术表达式，支持 + - * / % ^、括号和小数",
    "calc <表达式>，例如 calc (1 + 2) * 3", function(args)
  local text = table.concat(args, " ")
  if text:match("^%s*$") then
    usage(usages.calc)
    return
  end
  local result, message = calculate(text)
  if result then
    say("= " .. result)
  else
    say("无法计算：" .. message)
  end
end)

for _, entry in ipairs(commands) do
  host.register(entry)
end
