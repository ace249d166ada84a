#include "scenario.h"

#include <cmath>

#include "protocol/wire.h"
#include "scenario_words.h"

namespace gsadmin::sim {
namespace {

// The longest scenario time accepted, in seconds (a bit over 11 days).
constexpr double kMaxTimeSeconds = 1e6;

struct VerbWord {
  const char* word;
  Verb verb;
};

constexpr VerbWord kVerbs[] = {
    {"join", Verb::kJoin},   {"quit", Verb::kQuit},       {"chat", Verb::kChat},
    {"msg", Verb::kMessage}, {"admin", Verb::kAdminLine}, {"walk", Verb::kWalk},
    {"drive", Verb::kDrive}, {"ride", Verb::kRide},       {"kill", Verb::kKill},
    {"die", Verb::kDie},     {"drown", Verb::kDrown},     {"disconnect", Verb::kDisconnect},
    {"end", Verb::kEnd},
};

// Parses one file; remembers where it is so that every error names its line.
class Parser {
 public:
  Parser(const std::string& source, std::string* error) : error_(error) {
    scenario_.source = source;
  }

  bool parse(std::string_view text) {
    size_t start = 0;
    while (start <= text.size()) {
      size_t newline = text.find('\n', start);
      if (newline == std::string_view::npos) newline = text.size();
      std::string_view line = text.substr(start, newline - start);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      ++lineNumber_;
      if (!parseLine(line)) return false;
      start = newline + 1;
    }
    return true;
  }

  Scenario take() { return std::move(scenario_); }

 private:
  bool fail(const std::string& what) {
    *error_ = scenario_.source + ":" + std::to_string(lineNumber_) + ": " + what;
    return false;
  }

  bool parseLine(std::string_view line) {
    LineCursor cursor(line);
    if (cursor.atEnd()) return true;
    std::string_view first = cursor.word();
    if (first.front() == '#') return true;
    if (scenario_.endMs) return fail("nothing may follow the end line");
    char c = first.front();
    if ((c >= '0' && c <= '9') || c == '+' || c == '.') return parseTimed(first, cursor);
    return parseSetting(first, cursor);
  }

  bool parseSetting(std::string_view word, LineCursor& cursor) {
    ScenarioSettings& settings = scenario_.settings;
    if (word == "server-name" || word == "motd") {
      bool isName = word == "server-name";
      std::optional<std::string>& field = isName ? settings.serverName : settings.motd;
      if (field) return fail(std::string(word) + " is set twice");
      std::string_view text = cursor.rest();
      size_t limit = isName ? gsadmin::wire::kMaxServerName : gsadmin::wire::kMaxMotd;
      if (text.size() > limit) {
        return fail(std::string(word) + " is longer than " + std::to_string(limit) + " bytes");
      }
      if (isName && text.empty()) return fail("server-name needs a text");
      field = std::string(text);
      return true;
    }
    if (word == "game" || word == "mode" || word == "max-players") {
      std::optional<uint8_t>& field = word == "game"   ? settings.game
                                      : word == "mode" ? settings.mode
                                                       : settings.maxPlayers;
      if (field) return fail(std::string(word) + " is set twice");
      std::string_view number = cursor.word();
      std::optional<int> value = parseInt(number, word == "max-players" ? 1 : 0, 255);
      if (!value) {
        return fail(std::string(word) + " needs a number from " +
                    (word == "max-players" ? "1" : "0") + " to 255, not '" + std::string(number) +
                    "'");
      }
      field = static_cast<uint8_t>(*value);
      return noMore(cursor, word);
    }
    if (word == "online") {
      OnlinePlayer player;
      player.line = lineNumber_;
      if (!readName(cursor, "online", &player.name)) return false;
      if (!readIdAndKey(cursor, word, &player.id, &player.key)) return false;
      settings.online.push_back(player);
      return true;
    }
    return fail("expected a time or a setting, not '" + std::string(word) + "'");
  }

