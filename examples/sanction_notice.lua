-- Tells everyone on the server about the client's own moderation: each
-- kick, timed ban, ban and lifted ban is said in public chat, whoever
-- carried it out (the operator at the console, an admin in game, or a
-- script). Warnings stay between the warned player and the admins unless
-- sanction_notice.conf says otherwise: the player has been told already.
-- The bans themselves are the client's (.tempban, .ban, .unban, !tempban
-- in game): this script only speaks.

local ANNOUNCE_WARNINGS = getSetting("announceWarnings", "no") == "yes"
local NAME_THE_ACTOR = getSetting("nameTheActor", "no") == "yes"

-- 7200 as "2h", 129600 as "1d12h": the way the console writes durations.
local function duration(seconds)
  local text = ""
  for _, unit in ipairs({ { 86400, "d" }, { 3600, "h" }, { 60, "m" }, { 1, "s" } }) do
    if seconds >= unit[1] then
      text = text .. math.floor(seconds / unit[1]) .. unit[2]
      seconds = seconds % unit[1]
    end
  end
  return text
end

local function said(kind, seconds)
  if kind == "warn" then
    return ANNOUNCE_WARNINGS and "was warned" or nil
  elseif kind == "kick" then
    return "was kicked"
  elseif kind == "tempban" then
    return "is banned for " .. duration(seconds)
  elseif kind == "ban" then
    return "is banned"
  elseif kind == "unban" then
    return "may play again"
  end
  return nil
end

function sanctionNotice(name, kind, seconds, reason, actor)
  local what = said(kind, seconds)
  if what == nil then
    return
  end
  local line = name .. " " .. what
  if NAME_THE_ACTOR then
    line = line .. " by " .. actor
  end
  if reason ~= "" and kind ~= "unban" then
    line = line .. ": " .. reason
  end
  sendChat(line)
end

addEventHandler("onPlayerSanctioned", "sanctionNotice")
