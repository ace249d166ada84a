-- The demo script (make demo): greets players, answers chat commands and
-- reports vehicle entries and exits on the console. Its greeting and the
-- "!help" line are in script.conf.

local GREETING = getSetting("greeting", "Welcome, {name}! Say !help for commands.")
local HELP = getSetting("help", "Commands: !stats !players !server !help")

local online = {}    -- player id -> name, for !players
local commands = {}  -- "!word" -> function(player id, rest of the line)

-- The words "!help" names are answered somewhere (by this script or by
-- another loaded beside it), so only other words are unknown.
local listed = {}
for word in string.gmatch(HELP, "!(%S+)") do
  listed[string.lower(word)] = true
end

function commands.help(id)
  sendMessage(id, HELP)
end

function commands.stats(id)
  sendMessage(id, "Kills: " .. getPlayerKills(id) .. ", deaths: " .. getPlayerDeaths(id))
end

function commands.players(id)
  local names = {}
  for _, name in pairs(online) do
    table.insert(names, name)
  end
  table.sort(names)
  sendMessage(id, #names .. " online: " .. table.concat(names, ", "))
end

function commands.server(id)
  sendMessage(id, getServerName() .. ", up to " .. getServerMaxPlayers() .. " players")
end

function onConnect()
  print("[script] connected to " .. getServerName() .. " - " .. getServerMOTD())
end

function onDisconnect(reason)
  print("[script] disconnected (reason " .. reason .. ")")
end

function onPlayerJoin(id)
  local name = getPlayerName(id)
  online[id] = name
  if GREETING ~= "" then
    sendChat((string.gsub(GREETING, "{name}", function() return name end)))
  end
end

function onPlayerQuit(id)
  online[id] = nil
end

function onPlayerChat(id, text)
  local word = gettok(text, 0, " ")
  if word == nil or string.sub(word, 1, 1) ~= "!" then
    return
  end
  local key = string.lower(string.sub(word, 2))
  if commands[key] then
    commands[key](id)
  elseif not listed[key] then
    sendMessage(id, "Unknown command " .. word .. "; try !help")
  end
end

function onPlayerVehicleEnter(id, vehicle)
  print("[script] " .. getPlayerName(id) .. " got into " .. getVehicleName(vehicle) ..
        " (vehicle " .. vehicle .. ")")
end

function onPlayerVehicleExit(id, vehicle)
  print("[script] " .. getPlayerName(id) .. " got out of " .. getVehicleName(vehicle) ..
        " (vehicle " .. vehicle .. ")")
end

addEventHandler("onConnect", "onConnect")
addEventHandler("onDisconnect", "onDisconnect")
addEventHandler("onPlayerJoin", "onPlayerJoin")
addEventHandler("onPlayerQuit", "onPlayerQuit")
addEventHandler("onPlayerChat", "onPlayerChat")
addEventHandler("onPlayerVehicleEnter", "onPlayerVehicleEnter")
addEventHandler("onPlayerVehicleExit", "onPlayerVehicleExit")
