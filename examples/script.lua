-- The demo script (make demo): greets players, answers chat commands and
-- reports vehicle entries and exits on the console. Its greeting is in
-- script.conf; "!help" lists the commands of every script (the client
-- answers it, and unknown words).

local GREETING = getSetting("greeting", "Welcome, {name}! Say !help for commands.")

local online = {}  -- player id -> name, for !players

function statsWord(id)
  sendMessage(id, "Kills: " .. getPlayerKills(id) .. ", deaths: " .. getPlayerDeaths(id))
end

function playersWord(id)
  local names = {}
  for _, name in pairs(online) do
    table.insert(names, name)
  end
  table.sort(names)
  sendMessage(id, #names .. " online: " .. table.concat(names, ", "))
end

function serverWord(id)
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
addEventHandler("onPlayerVehicleEnter", "onPlayerVehicleEnter")
addEventHandler("onPlayerVehicleExit", "onPlayerVehicleExit")

addChatCommand("stats", "statsWord", "your kills and deaths")
addChatCommand("players", "playersWord", "who is online")
addChatCommand("server", "serverWord", "the server's name and size")
