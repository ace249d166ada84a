-- Welcome back by name: a player seen before in this run of the client is
-- greeted as a returning player, with the number of the visit.

local visits = {}  -- player name -> visits so far

function greet(id)
  local name = getPlayerName(id)
  local count = (visits[name] or 0) + 1
  visits[name] = count
  if count == 1 then
    sendChat("Welcome, " .. name .. "!")
  else
    sendChat("Welcome back, " .. name .. "! Visit number " .. count .. ".")
  end
end

addEventHandler("onPlayerJoin", "greet")
