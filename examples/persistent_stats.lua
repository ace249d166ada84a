-- Statistics that outlive the client: kills, deaths and when each player was
-- last seen, kept by name in the script's database (script.db beside the
-- script). In chat, "!alltime" shows the leaderboard and "!seen NAME" when
-- NAME was last on the server, across restarts of the client. The length of
-- the leaderboard is in persistent_stats.conf.
--
-- Deaths fire no event, so the counts the client keeps are compared with
-- the last look whenever a health changes (a respawn follows every death),
-- when a player leaves and before answering a command.

local TOP_COUNT = tonumber(getSetting("topCount", 3)) or 3

-- The table is named after the script, as scripts loaded together share
-- one database.
dbExec([[CREATE TABLE IF NOT EXISTS persistent_stats (
  name TEXT PRIMARY KEY,
  kills INTEGER NOT NULL DEFAULT 0,
  deaths INTEGER NOT NULL DEFAULT 0,
  last_seen TEXT)]])

local counted = {}  -- player id -> { kills = ..., deaths = ... } at the last look

local function touch(name)
  dbExec([[INSERT INTO persistent_stats (name, last_seen) VALUES (?, datetime('now'))
           ON CONFLICT (name) DO UPDATE SET last_seen = excluded.last_seen]], name)
end

-- Adds what each player scored since the last look to their row.
local function record()
  for id, seen in pairs(counted) do
    local kills, deaths = getPlayerKills(id), getPlayerDeaths(id)
    if kills and (kills ~= seen.kills or deaths ~= seen.deaths) then
      dbExec("UPDATE persistent_stats SET kills = kills + ?, deaths = deaths + ? WHERE name = ?",
             kills - seen.kills, deaths - seen.deaths, getPlayerName(id))
      seen.kills, seen.deaths = kills, deaths
    end
  end
end

function statsJoin(id)
  touch(getPlayerName(id))
  counted[id] = { kills = getPlayerKills(id), deaths = getPlayerDeaths(id) }
end

function statsQuit(id)
  record()
  touch(getPlayerName(id))
  counted[id] = nil
end

function statsHealth()
  record()
end

local function showTop()
  local rows = dbQuery([[SELECT name, kills, deaths FROM persistent_stats
                         ORDER BY kills DESC, deaths, name LIMIT ?]], TOP_COUNT)
  if rows == nil or #rows == 0 then
    sendChat("No statistics yet.")
    return
  end
  for place, row in ipairs(rows) do
    sendChat(place .. ". " .. row.name .. ": " .. row.kills .. " kills, " .. row.deaths .. " deaths")
  end
end

local function showSeen(name)
  local rows = dbQuery("SELECT last_seen FROM persistent_stats WHERE name = ?", name)
  if rows and rows[1] then
    sendChat(name .. " was last seen " .. rows[1].last_seen .. " UTC.")
  else
    sendChat("I have never seen " .. name .. ".")
  end
end

function allTimeCommand()
  record()
  showTop()
end

function seenCommand(id, name)
  if name == "" then
    sendMessage(id, "!seen NAME")
  else
    showSeen(name)
  end
end

addEventHandler("onPlayerJoin", "statsJoin")
addEventHandler("onPlayerQuit", "statsQuit")
addEventHandler("onPlayerHealthChange", "statsHealth")
-- Admins in game get the moderation's own !seen; this one is for the others.
addChatCommand("alltime", "allTimeCommand", "the all-time leaderboard")
addChatCommand("seen", "seenCommand", "NAME: when NAME was last on the server")
