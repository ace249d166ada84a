-- A ban list that outlives the client, kept in the script's database
-- (script.db beside the script) and enforced on join: a banned name is
-- kicked as soon as it arrives. Admins keep the list from the admin channel:
--   !ban NAME [REASON]   bans NAME, and kicks NAME if on the server
--   !unban NAME          lifts the ban
-- The server's own ban is not used, so that "!unban" can always undo a ban.
-- The reason given when none is, is in bans.conf.

local DEFAULT_REASON = getSetting("defaultReason", "no reason given")

-- The table is named after the script, as scripts loaded together share
-- one database.
dbExec([[CREATE TABLE IF NOT EXISTS bans (
  name TEXT PRIMARY KEY,
  reason TEXT NOT NULL,
  since TEXT NOT NULL)]])

local online = {}  -- player name -> id

local function enforce(id, name)
  local rows = dbQuery("SELECT reason FROM bans WHERE name = ?", name)
  if rows and rows[1] then
    sendChat(name .. " is banned: " .. rows[1].reason)
    kickPlayer(id)
  end
end

function bansJoin(id)
  local name = getPlayerName(id)
  online[name] = id
  enforce(id, name)
end

function bansQuit(id)
  online[getPlayerName(id)] = nil
end

local function ban(name, reason)
  dbExec([[INSERT INTO bans (name, reason, since) VALUES (?, ?, datetime('now'))
           ON CONFLICT (name) DO UPDATE SET reason = excluded.reason]], name, reason)
  if online[name] then
    enforce(online[name], name)
  else
    sendChat(name .. " will be kicked on joining: " .. reason)
  end
end

local function unban(name)
  if dbExec("DELETE FROM bans WHERE name = ?", name) == 1 then
    sendChat(name .. " is no longer banned.")
  else
    sendChat(name .. " was not banned.")
  end
end

function bansCommand(text)
  local command, name = gettok(text, 0, " "), gettok(text, 1, " ")
  if name == nil then
    return
  end
  if command == "!ban" then
    local reason = string.match(text, "^!ban +[^ ]+ +(.+)$") or DEFAULT_REASON
    ban(name, reason)
  elseif command == "!unban" then
    unban(name)
  end
end

addEventHandler("onPlayerJoin", "bansJoin")
addEventHandler("onPlayerQuit", "bansQuit")
addEventHandler("onAdminChat", "bansCommand")
