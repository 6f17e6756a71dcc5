-- reminder.lua: reminders that pop up as notifications.
--
--   remind 10m 喝水      notifies "喝水" in ten minutes (units s, m, h)
--   reminders            lists the pending reminders, numbered from 1
--   remind cancel <编号>  cancels one
--
-- Pending reminders are kept in the plugin's store (key "pending") as
-- { due = <seconds>, text = <text> }, the seconds counted in local time from
-- 1970-01-01 (from host.date and host.time), so they survive reloads and
-- restarts: when the plugin loads, each gets a timer again, and one whose
-- time passed while the program was closed is shown at once.

local KEY = "pending"
local UNITS = { s = 1, m = 60, h = 3600 }
-- The longest wait host.after takes, in seconds (a longer one is re-armed).
local MAX_WAIT = 2147483
local LONGEST = 7 * 24 * 3600

local USAGE = {
  "用法：",
  "  remind <时长> <内容>   到时提醒，时长如 30s、10m、2h",
  "  reminders              列出等待中的提醒",
  "  remind cancel <编号>   取消一条提醒",
}

local pending = {}  -- { due, text, timer }, ordered by due
local arm           -- forward declaration

local function sayLines(lines)
  print(table.concat(lines, "\r\n") .. "\r\n\r\n")
end

local function say(...)
  sayLines({ ... })
end

local function save()
  if not host.store then return end
  local list = {}
  for _, item in ipairs(pending) do list[#list + 1] = { due = item.due, text = item.text } end
  host.store.set(KEY, list)
end

-- Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
local function daysFromCivil(y, m, d)
  if m <= 2 then y = y - 1 end
  local era = y // 400
  local yearOfEra = y - era * 400
  local dayOfYear = (153 * (m > 2 and m - 3 or m + 9) + 2) // 5 + d - 1
  return era * 146097 + yearOfEra * 365 + yearOfEra // 4 - yearOfEra // 100 + dayOfYear - 719468
end

-- The local time now, in seconds counted from 1970-01-01 00:00.
local function now()
  local y, mo, d = host.date():match("^(%d+)-(%d+)-(%d+)$")
  local h, mi, s = host.time():match("^(%d+):(%d+):(%d+)$")
  return daysFromCivil(tonumber(y), tonumber(mo), tonumber(d)) * 86400 + tonumber(h) * 3600 + tonumber(mi) * 60
      + tonumber(s)
end

-- "1 小时 5 分" style text for a number of seconds.
local function durationText(seconds)
  seconds = math.max(0, math.floor(seconds))
  local h, m, s = seconds // 3600, seconds % 3600 // 60, seconds % 60
  local parts = {}
  if h > 0 then parts[#parts + 1] = h .. " 小时" end
  if m > 0 then parts[#parts + 1] = m .. " 分" end
  if s > 0 or #parts == 0 then parts[#parts + 1] = s .. " 秒" end
  return table.concat(parts, " ")
end

local function remove(item)
  for i, other in ipairs(pending) do
    if other == item then
      table.remove(pending, i)
      return
    end
  end
end

local function fire(item)
  remove(item)
  save()
  local ok, reason = host.notify(item.text, "提醒")
  say("[提醒] " .. item.text .. (ok and "" or "（通知没有显示：" .. tostring(reason) .. "）"))
end

-- Gives the item a timer for its due time (in steps when it is far away).
function arm(item)
  local wait = item.due - now()
  if wait <= 0 then wait = 0.05 end
  local step = math.min(wait, MAX_WAIT)
  item.timer = host.after(math.max(50, math.floor(step * 1000)), function()
    if item.due - now() > 0.5 then arm(item) else fire(item) end
  end)
end

local function add(due, text)
  local item = { due = due, text = text }
  local at = #pending + 1
  for i, other in ipairs(pending) do
    if other.due > due then
      at = i
      break
    end
  end
  table.insert(pending, at, item)
  arm(item)
  return item
end

-- Seconds in "10m", "30s", "2h", "1.5h"; nil when it is no duration.
local function parseDuration(word)
  local number, unit = (word or ""):lower():match("^(%d+%.?%d*)([smh])$")
  number = tonumber(number)
  if not number or number <= 0 then return nil end
  return number * UNITS[unit]
end

local function remind(args)
  if args[1] == nil then return sayLines(USAGE) end
  if args[1] == "cancel" then
    local number = args[2] and args[2]:match("^%d+$") and tonumber(args[2])
    if not number or number < 1 then return say("编号应是 1 以上的整数，例如 remind cancel 1。") end
    local item = pending[number]
    if not item then return say(string.format("没有第 %d 条提醒，现在共有 %d 条。", number, #pending)) end
    host.cancel(item.timer)
    remove(item)
    save()
    return say("已取消提醒：" .. item.text)
  end
  local seconds = parseDuration(args[1])
  local text = args.line:match("^%S+%s+(.-)%s*$")
  if not seconds then return say("时长应是数字加单位 s、m 或 h，例如 remind 10m 喝水。") end
  if seconds > LONGEST then return say("最长只能提醒 7 天之后的事。") end
  if not text or text == "" then return say("请写上提醒的内容，例如 remind 10m 喝水。") end
  add(now() + seconds, text)
  save()
  say(durationText(seconds) .. "后提醒：" .. text)
end

local function reminders()
  if #pending == 0 then return say("没有等待中的提醒。") end
  local lines = {}
  local current = now()
  for i, item in ipairs(pending) do
    lines[#lines + 1] = string.format("%d. %s（%s后）", i, item.text, durationText(item.due - current))
  end
  sayLines(lines)
end

if host.after and host.notify then
  host.register{ name = "remind", help = "到时提醒：remind 10m 喝水；remind cancel <编号>", run = remind }
  host.register{ name = "reminders", help = "列出等待中的提醒", run = reminders }
  -- The reminders of the last run, each armed again.
  local saved = host.store and host.store.get(KEY)
  if type(saved) == "table" then
    for _, entry in ipairs(saved) do
      if type(entry) == "table" and type(entry.due) == "number" and type(entry.text) == "string" then
        add(entry.due, entry.text)
      end
    end
  end
end
