-- A team-kill watcher. Teams are name tags: "[RED]Ann" and "[RED]Bo" are
-- team mates, "[BLU]Cy" is not. The first team kill gets a warning, the
-- second a slap, the third a kick. Suicides, deaths without a killer (-1)
-- and the admin's kills (-2) are never team kills. The three texts are in
-- team_kill.conf; {name} is the killer.

local WARNING = getSetting("warning", "Do not shoot your own team, {name}.")
local LAST_WARNING = getSetting("lastWarning", "Second team kill: one more and you are out.")
local KICKED = getSetting("kicked", "{name} was kicked for team killing.")

local teamKills = {}    -- player id -> team kills so far

local function team(id)
  local name = getPlayerName(id)
  return name and string.match(name, "^%[(%u+)%]")
end

function forget(id)
  teamKills[id] = nil
end

function watchDeath(victim, killer)
  if killer < 0 or killer == victim then
    return
  end
  local killerTeam = team(killer)
  if killerTeam == nil or killerTeam ~= team(victim) then
    return
  end
  local name = getPlayerName(killer)
  local function fill(text)
    return (string.gsub(text, "{name}", function() return name end))
  end
  local count = (teamKills[killer] or 0) + 1
  teamKills[killer] = count
  if count == 1 then
    sendMessage(killer, fill(WARNING))
  elseif count == 2 then
    sendMessage(killer, fill(LAST_WARNING))
    slapPlayer(killer)
  else
    sendChat(fill(KICKED))
    kickPlayer(killer)
  end
end

addEventHandler("onPlayerQuit", "forget")
addEventHandler("onPlayerDeath", "watchDeath")
