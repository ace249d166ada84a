#ifndef GSADMIN_TESTS_SOAK_EXPECTED_EVENTS_H_
#define GSADMIN_TESTS_SOAK_EXPECTED_EVENTS_H_

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace gsadmin::testing {

// What the client's model holds after each message a server sent it, kept
// independently of the client, and how many times it must have fired each
// script event so far. Fed every message in the order it was sent, so the
// counts are exact for a client that handled everything.
class ExpectedEvents {
 public:
  // `vehicleCount` vehicles (ids 1 to vehicleCount) make up the roster that
  // every connection accepted builds.
  explicit ExpectedEvents(int vehicleCount);

  // The events counted, in a fixed order.
  static const std::vector<std::string>& eventNames();

  // Connection accepted with these players (non-empty names) listed.
  void accepted(const std::vector<uint8_t>& listedIds);
  void disconnected();
  void joined(uint8_t id);
  void left(uint8_t id);
  void details(uint8_t id);
  void position(uint8_t id, uint8_t state, float health);
  // `status` 3 is the admin channel; `text` without its NUL.
  void chat(uint8_t sender, uint8_t status, std::string_view text);
  void keepAlive() { ++keepAliveAnswers_; }

  bool known(uint8_t id) const { return players_.count(id) != 0; }
  std::vector<uint8_t> knownIds() const;
  // The health the client stores for a known player.
  float health(uint8_t id) const;

  // Every event counted, by name, zero counts included.
  const std::map<std::string, uint64_t>& counts() const { return counts_; }
  uint64_t detailsRequests() const { return detailsRequests_; }
  uint64_t keepAliveAnswers() const { return keepAliveAnswers_; }

 private:
  struct Player {
    float health = 100.0f;
    std::optional<int> vehicle;
  };

  void add(uint8_t id);
  void destroy(uint8_t id);
  void count(const char* event) { ++counts_[event]; }

  int vehicleCount_;
  std::map<uint8_t, Player> players_;
  // Passenger lists of the roster's vehicles, in boarding order.
  std::map<int, std::vector<uint8_t>> passengers_;
  std::map<std::string, uint64_t> counts_;
  uint64_t detailsRequests_ = 0;
  uint64_t keepAliveAnswers_ = 0;
};

}  // namespace gsadmin::testing

#endif  // GSADMIN_TESTS_SOAK_EXPECTED_EVENTS_H_
