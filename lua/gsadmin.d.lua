---@meta gsadmin
-- Editor annotations for the gsadmin script API (script.lua). Nothing here
-- runs: the client publishes these 53 functions itself. Point your Lua
-- language server at this file (workspace.library) for completion and
-- checks. The full reference is docs/scripting.md.
--
-- Every function that refuses a call prints one line starting with its own
-- name and returns nothing (nil); none raises a Lua error.

---The events a script can handle with addEventHandler.
---@alias gsadmin.Event
---| "onStart"                 # () once, after the script has loaded; no socket yet
---| "onConnect"               # () the server accepted the login; model rebuilt
---| "onDisconnect"            # (reason) refusal, server disconnect, or 2 after 10 s of silence
---| "onPlayerJoin"            # (playerId) a player's details arrived
---| "onPlayerQuit"            # (playerId, reason) before the player is removed; 1 kicked, 2 timed out
---| "onPlayerPositionChange"  # (playerId) a position update
---| "onPlayerHealthChange"    # (playerId, newHealth, oldHealth) on foot, truncated
---| "onPlayerVehicleEnter"    # (playerId, vehicleId) got into a vehicle
---| "onPlayerVehicleExit"     # (playerId, vehicleId) got out of a vehicle
---| "onVehicleHealthChange"   # (vehicleId, health) every driver update
---| "onAdminChat"             # (text) a line on the admin channel
---| "onAdminMessage"          # (text) confirmation of the admin's private message
---| "onPlayerChat"            # (playerId, text) public chat
---| "onPlayerMessage"         # (playerId, text) private message: "RECIPIENT MESSAGE"
---| "onPlayerDeath"           # (victimId, killerId, weaponId) killer: victim = suicide, -1 none, -2 admin
---| "onScriptStop"            # () before a reload (SIGHUP, .reload) and at the end (SIGINT, SIGTERM, .quit)
---| "onConsoleCommand"        # (word, rest) the operator typed ".word rest", not a built-in command
---| "onPlayerSanctioned"      # (name, kind, seconds, reason, actor) after a warn, kick, tempban, ban or unban
---| "onPlayerReport"          # (id, reporter, target, reason) after a report: !report in game, .report at the console

---A player id, 0 to 255. Numbers are truncated and taken modulo 256; numeric strings work too.
---@alias gsadmin.PlayerId integer
---A vehicle id of the server's roster; 0 is "Foot".
---@alias gsadmin.VehicleId integer
---A weapon id of the server's game.
---@alias gsadmin.WeaponId integer

-- Event handlers --------------------------------------------------------

---Calls the global function named `functionName` whenever `eventName` fires.
---Prints "addEventHandler: Invalid argument #1." or "#2." for a non-string
---name or one longer than 256 bytes, "addEventHandler: Too many handlers."
---beyond 100000 handlers. A name no event has is kept, with a line on
---standard error.
---@param eventName gsadmin.Event|string
---@param functionName string the name of a global function, not the function
function addEventHandler(eventName, functionName) end

---Removes the first handler registered with exactly these names.
---Prints "removeEventHandler: Invalid argument #1." or "#2." for a non-string
---name or one longer than 256 bytes.
---@param eventName gsadmin.Event|string
---@param functionName string
function removeEventHandler(eventName, functionName) end

---Gives the operator the console command ".word": typing ".word rest" calls
---the global function named `functionName` with `rest` (a string, empty when
---nothing follows). `help` is shown beside it in ".help", under the script's
---name. The same script may add a word again (new function and help).
---Prints "addConsoleCommand: Invalid argument #1." for a word that is not
---1 to 32 letters, digits, '_' or '-', "#2." for a non-string function name
---or one longer than 256 bytes, "#3." for a help that is neither nil nor a
---string of at most 200 bytes, "addConsoleCommand: .WORD is a built-in
---command.", "addConsoleCommand: .WORD is taken by script 'NAME'." and
---"addConsoleCommand: Too many commands.".
---@param word string
---@param functionName string the name of a global function, not the function
---@param help? string
function addConsoleCommand(word, functionName, help) end

