-- The demo script (make demo): greets players, answers chat commands and
-- reports vehicle entries and exits on the console.

local online = {}    -- player id -> name, for !players
local commands = {}  -- "!word" -> function(player id, rest of the line)

function commands.help(id)
  sendMessage(id, "Commands: !stats !players !server !help")
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
  sendChat("Welcome, " .. name .. "! Say !help for commands.")
end

function onPlayerQuit(id)
  online[id] = nil
end

function onPlayerChat(id, text)
  local word = gettok(text, 0, " ")
  if word == nil or string.sub(word, 1, 1) ~= "!" then
    return
  end
  local command = commands[string.lower(string.sub(word, 2))]
  if command then
    command(id)
  else
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
