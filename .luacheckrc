-- luacheck settings for gsadmin scripts: `luacheck examples lua` (make lint).
-- A script sees the Lua 5.1 base, table, string and math libraries, a few
-- clock functions of os, and the client's API (whose require loads only
-- lib/ modules beside the script); anything else (io, the rest of os,
-- package, debug) is absent at run time, so using it is flagged here.

-- The client's API, as published to every script (docs/scripting.md).
local api = {
  "addEventHandler", "removeEventHandler", "gettok",
  "sendChat", "sendMessage", "slapPlayer", "kickPlayer", "banPlayer",
  "getAdminName", "getAdminPassword", "isConnected", "getServerIP", "getServerPort",
  "getServerName", "getServerMOTD", "getServerGame", "getServerGameMode",
  "getServerMaxPlayers",
  "getPlayerName", "getPlayerKills", "getPlayerDeaths", "getPlayerHealth",
  "getPlayerStatus", "getPlayerVehicle", "getPlayerPosition",
  "getVehicleName", "getVehicleHealth", "getVehiclePosition", "getVehicleSpawnpoint",
  "getVehicleDriver", "getVehicleIsPassenger",
  "getWeaponName",
  -- Timers, player lists and the database.
  "setTimer", "killTimer", "getTickCount", "getPlayers", "getPlayerCount",
  "dbExec", "dbQuery",
  -- Sharing between scripts.
  "getSetting", "require", "callScript",
  -- The console.
  "addConsoleCommand",
  "addChatCommand",
  -- Moderation.
  "getPlayerInfo", "warnPlayer", "tempbanPlayer", "unbanName", "getBan", "getWarnings",
  -- Requests and JSON.
  "httpRequest", "jsonEncode", "jsonDecode",
}

-- Event names: scripts commonly name their handlers after the event.
local events = {
  "onStart", "onConnect", "onDisconnect", "onPlayerJoin", "onPlayerQuit",
  "onPlayerPositionChange", "onPlayerHealthChange", "onPlayerVehicleEnter",
  "onPlayerVehicleExit", "onVehicleHealthChange", "onAdminChat", "onAdminMessage",
  "onPlayerChat", "onPlayerMessage", "onPlayerDeath", "onScriptStop",
  "onConsoleCommand", "onPlayerSanctioned",
}

local function fieldsOf(names)
  local fields = {}
  for _, name in ipairs(names) do
    fields[name] = {}
  end
  return fields
end

-- What the client opens: luaopen_base (which brings coroutine in 5.1),
-- luaopen_table, luaopen_string, luaopen_math, and the os subset.
stds.gsadmin = {
  read_globals = {
    "_G", "_VERSION", "assert", "collectgarbage", "dofile", "error", "gcinfo",
    "getfenv", "getmetatable", "ipairs", "load", "loadfile", "loadstring",
    "newproxy", "next", "pairs", "pcall", "print", "rawequal", "rawget", "rawset",
    "select", "setfenv", "setmetatable", "tonumber", "tostring", "type", "unpack",
    "xpcall",
    coroutine = { fields = fieldsOf({ "create", "resume", "running", "status", "wrap",
                                      "yield" }) },
    table = { fields = fieldsOf({ "concat", "foreach", "foreachi", "getn", "insert",
                                  "maxn", "remove", "setn", "sort" }) },
    string = { fields = fieldsOf({ "byte", "char", "dump", "find", "format", "gfind",
                                   "gmatch", "gsub", "len", "lower", "match", "rep",
                                   "reverse", "sub", "upper" }) },
    math = { fields = fieldsOf({ "abs", "acos", "asin", "atan", "atan2", "ceil", "cos",
                                 "cosh", "deg", "exp", "floor", "fmod", "frexp", "huge",
                                 "ldexp", "log", "log10", "max", "min", "mod", "modf",
                                 "pi", "pow", "rad", "random", "randomseed", "sin",
                                 "sinh", "sqrt", "tan", "tanh" }) },
    os = { fields = fieldsOf({ "time", "date", "clock", "difftime" }) },
  },
}
for _, name in ipairs(api) do
  table.insert(stds.gsadmin.read_globals, name)
end
-- The value jsonDecode gives for JSON's null.
table.insert(stds.gsadmin.read_globals, "jsonNull")

std = "gsadmin"
-- Handlers are global functions, registered by name, so scripts define
-- globals at their top level.
allow_defined_top = true
globals = events
-- ... and call them only through those names, which luacheck cannot see.
ignore = { "131" }  -- unused global variable

-- The annotations define the API functions with empty bodies.
files["lua/gsadmin.d.lua"] = {
  globals = api,
  unused_args = false,
}