---Gives players the in-game word "!word" (any case), in public chat or a
---private message: "!word rest" calls the global function named
---`functionName` with the player's id and `rest` (a string, empty when
---nothing follows). Players below `level` (0, the default: everyone; 1 to 3,
---the admins' levels) are told "!word: you may not". "!help" lists the word
---and "!help word" shows `help`. Once a script has a word, an unknown word
---is answered "Unknown command !word; try !help". The same script may add a
---word again (new function, help and level). Prints "addChatCommand:
---Invalid argument #1." for a word that is not 1 to 32 letters, digits, '_'
---or '-', "#2." for a non-string function name or one longer than 256
---bytes, "#3." for a help that is neither nil nor a string of at most 200
---bytes, "#4." for a level that is not nil or 0 to 3, "addChatCommand:
---!WORD is a built-in command." (!help, !seen and !admins may be taken: the
---script answers the players who are not admins), "addChatCommand: !WORD is
---taken by script 'NAME'." and "addChatCommand: Too many commands.".
---@param word string
---@param functionName string the name of a global function, called as f(playerId, rest)
---@param help? string
---@param level? integer
function addChatCommand(word, functionName, help, level) end

-- Text --------------------------------------------------------------------

---The token at zero-based `index` of `text` split at any of `separators`, or nil.
---Prints "gettok: Invalid argument #1.", "#2." or "#3." for a wrong argument.
---@param text string|number
---@param index number
---@param separators string
---@return string|nil
function gettok(text, index, separators) end

-- Admin commands ----------------------------------------------------------

---Says `text` on the admin channel (cut to 511 bytes).
---Prints "sendChat: Invalid Argument #1." for a non-string argument.
---@param text string|number
function sendChat(text) end

---Sends `text` privately to the player, as "/msg #ID TEXT".
---Prints "sendMessage: Invalid Argument #1.", "sendMessage: Invalid Argument #2." or
---"sendMessage: No such player.".
---@param playerId gsadmin.PlayerId
---@param text string|number
function sendMessage(playerId, text) end

---Slaps the player, as "/slap NAME".
---Prints "slapPlayer: Invalid Argument #1." or "slapPlayer: No such player.".
---@param playerId gsadmin.PlayerId
function slapPlayer(playerId) end

---Asks the server to kick the player; the quit arrives later with reason 1.
---Prints "kickPlayer: Invalid Argument #1." or "kickPlayer: No such player.".
---@param playerId gsadmin.PlayerId
function kickPlayer(playerId) end

---Asks the server to ban the player.
---Prints "banPlayer: Invalid Argument #1." or "banPlayer: No such player.".
---@param playerId gsadmin.PlayerId
function banPlayer(playerId) end

-- Session and server ------------------------------------------------------

---The admin name the client logs in with.
---@return string
function getAdminName() end

---The admin password the client logs in with.
---@return string
function getAdminPassword() end

---True from the moment the login is sent until a refusal, disconnect or timeout.
---@return boolean
function isConnected() end

---The server address as given on the command line.
---@return string
function getServerIP() end

---The server's admin port.
---@return integer
function getServerPort() end

---The server's name; nil before the first connection.
---@return string|nil
function getServerName() end

---The server's message of the day; nil before the first connection.
---@return string|nil
function getServerMOTD() end

---The server's game code; 0 before the first connection.
---@return integer
function getServerGame() end

---The server's game mode; 0 before the first connection.
---@return integer
function getServerGameMode() end

---The server's player limit; 0 before the first connection.
---@return integer
function getServerMaxPlayers() end

-- Players -----------------------------------------------------------------

---The player's name. Prints "getPlayerName: Invalid Argument #1." or
---"getPlayerName: No such player.".
---@param playerId gsadmin.PlayerId
---@return string|nil
function getPlayerName(playerId) end

---The player's details text, as the server last gave it ("Unknown" until the
---details arrive). Works with moderation off too. Prints "getPlayerInfo:
---Invalid Argument #1." or "getPlayerInfo: No such player.".
---@param playerId gsadmin.PlayerId
---@return string|nil
function getPlayerInfo(playerId) end

