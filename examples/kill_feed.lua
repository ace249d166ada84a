-- A kill feed with stats for this run of the client: first blood, killing
-- sprees, and "!streak" (privately) and "!top" (to everyone) on request.
-- Works from "onPlayerDeath": killer is a player id, the victim's own id
-- for a suicide, -1 for no killer and -2 for the admin. The spree texts and
-- the length of "!top" are in kill_feed.conf.

local MAX_SPREE = 50  -- the longest streak a "spree.N" setting may name
local DEFAULT_SPREES = { [3] = "is on a killing spree", [5] = "is unstoppable",
                         [10] = "is godlike" }
local TOP_COUNT = tonumber(getSetting("topCount", 3)) or 3

local SPREES = {}  -- streak -> text
for streak = 1, MAX_SPREE do
  local text = getSetting("spree." .. streak, DEFAULT_SPREES[streak])
  if text ~= nil and text ~= "" then
    SPREES[streak] = text
  end
end

local stats = {}  -- player id -> { kills, deaths, streak, best }
local firstBlood = false

local function of(id)
  local s = stats[id]
  if s == nil then
    s = { kills = 0, deaths = 0, streak = 0, best = 0 }
    stats[id] = s
  end
  return s
end

function died(victim, killer, weapon)
  local v = of(victim)
  v.deaths = v.deaths + 1
  v.streak = 0
  if killer < 0 or killer == victim then
    return
  end
  local k = of(killer)
  k.kills = k.kills + 1
  k.streak = k.streak + 1
  if k.streak > k.best then
    k.best = k.streak
  end
  local name = getPlayerName(killer)
  if not firstBlood then
    firstBlood = true
    sendChat("First blood: " .. name .. " (" .. (getWeaponName(weapon) or "?") .. ")")
  end
  if SPREES[k.streak] then
    sendChat(name .. " " .. SPREES[k.streak] .. " (" .. k.streak .. " in a row)")
  end
end

local function top()
  local ids = getPlayers()
  table.sort(ids, function(a, b)
    if of(a).kills ~= of(b).kills then
      return of(a).kills > of(b).kills
    end
    return a < b
  end)
  local parts = {}
  for i = 1, math.min(TOP_COUNT, #ids) do
    parts[i] = i .. ". " .. getPlayerName(ids[i]) .. " " .. of(ids[i]).kills
  end
  return "Top: " .. table.concat(parts, ", ")
end

function showStreak(id)
  local s = of(id)
  sendMessage(id, "kills " .. s.kills .. ", deaths " .. s.deaths .. ", best streak " .. s.best)
end

function showTop()
  sendChat(top())
end

function forget(id)
  stats[id] = nil
end

function summary()
  local deaths = 0
  for _, s in pairs(stats) do
    deaths = deaths + s.deaths
  end
  print("[kill_feed] " .. deaths .. " deaths seen")
end

addEventHandler("onPlayerDeath", "died")
addChatCommand("streak", "showStreak", "your kills, deaths and best streak")
addChatCommand("top", "showTop", "the top killers, to everyone")
addEventHandler("onPlayerQuit", "forget")
addEventHandler("onScriptStop", "summary")
