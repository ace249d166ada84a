// Connection accepted (id 1) and disconnect reasons (id 6).

#include "protocol/connection_messages.h"

#include <gtest/gtest.h>

#include "protocol/inbound_test_script.h"
#include "protocol/wire.h"

namespace gsadmin::testing {
namespace {

struct Connected {
  Connected() : harness(kEventEchoScript) {
    harness.login();
    harness.output();
  }
  std::string accept(const Datagram& datagram) {
    harness.deliver(datagram);
    return harness.output();
  }
  PlayerManager& players() { return harness.session().players(); }
  SessionHarness harness;
};

TEST(ConnectionAcceptedTest, FillsTheRecordRegistersPlayersAndFiresOnConnect) {
  Connected c;
  ServerRecord record;
  record.name = "My Server";
  record.motd = "Be nice";
  record.maxPlayers = 16;
  EXPECT_EQ(c.accept(connectionAccepted(record, {{5, "Bob"}, {9, "Cy"}})),
            "Successfully connected! 'My Server' (Players: 2/16)\nonConnect\n");
  const ServerInfo& info = c.harness.session().serverInfo();
  EXPECT_EQ(info.name, "My Server");
  EXPECT_EQ(info.motd, "Be nice");
  EXPECT_EQ(info.gameCode, 2);
  EXPECT_EQ(info.gameMode, 1);
  EXPECT_EQ(c.harness.session().vehicles().size(), 81u);
  EXPECT_EQ(c.harness.session().weapons().size(), 39u);
  ASSERT_NE(c.players().find(5), nullptr);
  EXPECT_EQ(c.players().find(5)->name, "Bob");
  EXPECT_EQ(c.players().find(5)->entryValue, 0u);
  // One details request per listed player, in list order, and no event yet.
  EXPECT_EQ(c.harness.sent(), (std::vector<Datagram>{{0x1D, 5}, {0x1D, 9}}));
  EXPECT_TRUE(c.harness.session().connected());
}

TEST(ConnectionAcceptedTest, GameCodeOneEntriesCarryAValue) {
  Connected c;
  ServerRecord record;
  record.gameCode = 1;
  record.gameMode = 2;
  c.accept(connectionAccepted(record, {{5, "Bob", 0x11223344}}));
  ASSERT_NE(c.players().find(5), nullptr);
  EXPECT_EQ(c.players().find(5)->name, "Bob");
  EXPECT_EQ(c.players().find(5)->entryValue, 0x11223344u);
  EXPECT_EQ(c.harness.session().weapons().size(), 17u);
  EXPECT_EQ(c.harness.session().vehicles().size(), 49u);
}

TEST(ConnectionAcceptedTest, EntryBytesOneAndTwoAreNotRead) {
  Connected c;
  Datagram datagram = connectionAccepted(ServerRecord(), {});
  for (int byte : {5, int('a'), int('b'), int('B'), int('o'), int('b'), 0x07})
    datagram.push_back(byte);
  c.accept(datagram);
  ASSERT_NE(c.players().find(5), nullptr);
  EXPECT_EQ(c.players().find(5)->name, "Bob");
}

TEST(ConnectionAcceptedTest, EmptyNamesAreSkippedAndTheLastNameMayRunToTheEnd) {
  Connected c;
  EXPECT_EQ(c.accept(connectionAccepted(ServerRecord(),
                                        {{1, ""}, {2, "Two"}, {3, ""}, {4, "Last", 0, false}})),
            "Successfully connected! 'Test Server' (Players: 2/32)\nonConnect\n");
  EXPECT_EQ(c.players().find(1), nullptr);
  EXPECT_EQ(c.players().find(3), nullptr);
  ASSERT_NE(c.players().find(4), nullptr);
  EXPECT_EQ(c.players().find(4)->name, "Last");
  EXPECT_EQ(c.harness.sent(), (std::vector<Datagram>{{0x1D, 2}, {0x1D, 4}}));
}

TEST(ConnectionAcceptedTest, NameEndsAtItsNulButTheScanGoesOnToTheTerminator) {
  Connected c;
  Datagram datagram = connectionAccepted(ServerRecord(), {});
  for (int byte : {5, 0, 0, int('B'), int('o'), 0, int('x'), 0x07, 6, 0, 0, int('C'), 0x07})
    datagram.push_back(byte);
  c.accept(datagram);
  ASSERT_NE(c.players().find(5), nullptr);
  EXPECT_EQ(c.players().find(5)->name, "Bo");
  ASSERT_NE(c.players().find(6), nullptr);
  EXPECT_EQ(c.players().find(6)->name, "C");
  EXPECT_EQ(c.players().find('x'), nullptr) << "bytes after the NUL are no entry";
}

TEST(ConnectionAcceptedTest, EntryCutOffBeforeItsNameIsSkipped) {
  Connected c;
  ServerRecord record;
  record.gameCode = 1;
  Datagram datagram = connectionAccepted(record, {{5, "Bob", 7}});
  for (int byte : {9, 0, 0, 1, 2}) datagram.push_back(byte);  // ends inside the value
  EXPECT_EQ(c.accept(datagram),
            "Successfully connected! 'Test Server' (Players: 1/32)\nonConnect\n");
  EXPECT_EQ(c.players().find(9), nullptr);
  EXPECT_EQ(c.harness.sent(), (std::vector<Datagram>{{0x1D, 5}}));
}

TEST(ConnectionAcceptedTest, DuplicateIdsReplaceAndAreCountedOnce) {
  Connected c;
  EXPECT_EQ(c.accept(connectionAccepted(ServerRecord(), {{6, "First"}, {6, "Second"}})),
            "Successfully connected! 'Test Server' (Players: 1/32)\nonConnect\n");
  EXPECT_EQ(c.players().find(6)->name, "Second");
  EXPECT_EQ(c.harness.sent(), (std::vector<Datagram>{{0x1D, 6}, {0x1D, 6}}));
}

TEST(ConnectionAcceptedTest, ShortBodiesGiveZerosAndEmptyTexts) {
  Connected c;
  Datagram full = connectionAccepted(ServerRecord(), {});
  ASSERT_EQ(full.size(), 326u);  // exactly the fixed part: no players
  EXPECT_EQ(c.accept(full), "Successfully connected! 'Test Server' (Players: 0/32)\nonConnect\n");

  Datagram upToMotd(full.begin(), full.begin() + 1 + 70);  // name complete, no MOTD
  c.accept(upToMotd);
  EXPECT_EQ(c.harness.session().serverInfo().name, "Test Server");
  EXPECT_EQ(c.harness.session().serverInfo().motd, "");

  Datagram numbersOnly(full.begin(), full.begin() + 1 + 20);  // no name area
  EXPECT_EQ(c.accept(numbersOnly), "Successfully connected! '' (Players: 0/32)\nonConnect\n");
  EXPECT_EQ(c.harness.session().serverInfo().gameCode, 2);

  EXPECT_EQ(c.accept(Datagram{1}), "Successfully connected! '' (Players: 0/0)\nonConnect\n");
  const ServerInfo& info = c.harness.session().serverInfo();
  EXPECT_EQ(info.name, "");  // present though empty, not absent
  EXPECT_EQ(info.gameCode, 0);
  EXPECT_EQ(c.harness.session().vehicles().size(), 1u);  // "Foot" alone
  EXPECT_EQ(c.harness.session().weapons().size(), 0u);
}

TEST(ConnectionAcceptedTest, UnterminatedTextsAreCutToTheirAreas) {
  Connected c;
  ServerRecord record;
  record.name = std::string(50, 'N');
  record.motd = std::string(255, 'M');
  Datagram datagram = connectionAccepted(record, {});
  for (uint8_t byte : {8, 0, 0}) datagram.push_back(byte);
  for (int i = 0; i < 20; ++i) datagram.push_back('p');
  datagram.push_back(0x07);
  for (int byte : {9, 0, 0, int('Z'), 0x07}) datagram.push_back(byte);
  c.accept(datagram);
  EXPECT_EQ(c.harness.session().serverInfo().name, std::string(49, 'N'));
  EXPECT_EQ(c.harness.session().serverInfo().motd, std::string(254, 'M'));
  ASSERT_NE(c.players().find(8), nullptr);
  EXPECT_EQ(c.players().find(8)->name, std::string(15, 'p'));
  // The long name's bytes were stepped over: the next entry is read whole.
  ASSERT_NE(c.players().find(9), nullptr);
  EXPECT_EQ(c.players().find(9)->name, "Z");
}

TEST(ConnectionAcceptedTest, HighBytesStayUnsigned) {
  Connected c;
  ServerRecord record;
  record.gameCode = 200;
  record.gameMode = 129;
  record.maxPlayers = 255;
  EXPECT_EQ(c.accept(connectionAccepted(record, {})),
            "Successfully connected! 'Test Server' (Players: 0/255)\nonConnect\n");
  EXPECT_EQ(c.harness.session().serverInfo().gameCode, 200);
  EXPECT_EQ(c.harness.session().serverInfo().gameMode, 129);
}

TEST(ConnectionAcceptedTest, SecondAcceptanceKeepsEarlierPlayersAndRebuildsTables) {
  Connected c;
  c.accept(connectionAccepted(ServerRecord(), {{1, "Old"}, {2, "Stays"}}));
  c.harness.deliver(positionUpdate(1, 5, 50.0f));  // Old drives vehicle 5
  ASSERT_NE(c.players().find(1)->vehicle, nullptr);
  c.harness.output();
  ServerRecord other;
  other.gameCode = 1;
  other.gameMode = 1;
  other.name = "Other";
  EXPECT_EQ(c.accept(connectionAccepted(other, {{1, "New"}, {3, "Third"}})),
            "Successfully connected! 'Other' (Players: 3/32)\nonConnect\n");
  EXPECT_EQ(c.players().find(1)->name, "New");
  EXPECT_EQ(c.players().find(2)->name, "Stays");
  EXPECT_EQ(c.players().find(2)->vehicle, nullptr);
  EXPECT_EQ(c.harness.session().vehicles().find(5)->health, 100.0f);
  EXPECT_EQ(c.harness.session().weapons().size(), 17u);
}

TEST(ConnectionAcceptedTest, ServerNameWithControlBytesIsPrintedSafely) {
  Connected c;
  ServerRecord record;
  record.name = "Evil\x1b[31m\x07";
  EXPECT_EQ(c.accept(connectionAccepted(record, {})),
            "Successfully connected! 'Evil?[31m?' (Players: 0/32)\nonConnect\n");
  EXPECT_EQ(c.harness.session().serverInfo().name, "Evil\x1b[31m\x07");
}

TEST(DisconnectTest, EveryReasonLineAndTheEvent) {
  const std::pair<uint8_t, const char*> reasons[] = {
      {wire::kDisconnectNickInUse, "Disconnected: Nick already in use.\n"},
      {wire::kDisconnectBanned, "Disconnected: You are banned.\n"},
      {wire::kDisconnectTimedOut, "Disconnected: Connection timed out.\n"},
      {wire::kDisconnectWrongPassword, "Disconnected: Incorrect password.\n"},
      {wire::kDisconnectShuttingDown, "Disconnected: Server is being shut down.\n"},
      {wire::kDisconnectIncompatibleVersion, "Disconnected: Incompatible version.\n"},
      {wire::kDisconnectBadNickname, "Disconnected: Bad nickname.\n"},
      {wire::kDisconnectAddOnDisabled, "Disconnected: Razid+ is disabled on the server.\n"},
      {3, ""},
      {7, ""},
      {9, ""},
      {12, ""},
      {200, ""},
      {255, ""}};
  for (const auto& [reason, line] : reasons) {
    Connected c;
    EXPECT_EQ(c.accept(disconnectReason(reason)),
              std::string(line) + "onDisconnect " + std::to_string(reason) + "\n");
    EXPECT_FALSE(c.harness.session().connected());
  }
}

TEST(DisconnectTest, IdByteAloneReadsReasonZero) {
  Connected c;
  EXPECT_EQ(c.accept(Datagram{6}), "Disconnected: Nick already in use.\nonDisconnect 0\n");
}

TEST(DisconnectTest, HandlersSeeTheSessionStillConnected) {
  SessionHarness harness(
      "addEventHandler('onDisconnect', 'gone')\n"
      "function gone(r) print('inside', isConnected()) end\n");
  harness.login();
  harness.output();
  harness.deliver(disconnectReason(wire::kDisconnectWrongPassword));
  EXPECT_EQ(harness.output(), "Disconnected: Incorrect password.\ninside\ttrue\n");
  EXPECT_FALSE(harness.session().connected());
  // Already not connected: the line and event again, still not connected.
  harness.deliver(disconnectReason(wire::kDisconnectWrongPassword));
  EXPECT_EQ(harness.output(), "Disconnected: Incorrect password.\ninside\tfalse\n");
}

TEST(DisconnectTest, NextLoginFollowsTenSecondsAfterTheRefusal) {
  Connected c;
  c.harness.clock().advance(3000);
  c.accept(disconnectReason(wire::kDisconnectWrongPassword));
  c.harness.clock().advance(AdminSession::kSilenceMs);
  c.harness.session().poll();
  EXPECT_TRUE(c.harness.sent().empty());
  c.harness.clock().advance(1);
  c.harness.session().poll();
  std::vector<Datagram> sent = c.harness.sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0][0], 0x0D);
}

TEST(DisconnectTest, ModelSurvivesADisconnect) {
  Connected c;
  c.accept(connectionAccepted(ServerRecord(), {{1, "Ann"}}));
  c.accept(disconnectReason(wire::kDisconnectShuttingDown));
  EXPECT_NE(c.players().find(1), nullptr);
  EXPECT_EQ(c.harness.session().vehicles().size(), 81u);
  EXPECT_EQ(c.harness.session().serverInfo().name, "Test Server");
}

}  // namespace
}  // namespace gsadmin::testing