---The player's kills, 0 to 65535. Prints "getPlayerKills: Invalid Argument #1." or
---"getPlayerKills: No such player.".
---@param playerId gsadmin.PlayerId
---@return integer|nil
function getPlayerKills(playerId) end

---The player's deaths, 0 to 65535. Prints "getPlayerDeath: Invalid Argument #1." or
---"getPlayerDeaths: No such player.".
---@param playerId gsadmin.PlayerId
---@return integer|nil
function getPlayerDeaths(playerId) end

---The player's on-foot health, truncated. Prints "getPlayerHealth: Invalid Argument #1." or
---"getPlayerHealth: No such player.".
---@param playerId gsadmin.PlayerId
---@return integer|nil
function getPlayerHealth(playerId) end

---The status byte of the player's latest chat line (1 at first). Prints
---"getPlayerStatus: Invalid Argument #1." or "getPlayerStatus: No such player.".
---@param playerId gsadmin.PlayerId
---@return integer|nil
function getPlayerStatus(playerId) end

---The id of the vehicle the player is in, or nil on foot. Prints
---"getPlayerVehicle: Invalid Argument #1." or "getPlayerVehicle: No such player.".
---@param playerId gsadmin.PlayerId
---@return gsadmin.VehicleId|nil
function getPlayerVehicle(playerId) end

---The player's position, each coordinate truncated. Prints
---"getPlayerPosition: Invalid Argument #1." or "getPlayerPosition: No such player.".
---@param playerId gsadmin.PlayerId
---@return integer|nil x
---@return integer|nil y
---@return integer|nil z
function getPlayerPosition(playerId) end

---The ids of the registered players, in registration order (a new table).
---@return gsadmin.PlayerId[]
function getPlayers() end

---How many players are registered.
---@return integer
function getPlayerCount() end

-- Vehicles ----------------------------------------------------------------

---The vehicle's name. Prints "getVehicleName: Invalid Parameters" or
---"getVehicleName: Invalid Vehicle.".
---@param vehicleId gsadmin.VehicleId
---@return string|nil
function getVehicleName(vehicleId) end

---The vehicle's health, truncated. Prints "getVehicleHealth: Invalid Parameters" or
---"getVehicleHealth: Invalid Vehicle.".
---@param vehicleId gsadmin.VehicleId
---@return integer|nil
function getVehicleHealth(vehicleId) end

---The vehicle's position as stored. Prints "getVehiclePosition: Invalid Parameters" or
---"getVehiclePosition: Invalid Vehicle.".
---@param vehicleId gsadmin.VehicleId
---@return number|nil x
---@return number|nil y
---@return number|nil z
function getVehiclePosition(vehicleId) end

---The vehicle's spawnpoint ((0, 0, 0) outside game 2 mode 1). Prints
---"getVehicleSpawnpoint: Invalid Parameters" or "getVehicleSpawnpoint: Invalid Vehicle.".
---@param vehicleId gsadmin.VehicleId
---@return number|nil x
---@return number|nil y
---@return number|nil z
function getVehicleSpawnpoint(vehicleId) end

---The player id of the vehicle's last driver, or nil. Prints
---"getVehicleDriver: Invalid Parameters" or "getVehicleDriver: Invalid Vehicle.".
---@param vehicleId gsadmin.VehicleId
---@return gsadmin.PlayerId|nil
function getVehicleDriver(vehicleId) end

---Whether the player is on the vehicle's passenger list. Prints
---"getVehicleIsPassenger: Invalid Parameters", "getVehicleIsPassenger: Invalid Vehicle." or
---"getVehicleIsPassenger: No such player.".
---@param vehicleId gsadmin.VehicleId
---@param playerId gsadmin.PlayerId
---@return boolean|nil
function getVehicleIsPassenger(vehicleId, playerId) end

-- Weapons -----------------------------------------------------------------

---The weapon's name in the server's game. Prints "getWeaponName: Invalid Parameters" or
---"getWeaponName: Invalid Weapon.".
---@param weaponId gsadmin.WeaponId
---@return string|nil
function getWeaponName(weaponId) end