  bool parseTimed(std::string_view timeWord, LineCursor& cursor) {
    bool relative = timeWord.front() == '+';
    std::optional<double> seconds = parseDouble(relative ? timeWord.substr(1) : timeWord);
    if (!seconds || *seconds < 0 || *seconds > kMaxTimeSeconds) {
      return fail("bad time '" + std::string(timeWord) +
                  "' (seconds, or +seconds after the line before)");
    }
    uint64_t ms = static_cast<uint64_t>(std::llround(*seconds * 1000.0));
    uint64_t time = relative ? lastTimeMs_ + ms : ms;
    if (time < lastTimeMs_) {
      return fail("time " + std::string(timeWord) + " is earlier than the line before it");
    }
    lastTimeMs_ = time;

    std::string_view verbWord = cursor.word();
    if (verbWord.empty()) return fail("a verb must follow the time");
    const VerbWord* found = nullptr;
    for (const VerbWord& entry : kVerbs) {
      if (verbWord == entry.word) found = &entry;
    }
    if (found == nullptr) return fail("unknown verb '" + std::string(verbWord) + "'");

    Action action;
    action.line = lineNumber_;
    action.timeMs = time;
    action.verb = found->verb;
    if (!parseArguments(action, cursor)) return false;
    if (action.verb == Verb::kEnd) {
      scenario_.endMs = time;
    } else {
      scenario_.actions.push_back(std::move(action));
    }
    return true;
  }

  bool parseArguments(Action& action, LineCursor& cursor) {
    std::string_view verb = verbName(action.verb);
    switch (action.verb) {
      case Verb::kJoin:
        if (!readName(cursor, verb, &action.player)) return false;
        return readIdAndKey(cursor, verb, &action.id, &action.key);
      case Verb::kQuit:
        if (!readName(cursor, verb, &action.player)) return false;
        if (!readQuitReason(cursor, &action.reason)) return false;
        break;
      case Verb::kChat:
        if (!readName(cursor, verb, &action.player)) return false;
        action.text = std::string(cursor.rest());
        if (action.text.empty()) return fail("chat needs a text after the player's name");
        return true;
      case Verb::kMessage:
        if (!readName(cursor, verb, &action.player)) return false;
        action.recipient = std::string(cursor.word());
        if (action.recipient.empty()) return fail("msg needs a recipient after the player's name");
        action.text = std::string(cursor.rest());
        return true;
      case Verb::kAdminLine:
        action.text = std::string(cursor.rest());
        if (action.text.empty()) return fail("admin needs a text");
        return true;
      case Verb::kWalk:
        if (!readName(cursor, verb, &action.player)) return false;
        return readClauses(action, cursor);
      case Verb::kDrive:
        if (!readName(cursor, verb, &action.player)) return false;
        if (!readVehicle(cursor, verb, &action.vehicle)) return false;
        return readClauses(action, cursor);
      case Verb::kRide:
        if (!readName(cursor, verb, &action.player)) return false;
        if (!readVehicle(cursor, verb, &action.vehicle)) return false;
        break;
      case Verb::kKill:
        if (!readName(cursor, "kill (killer)", &action.killer, /*allowAdmin=*/true)) return false;
        if (!readName(cursor, "kill (victim)", &action.player)) return false;
        action.weapon = std::string(cursor.rest());
        if (action.weapon.empty()) return fail("kill needs a weapon after the victim");
        return true;
      case Verb::kDie:
        if (!readName(cursor, verb, &action.player)) return false;
        action.weapon = std::string(cursor.rest());
        if (action.weapon.empty()) return fail("die needs a weapon after the player's name");
        return true;
      case Verb::kDrown:
        if (!readName(cursor, verb, &action.player)) return false;
        break;
      case Verb::kDisconnect: {
        std::string_view word = cursor.word();
        std::optional<int> reason = parseInt(word, 0, 255);
        if (!reason) return fail("disconnect needs a reason code from 0 to 255");
        action.reason = static_cast<uint8_t>(*reason);
        break;
      }
      case Verb::kEnd:
        break;
    }
    return noMore(cursor, verb);
  }

  // "health H" and "at X Y Z", each at most once, in any order.
  bool readClauses(Action& action, LineCursor& cursor) {
    for (;;) {
      std::string_view word = cursor.word();
      if (word.empty()) return true;
      if (word == "health" && !action.health) {
        std::string_view number = cursor.word();
        action.health = parseFloat(number);
        if (!action.health) return fail("bad health '" + std::string(number) + "'");
      } else if (word == "at" && !action.at) {
        Point point;
        float* coordinates[] = {&point.x, &point.y, &point.z};
        for (float* coordinate : coordinates) {
          std::string_view number = cursor.word();
          std::optional<float> value = parseFloat(number);
          if (number.empty()) return fail("'at' needs three numbers x y z");
          if (!value) return fail("bad coordinate '" + std::string(number) + "'");
          *coordinate = *value;
        }
        action.at = point;
      } else {
        return fail("unexpected '" + std::string(word) + "' (expected 'health H' or 'at X Y Z')");
      }
    }
  }

