-- A team-kill watcher. Teams are name tags: "[RED]Ann" and "[RED]Bo" are
-- team mates, "[BLU]Cy" is not. The first team kill gets a warning, the
-- second a slap, the third a kick.
--
-- Deaths fire no event, but a dead player respawns with full health: when a
-- player's health rises from 0, the killer is the player whose kill count
-- rose since the last look.

local kills = {}        -- player id -> kills when last looked at
local teamKills = {}    -- player id -> team kills so far

local function team(id)
  local name = getPlayerName(id)
  return name and string.match(name, "^%[(%u+)%]")
end

function remember(id)
  kills[id] = getPlayerKills(id)
  teamKills[id] = 0
end

function forget(id)
  kills[id] = nil
  teamKills[id] = nil
end

local function findKiller()
  local killer = nil
  for id, before in pairs(kills) do
    local now = getPlayerKills(id)
    if now ~= before then
      kills[id] = now
      killer = id
    end
  end
  return killer
end

function watchRespawn(id, newHealth, oldHealth)
  if oldHealth ~= 0 or newHealth <= 0 then
    return
  end
  local killer = findKiller()
  if killer == nil or killer == id or team(killer) == nil or team(killer) ~= team(id) then
    return
  end
  teamKills[killer] = teamKills[killer] + 1
  local count = teamKills[killer]
  if count == 1 then
    sendMessage(killer, "Do not shoot your own team, " .. getPlayerName(killer) .. ".")
  elseif count == 2 then
    sendMessage(killer, "Second team kill: one more and you are out.")
    slapPlayer(killer)
  else
    sendChat(getPlayerName(killer) .. " was kicked for team killing.")
    kickPlayer(killer)
  end
end

addEventHandler("onPlayerJoin", "remember")
addEventHandler("onPlayerQuit", "forget")
addEventHandler("onPlayerHealthChange", "watchRespawn")
