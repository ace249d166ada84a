-- A bad-word filter: a player's first rude line, in public or in a private
-- message, gets a private warning; the second gets the player kicked. The
-- words and both texts are in bad_words.conf.

local WARNING = getSetting("warning", "Please keep it clean, or you will be kicked.")
local KICKED = getSetting("kicked", "{name} was kicked for bad language.")

-- The words, lowercase, from a comma-separated list.
local badWords = {}
for word in string.gmatch(string.lower(getSetting("words", "noob, idiot, cheater")), "[^,]+") do
  word = string.match(word, "^%s*(.-)%s*$")
  if word ~= "" then
    table.insert(badWords, word)
  end
end
local warned = {}  -- player id -> true once warned

local function isRude(text)
  local lower = string.lower(text)
  for _, word in ipairs(badWords) do
    if string.find(lower, word, 1, true) then
      return true
    end
  end
  return false
end

function checkLanguage(id, text)
  if not isRude(text) then
    return
  end
  if warned[id] then
    local name = getPlayerName(id)
    sendChat((string.gsub(KICKED, "{name}", function() return name end)))
    kickPlayer(id)
  else
    warned[id] = true
    sendMessage(id, WARNING)
  end
end

-- Ids are reused, so a newcomer must not inherit a warning.
function forgetWarning(id)
  warned[id] = nil
end

addEventHandler("onPlayerChat", "checkLanguage")
addEventHandler("onPlayerMessage", "checkLanguage")
addEventHandler("onPlayerQuit", "forgetWarning")
