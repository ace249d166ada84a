#include "memory_bench.h"

#include <cstdio>
#include <string>
#include <vector>

#include "live_client.h"
#include "support/proc_stats.h"

namespace gsadmin::bench {

MemoryResult measureFullServerMemory(const std::string& program) {
  MemoryResult result;
  LiveClient client(std::string(kCountingScript), false, {}, std::nullopt,
                    program.empty() ? testing::ClientProcess::defaultBinary() : program);
  if (!client.connect({})) return result;
  pid_t pid = client.process().pid();
  std::optional<uint64_t> empty = testing::residentKiB(pid);

  // 256 entries of "Player%03d" still fit one 4096-byte datagram.
  std::vector<ListedPlayer> players;
  for (int id = 0; id < 256; ++id) {
    char name[16];
    std::snprintf(name, sizeof(name), "Player%03d", id);
    players.push_back({static_cast<uint8_t>(id), name, 0, true});
  }
  testing::ServerRecord record;
  record.maxPlayers = 255;
  client.peer().send(testing::connectionAccepted(record, players));
  for (const ListedPlayer& player : players) {
    client.peer().send(testing::playerDetails(player.id, "details of " + player.name));
  }
  for (int id = 0; id < 256; ++id) {
    auto player = static_cast<uint8_t>(id);
    client.peer().send(testing::positionUpdate(player, 0, 90.0f, 1.0f * id, 2.0f, 3.0f));
    // A quarter drive or ride in the roster's 80 vehicles.
    if (id % 8 == 0) client.peer().send(testing::positionUpdate(player, 1 + id / 8, 800.0f));
    if (id % 8 == 1) client.peer().send(testing::positionUpdate(player, 101 + id / 8, 0.0f));
  }
  if (!client.sync()) return result;
  std::optional<uint64_t> full = testing::residentKiB(pid);
  if (!empty || !full) return result;
  result.emptyKiB = *empty;
  result.fullKiB = *full;
  result.complete = true;
  return result;
}

}  // namespace gsadmin::bench
