#ifndef GSADMIN_COMMANDS_COMMANDS_H_
#define GSADMIN_COMMANDS_COMMANDS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "commands/act.h"

namespace gsadmin {

class Moderation;
class SessionContext;

// The admin acts of one session, for every door: the console's
// ".words", the admins' "!words" in game, the panel's actions and the
// script API's functions all come here, so that each act has one path.
// The session must outlive this object.
class Commands {
 public:
  // The longest private message an answer in game is: a chat frame's text
  // (511 bytes) less "/msg #255 ". Longer answers are cut.
  static constexpr size_t kMaxAnswer = 501;

  // The moderation is the session's at each call: it may be turned off
  // when it cannot open.
  explicit Commands(SessionContext& session);

  // Whether `act` is there in this session: the acts of the moderation
  // are not without it.
  bool available(const Act& act) const;
  // The act `name` names (see findAct) when there and reached from `door`.
  const Act* find(std::string_view name, unsigned door) const;

  // Runs `act` for `request`, asked from `door`. Refused, having done
  // nothing, when the act is not there, not reached from that door, or
  // needs a higher level than the actor's.
  Outcome run(const Act& act, unsigned door, const ActRequest& request);

  // A typed act: "warn Bob spam" at the console (the word without its '.')
  // or said in game by an admin; read from the act's arguments and run. The
  // answers, refusals and read lines, go to the console as "* " lines, or
  // to the admin in game as private messages. An id typed means the player
  // who held it at `mark`, when the operator began typing. False when
  // `word` names no act of that door here; nothing is said then.
  bool runTyped(const Actor& actor, unsigned door, std::string_view word, std::string_view rest,
                std::optional<uint64_t> mark = std::nullopt);

  // The acts typed at `door` that are there, in the order of the table.
  std::vector<const Act*> typedActs(unsigned door) const;
  // The usage of `act` as typed at `door`: ".warn PLAYER REASON".
  static std::string usage(const Act& act, unsigned door);

  // How many times an act other than a read was carried out from a door
  // (an unban that lifted nothing is not), for the metrics.
  struct Tally {
    const char* act;
    const char* door;
    uint64_t count = 0;
    // By the names' text: the same literal may sit at two addresses.
    bool operator==(const Tally& other) const {
      return std::string_view(act) == other.act && std::string_view(door) == other.door &&
             count == other.count;
    }
  };
  // Those above 0, in the order of the table and the doors.
  std::vector<Tally> tallies() const;

 private:
  // Which act `word` and the start of `rest` name at `door`: "admin" and
  // "add ..." name "admin add", whose rest is then after "add".
  const Act* typedAct(unsigned door, std::string_view word, std::string_view* rest) const;
  void answer(const Actor& actor, std::string_view line);
  void refuseTyped(const Actor& actor, const Act& act, unsigned door, const std::string& text,
                   bool bare, bool hint);
  void report(const Actor& actor, const Act& act, unsigned door, const ActRequest& request,
              const Outcome& outcome);

  ActContext context() const;

  SessionContext& session_;
  // By act (its place in the table) and door (its place in kDoors).
  std::vector<uint64_t> done_;
};

}  // namespace gsadmin

#endif  // GSADMIN_COMMANDS_COMMANDS_H_
