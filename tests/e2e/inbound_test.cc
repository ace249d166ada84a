// A short match against the real binary: what the admin sees and what the
// script hears.

#include <gtest/gtest.h>

#include "sim/server_messages.h"
#include "support/client_process.h"
#include "support/loopback_peer.h"

namespace gsadmin::testing {
namespace {

const char kScript[] = R"lua(
addEventHandler('onConnect', 'connected')
addEventHandler('onPlayerJoin', 'joined')
addEventHandler('onPlayerChat', 'chat')
addEventHandler('onPlayerQuit', 'quit')
function connected() print('script: connected to ' .. getServerName()) end
function joined(id) print('script: join ' .. id .. ' ' .. getPlayerName(id)) end
function chat(id, text) print('script: chat ' .. #text) end
function quit(id, reason) print('script: quit ' .. getPlayerName(id) .. ' ' .. reason) end
)lua";

TEST(InboundEndToEndTest, MatchThroughTheRealBinary) {
  LoopbackPeer peer;
  ClientProcess client({"127.0.0.1", std::to_string(peer.port()), "Admin", "pw"}, kScript);
  ASSERT_TRUE(peer.receive());  // login
  ServerRecord record;
  record.name = "E2E";
  peer.send(connectionAccepted(record, {{3, "Ann"}}));
  EXPECT_EQ(client.waitForLine("Successfully"), "Successfully connected! 'E2E' (Players: 1/32)");
  EXPECT_EQ(client.nextLine(), "script: connected to E2E");
  std::optional<Datagram> request = peer.receive();
  ASSERT_TRUE(request);
  EXPECT_EQ(*request, (Datagram{0x1D, 3}));
  peer.send(playerDetails(3, "info"));
  EXPECT_EQ(client.nextLine(), "script: join 3 Ann");

  peer.send(playerJoined(8, "Es\x1b[31mc\x07"));
  EXPECT_EQ(client.nextLine(), "Es?[31mc? has joined the game (ID: 8)");
  peer.send(chatLine(8, 0, "\x1b]2;pwned\x07"));
  EXPECT_EQ(client.nextLine(), "Es?[31mc?: ?]2;pwned?");
  EXPECT_EQ(client.nextLine(), "script: chat 10");
  peer.send(deathReport(3, 8, 26));
  EXPECT_EQ(client.nextLine(), "Es?[31mc? killed Ann (M4)");
  peer.send(playerLeft(wire::kQuitKicked, 3));
  EXPECT_EQ(client.nextLine(), "Ann has been kicked from the game");
  EXPECT_EQ(client.nextLine(), "script: quit Ann 1");
  peer.send(disconnectReason(wire::kDisconnectShuttingDown));
  EXPECT_EQ(client.nextLine(), "Disconnected: Server is being shut down.");
}

const char kRideScript[] = R"lua(
for _, name in ipairs({'onPlayerPositionChange', 'onVehicleHealthChange',
    'onPlayerVehicleEnter', 'onPlayerVehicleExit', 'onPlayerHealthChange',
    'onPlayerMessage', 'onAdminMessage'}) do
  _G[name] = function(...) print('script: ' .. name .. ' ' .. table.concat({...}, ' ')) end
  addEventHandler(name, name)
end
addEventHandler('onDisconnect', 'gone')
function gone(reason) print('script: gone ' .. reason .. ' ' .. tostring(isConnected())) end
)lua";

TEST(InboundEndToEndTest, RideMessagesAndRefusalThroughTheRealBinary) {
  LoopbackPeer peer;
  ClientProcess client({"127.0.0.1", std::to_string(peer.port()), "Admin", "pw"}, kRideScript);
  ASSERT_TRUE(peer.receive());  // login
  peer.send(connectionAccepted(ServerRecord(), {{3, "Ann"}, {4, "Bo"}}));
  ASSERT_TRUE(client.waitForLine("Successfully"));

  peer.send(positionUpdate(4, 105, 0));
  EXPECT_EQ(client.nextLine(), "script: onPlayerPositionChange 4");
  EXPECT_EQ(client.nextLine(), "script: onPlayerVehicleEnter 4 5");
  peer.send(positionUpdate(3, 5, 75.5f, 1, 2, 3));
  EXPECT_EQ(client.nextLine(), "script: onPlayerPositionChange 3");
  EXPECT_EQ(client.nextLine(), "script: onVehicleHealthChange 5 75");
  EXPECT_EQ(client.nextLine(), "script: onPlayerPositionChange 4");
  EXPECT_EQ(client.nextLine(), "script: onPlayerVehicleEnter 3 5");
  peer.send(positionUpdate(3, 0, 40.9f));
  EXPECT_EQ(client.nextLine(), "script: onPlayerPositionChange 3");
  EXPECT_EQ(client.nextLine(), "script: onPlayerHealthChange 3 40 100");
  EXPECT_EQ(client.nextLine(), "script: onPlayerVehicleExit 3 5");

  peer.send(chatLine(3, 0, "/msg #4 meet at the docks"));
  EXPECT_EQ(client.nextLine(), "Ann to #4: meet at the docks");
  EXPECT_EQ(client.nextLine(), "script: onPlayerMessage 3 #4 meet at the docks");
  peer.send(chatLine(0, 3, "/msgr Bo: ok"));
  EXPECT_EQ(client.nextLine(), "PM SENT: Bo: ok");
  EXPECT_EQ(client.nextLine(), "script: onAdminMessage Bo: ok");

  peer.send(disconnectReason(wire::kDisconnectWrongPassword));
  EXPECT_EQ(client.nextLine(), "Disconnected: Incorrect password.");
  EXPECT_EQ(client.nextLine(), "script: gone 4 true");
}

}  // namespace
}  // namespace gsadmin::testing