  bool readName(LineCursor& cursor, std::string_view what, std::string* name,
                bool allowAdmin = false) {
    std::string_view word = cursor.word();
    if (word.empty()) return fail(std::string(what) + " needs a player name");
    if (word.size() > gsadmin::wire::kEntryPlayerNameLimit) {
      return fail("player name '" + std::string(word) + "' is longer than " +
                  std::to_string(gsadmin::wire::kEntryPlayerNameLimit) + " bytes");
    }
    if (hasControlByte(word)) return fail("player name holds a control character");
    if (!allowAdmin && word == kAdminKiller) {
      return fail("'admin' names the admin and cannot be a player's name");
    }
    *name = std::string(word);
    return true;
  }

  // "[ID] [key KEY]" to the end of the line: a name may be "key", an id
  // never is.
  bool readIdAndKey(LineCursor& cursor, std::string_view what, std::optional<uint8_t>* id,
                    std::optional<std::string>* key) {
    std::string_view word = cursor.word();
    if (!word.empty() && word != kKeyWord) {
      std::optional<int> value = parseInt(word, 0, 255);
      if (!value) return fail("bad player id '" + std::string(word) + "' (0 to 255)");
      *id = static_cast<uint8_t>(*value);
      word = cursor.word();
    }
    if (word != kKeyWord) {
      if (word.empty()) return true;
      return fail("unexpected '" + std::string(word) + "' after " + std::string(what));
    }
    std::string_view text = cursor.word();
    if (text.empty()) return fail("key needs a word after it");
    if (text.size() > kMaxKeyBytes) {
      return fail("key '" + std::string(text) + "' is longer than " + std::to_string(kMaxKeyBytes) +
                  " bytes");
    }
    if (hasControlByte(text)) return fail("key holds a control character");
    *key = std::string(text);
    return noMore(cursor, what);
  }

  bool readVehicle(LineCursor& cursor, std::string_view verb, int* vehicle) {
    std::string_view word = cursor.word();
    std::optional<int> value = parseInt(word, 1, 100);
    if (!value) {
      return fail(std::string(verb) + " needs a vehicle id from 1 to 100, not '" +
                  std::string(word) + "'");
    }
    *vehicle = *value;
    return true;
  }

  bool readQuitReason(LineCursor& cursor, uint8_t* reason) {
    std::string_view word = cursor.word();
    if (word.empty() || word == "left") {
      *reason = gsadmin::wire::kQuitLeft;
    } else if (word == "kicked") {
      *reason = gsadmin::wire::kQuitKicked;
    } else if (word == "timeout") {
      *reason = gsadmin::wire::kQuitTimedOut;
    } else if (std::optional<int> code = parseInt(word, 0, 255)) {
      *reason = static_cast<uint8_t>(*code);
    } else {
      return fail("bad quit reason '" + std::string(word) +
                  "' (left, kicked, timeout or a code from 0 to 255)");
    }
    return true;
  }

  bool noMore(LineCursor& cursor, std::string_view what) {
    std::string_view extra = cursor.word();
    if (extra.empty()) return true;
    return fail("unexpected '" + std::string(extra) + "' after " + std::string(what));
  }

  Scenario scenario_;
  std::string* error_;
  int lineNumber_ = 0;
  uint64_t lastTimeMs_ = 0;
};

}  // namespace

const char* verbName(Verb verb) {
  for (const VerbWord& entry : kVerbs) {
    if (entry.verb == verb) return entry.word;
  }
  return "?";
}

uint64_t Scenario::lengthMs() const {
  if (endMs) return *endMs;
  return actions.empty() ? 0 : actions.back().timeMs;
}

std::optional<Scenario> parseScenario(std::string_view text, const std::string& source,
                                      std::string* error) {
  Parser parser(source, error);
  if (!parser.parse(text)) return std::nullopt;
  return parser.take();
}

}  // namespace gsadmin::sim
