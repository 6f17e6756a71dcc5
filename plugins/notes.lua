-- notes.lua: short notes that are kept across reloads and restarts.
--
--   note <文字>        remembers the text exactly as typed
--   notes              lists the notes, numbered from 1
--   note del <编号>    forgets one
--   note copy <编号>   puts one on the clipboard
--
-- The notes are one list of strings in the plugin's store (host.store), under
-- the key "notes". Like basic.lua, every command prints one block of text that
-- ends with an empty line, and every typing mistake gets a message, never a
-- Lua error.

local KEY = "notes"

local USAGE = {
  "用法：",
  "  note <文字>        记下一条笔记",
  "  notes              列出全部笔记",
  "  note del <编号>    删除一条笔记",
  "  note copy <编号>   把一条笔记复制到剪贴板",
}

local function sayLines(lines)
  print(table.concat(lines, "\r\n") .. "\r\n\r\n")
end

local function say(...)
  sayLines({ ... })
end

-- The saved notes, or nil and a message for the user.
local function loadNotes()
  if not host.store then return nil, "这个版本的程序不能保存笔记。" end
  local notes, reason = host.store.get(KEY)
  if reason then return nil, "无法读取笔记：" .. reason end
  local list = {}
  if type(notes) == "table" then
    for _, text in ipairs(notes) do
      if type(text) == "string" then list[#list + 1] = text end
    end
  end
  return list
end

local function saveNotes(notes)
  local ok, reason = host.store.set(KEY, notes)
  if ok then return true end
  return nil, "无法保存笔记：" .. tostring(reason)
end

-- The note number in text, or nil and a message for the user.
local function noteNumber(text, notes, action)
  local number = text and text:match("^%d+$") and tonumber(text)
  if not number or number < 1 then
    return nil, "编号应是 1 以上的整数，例如 note " .. action .. " 1。"
  end
  if #notes == 0 then return nil, "还没有笔记。" end
  if number > #notes then
    return nil, string.format("没有第 %d 条笔记，现在共有 %d 条。", number, #notes)
  end
  return number
end

local function addNote(text)
  local notes, problem = loadNotes()
  if not notes then return say(problem) end
  notes[#notes + 1] = text
  local ok, reason = saveNotes(notes)
  if not ok then return say(reason) end
  say(string.format("已记下第 %d 条笔记。", #notes))
end

-- The saved notes and the number that "note del|copy <n>" names, or nothing
-- after telling the user what is wrong.
local function pickNote(args, verb)
  if #args ~= 2 then return say("用法：note " .. verb .. " <编号>") end
  local notes, problem = loadNotes()
  if not notes then return say(problem) end
  local number, why = noteNumber(args[2], notes, verb)
  if not number then return say(why) end
  return notes, number
end

local function deleteNote(args)
  local notes, number = pickNote(args, "del")
  if not notes then return end
  local text = table.remove(notes, number)
  local ok, reason = saveNotes(notes)
  if not ok then return say(reason) end
  say(string.format("已删除第 %d 条笔记：%s", number, text))
end

local function copyNote(args)
  local notes, number = pickNote(args, "copy")
  if not notes then return end
  if not host.clipboard then return say("这个版本的程序不能使用剪贴板。") end
  local ok, reason = host.clipboard(notes[number])
  if not ok then return say("无法复制：" .. tostring(reason)) end
  say(string.format("已把第 %d 条笔记复制到剪贴板。", number))
end

host.register{
  name = "note",
  help = "记下一条笔记；note del <编号> 删除，note copy <编号> 复制",
  run = function(args)
    -- The text after the command name as typed (quotes and spaces kept).
    local line = args.line or table.concat(args, " ")
    local action = (args[1] or ""):lower()
    local first = line:match("^(%S+)") or ""
    -- "del" and "copy" are actions only when typed as a bare first word.
    if action == "del" and first:lower() == "del" then return deleteNote(args) end
    if action == "copy" and first:lower() == "copy" then return copyNote(args) end
    if line:match("^%s*$") then return sayLines(USAGE) end
    addNote(line)
  end,
  -- Tab: the actions for the first word, the note numbers after del or copy.
  complete = function(args)
    local words = #args + ((args.line or ""):match("%s$") and 1 or 0)
    if words <= 1 then return { "del", "copy" } end
    local action = args[1]:lower()
    if words ~= 2 or (action ~= "del" and action ~= "copy") then return {} end
    local numbers = {}
    for i = 1, #(loadNotes() or {}) do numbers[i] = tostring(i) end
    return numbers
  end,
}

host.register{
  name = "notes",
  help = "列出全部笔记",
  run = function(args)
    if #args > 0 then return say("用法：notes（列出全部笔记）", "记下新笔记请用 note <文字>。") end
    local notes, problem = loadNotes()
    if not notes then return say(problem) end
    if #notes == 0 then return say("还没有笔记。输入 note <文字> 记下一条。") end
    local width = #tostring(#notes)
    local lines = { string.format("共 %d 条笔记：", #notes) }
    for i, text in ipairs(notes) do
      lines[#lines + 1] = string.format("  %" .. width .. "d. %s", i, text)
    end
    sayLines(lines)
  end,
}
