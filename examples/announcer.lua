-- Rotating announcements: every few minutes the next message of the list
-- goes to the public chat, but only while someone is there to read it.
-- "{players}" and "{time}" in a message are filled in when it is sent.
-- A player who says "!next" hears the next message at once. The interval
-- and the messages are in announcer.conf.

local MAX_MESSAGES = 100  -- the highest N a "message.N" setting may have

local INTERVAL_S = tonumber(getSetting("interval", 180)) or 180
local INTERVAL_MS = math.max(100, math.floor(INTERVAL_S * 1000))

-- message.1, message.2, ... up to the first one missing; these without any.
local messages = {}
for n = 1, MAX_MESSAGES do
  local text = getSetting("message." .. n)
  if text == nil or text == "" then
    break
  end
  messages[n] = tostring(text)
end
if #messages == 0 then
  messages = {
    "Welcome to the server! Be nice, play fair.",
    "{players} players online. Server time is {time}.",
    "Found a cheater? Tell an admin with /msg.",
  }
end

local nextMessage = 1

local function fill(text)
  text = string.gsub(text, "{players}", tostring(getPlayerCount()))
  return (string.gsub(text, "{time}", os.date("%H:%M")))
end

local function announce()
  sendChat(fill(messages[nextMessage]))
  nextMessage = nextMessage % #messages + 1
end

function announceIfAnyone()
  if isConnected() and getPlayerCount() > 0 then
    announce()
  end
end

function announceOnRequest()
  announce()
end

addChatCommand("next", "announceOnRequest", "the next announcement, now")
setTimer("announceIfAnyone", INTERVAL_MS, 0)
