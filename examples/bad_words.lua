-- A bad-word filter: a player's first rude line, in public or in a private
-- message, gets a private warning; the second gets the player kicked.

local badWords = { "noob", "idiot", "cheater" }
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
    sendChat(getPlayerName(id) .. " was kicked for bad language.")
    kickPlayer(id)
  else
    warned[id] = true
    sendMessage(id, "Please keep it clean, or you will be kicked.")
  end
end

-- Ids are reused, so a newcomer must not inherit a warning.
function forgetWarning(id)
  warned[id] = nil
end

addEventHandler("onPlayerChat", "checkLanguage")
addEventHandler("onPlayerMessage", "checkLanguage")
addEventHandler("onPlayerQuit", "forgetWarning")