-- Time and timers --------------------------------------------------------

---Calls the global function named `functionName` with the timer's id every
---`intervalMs` milliseconds (at least 1), `times` times (default 1; 0: until
---killed), from the client's loop. Prints "setTimer: Invalid argument #1.",
---"#2." or "#3." for a bad argument (a function name longer than 256 bytes
---is one), "setTimer: Too many timers." beyond 100000 timers.
---@param functionName string
---@param intervalMs number
---@param times? integer
---@return integer|nil id
function setTimer(functionName, intervalMs, times) end

---Stops a timer; true if one had that id, false if none. A timer may kill
---itself. Prints "killTimer: Invalid argument #1." for a non-number.
---@param id integer
---@return boolean|nil
function killTimer(id) end

---Milliseconds since the client started; never goes back.
---@return integer
function getTickCount() end

-- Storing data ------------------------------------------------------------

---A value bound to a `?` placeholder: a number (integer when it has no
---fraction, else real), a string (text, bytes kept), a boolean (1 or 0) or nil (NULL).
---@alias gsadmin.DbValue number|string|boolean|nil

---Runs one SQL statement on the script's database (script.db beside the script,
---created 0600 on the first call) with the extra arguments bound to its placeholders.
---Returns the number of rows it changed. Prints "dbExec: Invalid argument #N." for
---an argument of another type, or "dbExec: <SQLite's message>" on an error, and
---returns nothing then.
---@param sql string one statement
---@param ... gsadmin.DbValue
---@return integer|nil changed
function dbExec(sql, ...) end

---Runs one SQL statement like dbExec and returns its rows in order, each a table
---from column name to value (NULL is a missing field; blobs are strings).
---Prints "dbQuery: Invalid argument #N." or "dbQuery: <SQLite's message>" and
---returns nothing on failure.
---@param sql string one statement
---@param ... gsadmin.DbValue
---@return table<string, number|string>[]|nil rows
function dbQuery(sql, ...) end

-- Sharing between scripts -------------------------------------------------

---A value that callScript copies between scripts: tables of these nest at
---most 16 deep; functions, userdata and coroutines are refused.
---@alias gsadmin.Shared nil|boolean|number|string|table

---The value of `key` in the settings file beside the script (script.conf for
---script.lua; lines "key = value", '#' comments), read when the script loads:
---a number when it reads as one, else a string; `default` (nil when none) for
---a key the file lacks. Prints "getSetting: Invalid argument #1." for a key
---that is not a string.
---@generic T
---@param key string
---@param default? T
---@return string|number|T|nil
function getSetting(key, default) end

---Loads lib/NAME.lua from the script's own directory (a '.' in NAME stands for
---a '/'), once per script, and returns its result (true when it returns
---nothing). Prints "require: Invalid argument #1.", "require: No such module
---'NAME'.", "require: Error loading module 'NAME'." or "require: Loop loading
---module 'NAME'." and returns nothing on failure.
---@param name string letters, digits, '_' and '.'
---@return any
function require(name) end

---Calls the global function `functionName` of the loaded script `script`
---(as its "loaded" line names it; "stats" also finds stats.lua) with copies of the arguments, under that script's
---limits, and returns copies of its results. Prints "callScript: Invalid
---argument #N.", "callScript: No such script.", "callScript: Script is
---busy." (the caller, or a script up the chain of calls), "callScript: Invalid
---result #N." or "callScript: Not enough memory.", or "LUA: Error in function
---'NAME'" when the function fails, and returns nothing then.
---@param script string
---@param functionName string
---@param ... gsadmin.Shared
---@return gsadmin.Shared ...
function callScript(script, functionName, ...) end

-- Moderation ----------------------------------------------------------------
-- The client's built-in moderation (docs/moderation.md); the actor of a
-- script's action is the script's name. With --no-moderation each prints
-- "NAME: moderation is off (--no-moderation)" and returns nothing.

