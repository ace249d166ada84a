-- Welcome back by name: a player seen before in this run of the client is
-- greeted as a returning player, with the number of the visit. The texts
-- are in welcome_back.conf.

-- {name} is the player, {count} the visit; an empty text greets no one.
local NEWCOMER = getSetting("newcomer", "Welcome, {name}!")
local RETURNING = getSetting("returning", "Welcome back, {name}! Visit number {count}.")

local visits = {}  -- player name -> visits so far

local function fill(text, name, count)
  text = string.gsub(text, "{name}", function() return name end)
  return (string.gsub(text, "{count}", tostring(count)))
end

function greet(id)
  local name = getPlayerName(id)
  local count = (visits[name] or 0) + 1
  visits[name] = count
  local text = count == 1 and NEWCOMER or RETURNING
  if text ~= "" then
    sendChat(fill(text, name, count))
  end
end

addEventHandler("onPlayerJoin", "greet")
