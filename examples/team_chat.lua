-- Tells the admin team's chat what happens on the server: moderation
-- actions ("onPlayerSanctioned"), players' reports ("onPlayerReport", made
-- with the moderation's "!report NAME REASON") and losses of the connection
-- to the game server (and its return), posted to a chat webhook as
-- {"content": "..."}, the shape the common chat services take.
-- The webhook URL is in team_chat.conf; without one the script posts
-- nothing and answers nothing. The client must allow the URL:
--   gsadmin --allow-url=https://chat.example/api/webhooks/ ...
-- At most `perMinute` posts a minute leave, so a flood of reports cannot
-- get the webhook blocked; the next post that leaves says how many were
-- dropped.

local WEBHOOK = tostring(getSetting("webhook", ""))
local PER_MINUTE = tonumber(getSetting("perMinute", 20)) or 20
local PREFIX = tostring(getSetting("prefix", ""))
if PREFIX ~= "" then PREFIX = PREFIX .. " " end
local MAX_BYTES = 1800  -- chat services cap a message near 2000 characters

local recent = {}  -- getTickCount() of each post of the last minute, oldest first
local dropped = 0
local lostAt = nil  -- getTickCount() when the connection was lost

-- Network text as valid UTF-8 (other bytes become '?'), with '@' made
-- harmless so that a player cannot ping the whole channel.
local function clean(text)
  local out = {}
  local i, n = 1, #text
  while i <= n do
    local c = text:byte(i)
    local length = c < 0x80 and 1 or (c >= 0xC2 and c <= 0xDF and 2)
                   or (c >= 0xE0 and c <= 0xEF and 3) or (c >= 0xF0 and c <= 0xF4 and 4) or 0
    local valid = length > 0 and i + length - 1 <= n
    for k = i + 1, i + length - 1 do
      local b = text:byte(k)
      if not b or b < 0x80 or b > 0xBF then valid = false end
    end
    if valid and (length > 1 or c >= 0x20) then
      out[#out + 1] = text:sub(i, i + length - 1)
      i = i + length
    else
      out[#out + 1] = "?"
      i = i + 1
    end
  end
  return (table.concat(out):gsub("@", "@\226\128\139"))  -- a zero-width space after '@'
end

-- Cuts `text` to MAX_BYTES without splitting a character.
local function cut(text)
  if #text <= MAX_BYTES then return text end
  local last = MAX_BYTES
  while last > 0 and text:byte(last + 1) and text:byte(last + 1) >= 0x80
        and text:byte(last + 1) <= 0xBF do
    last = last - 1
  end
  return text:sub(1, last) .. "..."
end

local function underCap(now)
  while recent[1] and now - recent[1] >= 60000 do table.remove(recent, 1) end
  return #recent < PER_MINUTE
end

function teamChatPosted(id, status, body)
  if status < 200 or status >= 300 then
    print("team_chat: post " .. id .. " failed: " .. status .. " " .. clean(body:sub(1, 200)))
  end
end

local function post(text)
  if WEBHOOK == "" then return false end
  local now = getTickCount()
  if not underCap(now) then
    dropped = dropped + 1
    return false
  end
  if dropped > 0 then
    text = text .. " (" .. dropped .. " earlier messages dropped: over " .. PER_MINUTE
           .. " a minute)"
  end
  local body = jsonEncode({ content = cut(PREFIX .. text) })
  if body == nil then return false end
  local id = httpRequest("POST", WEBHOOK, body, { ["Content-Type"] = "application/json" },
                         "teamChatPosted")
  if id == nil then return false end
  recent[#recent + 1] = now
  dropped = 0
  return true
end

local function duration(seconds)
  if seconds == nil or seconds <= 0 then return "" end
  local units = { { 86400, "d" }, { 3600, "h" }, { 60, "m" }, { 1, "s" } }
  for _, unit in ipairs(units) do
    if seconds >= unit[1] and seconds % unit[1] == 0 then
      return " for " .. (seconds / unit[1]) .. unit[2]
    end
  end
  return " for " .. seconds .. "s"
end

function teamChatSanctioned(name, kind, seconds, reason, actor)
  local text = clean(tostring(actor)) .. ": " .. clean(tostring(kind)) .. " " .. clean(tostring(name))
               .. duration(tonumber(seconds))
  if reason ~= nil and reason ~= "" then text = text .. " (" .. clean(tostring(reason)) .. ")" end
  post(text)
end

-- As the admins in game are told: "Report #12: Bob by Ann: aimbot".
function teamChatReported(id, reporter, target, reason)
  local number = (tonumber(id) or 0) > 0 and (" #" .. id) or ""
  post("Report" .. number .. ": " .. clean(tostring(target)) .. " by " .. clean(tostring(reporter))
       .. ": " .. clean(tostring(reason)))
end

function teamChatDisconnected(reason)
  if lostAt ~= nil then return end
  lostAt = getTickCount()
  post("Lost the connection to the game server (reason " .. reason .. ").")
end

function teamChatConnected()
  if lostAt == nil then return end
  local seconds = math.floor((getTickCount() - lostAt) / 1000)
  lostAt = nil
  post("The game server is back after " .. seconds .. " s.")
end

if WEBHOOK ~= "" then
  addEventHandler("onPlayerSanctioned", "teamChatSanctioned")
  addEventHandler("onPlayerReport", "teamChatReported")
  addEventHandler("onDisconnect", "teamChatDisconnected")
  addEventHandler("onConnect", "teamChatConnected")
end