---Records a warning, tells the player "Warning N of M: REASON" and kicks or
---bans at the thresholds of --warn-kick and --warn-ban. Returns true. Prints
---"warnPlayer: Invalid Argument #1." or "#2.", "warnPlayer: no player has
---id N", "warnPlayer: a reason is needed".
---@param playerId gsadmin.PlayerId
---@param reason string
---@return true|nil
function warnPlayer(playerId, reason) end

---Bans the player for `seconds` (1 to ten years; fractions dropped): the
---player is told why and kicked, now and at every join until the ban ends.
---Returns true. Prints "tempbanPlayer: Invalid Argument #1.", "#2." or "#3.",
---"tempbanPlayer: no player has id N", "tempbanPlayer: a ban lasts from 1s to 3650d".
---@param playerId gsadmin.PlayerId
---@param seconds number
---@param reason? string
---@return true|nil
function tempbanPlayer(playerId, seconds, reason) end

---Lifts the client's bans on `name` (any case) and its aliases; returns how
---many were lifted (0 when none). A ban of the server's own stays. Prints
---"unbanName: Invalid Argument #1.", "unbanName: a name is needed" or
---"unbanName: the name is too long" (over 256 bytes).
---@param name string
---@return integer|nil
function unbanName(name) end

---The ban in force on `name` (any case, or a name it looks like), or nil:
---`expires` (seconds since the epoch; nil for a permanent ban), `reason`
---("" when none was given), `actor` and `since`.
---Refuses a name as unbanName does.
---@param name string
---@return {expires: number|nil, reason: string, actor: string, since: number}|nil
function getBan(name) end

---The warnings of `name` (any case) that have not expired, oldest first:
---`time`, `reason`, `actor` and `expires` (nil when warnings never expire).
---Refuses a name as unbanName does.
---@param name string
---@return {time: number, reason: string, actor: string, expires: number|nil}[]|nil
function getWarnings(name) end
-- Requests and JSON --------------------------------------------------------

---The value jsonDecode gives for JSON's null, and that jsonEncode writes as
---null: a light userdata, the same in every script. Compare with `v == jsonNull`.
---@type lightuserdata
jsonNull = nil

---Called when a request of httpRequest ends: `status` 0 when it failed (and
---`body` one line saying why: timed out, redirect outside the allowed URLs,
---response body over 1 MiB, DNS, TLS...); headers' names in lower case.
---@alias gsadmin.HttpHandler fun(id: integer, status: integer, body: string, headers: table<string, string>)

---Starts an HTTP request to a URL under a `--allow-url` prefix and returns its
---id at once; the script's global `handlerName` (a gsadmin.HttpHandler) is
---called from the loop when it ends. Redirects are followed only within the
---prefixes; at most 16 requests in flight per script, 64 in all; bodies at
---most 1 MiB each way; `--http-timeout` (10 s) bounds each. A reload or stop
---of the script cancels its requests. Prints "httpRequest: Invalid argument
---#N." or "httpRequest: <reason>" (no URL allowed, URL not allowed: URL, too
---many requests in flight...) and returns nothing when refused.
---@param method "GET"|"POST"|"PUT"|"PATCH"|"DELETE"
---@param url string
---@param body string|nil
---@param headers table<string, string>|nil
---@param handlerName string
---@return integer|nil id
function httpRequest(method, url, body, headers, handlerName) end

---The JSON text of `value`: nil, booleans, numbers, strings (UTF-8) and tables
---nested at most 64 deep; a table with keys exactly 1..n is an array, any
---other (the empty one too) an object; jsonNull is null. Prints "jsonEncode:
---<reason>" and returns nothing for NaN, infinities, functions, other keys,
---invalid UTF-8 or deeper nesting.
---@param value any
---@return string|nil
function jsonEncode(value) end

---The value of the JSON `text`: objects as tables, arrays as sequences, null as
---jsonNull; nested at most 64 deep, texts at most 16 MiB. Prints "jsonDecode:
---Invalid argument #1." or "jsonDecode: <reason>" and returns nothing when
---refused.
---@param text string
---@return any
function jsonDecode(text) end
