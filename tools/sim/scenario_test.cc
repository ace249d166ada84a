// The scenario format: what a file means, and the error for each way a
// line can be wrong.

#include "scenario.h"

#include <gtest/gtest.h>

#include <random>

#include "demo_scenario.h"
#include "scenario_check.h"

namespace gsadmin::sim {
namespace {

Scenario parseOk(std::string_view text) {
  std::string error;
  std::optional<Scenario> scenario = parseScenario(text, "s.txt", &error);
  EXPECT_TRUE(scenario) << error;
  return scenario.value_or(Scenario());
}

std::string parseError(std::string_view text) {
  std::string error;
  std::optional<Scenario> scenario = parseScenario(text, "s.txt", &error);
  EXPECT_FALSE(scenario) << text;
  return error;
}

std::string checkError(std::string_view text, uint8_t game = 2, uint8_t mode = 1) {
  Scenario scenario = parseOk(text);
  std::string error;
  EXPECT_FALSE(checkScenario(scenario, game, mode, &error)) << text;
  return error;
}

// Every setting and every verb once.
constexpr const char* kEveryVerb =
    "# a comment\n"
    "server-name  My  Server \n"
    "motd Be nice\n"
    "game 2\n"
    "mode 1\n"
    "max-players 8\n"
    "online Alice\n"
    "online Bob 7\n"
    "\n"
    "0 join Carol\n"
    "1.5 join Dave 9\n"
    "+0.5 chat Carol  hello   there \n"
    "2 msg Carol #7 see you\n"
    "2 msg Dave Bob\n"
    "3 admin server restarts soon\n"
    "4 walk Alice\n"
    "4 walk Alice at 1 -2.5 3 health 80\n"
    "5 drive Bob 5 health 950.5\n"
    "5 ride Alice 5\n"
    "6 kill Bob Carol Rocket Launcher\n"
    "6 kill admin Dave 0\n"
    "7 die Alice 43\n"
    "7 drown Bob\n"
    "8 quit Carol kicked\n"
    "8 quit Dave\n"
    "9 disconnect 5\n"
    "12 end\n";

TEST(ScenarioParseTest, SettingsAndEveryVerb) {
  Scenario s = parseOk(kEveryVerb);
  EXPECT_EQ(s.settings.serverName, "My  Server");
  EXPECT_EQ(s.settings.motd, "Be nice");
  EXPECT_EQ(s.settings.game, 2);
  EXPECT_EQ(s.settings.mode, 1);
  EXPECT_EQ(s.settings.maxPlayers, 8);
  ASSERT_EQ(s.settings.online.size(), 2u);
  EXPECT_EQ(s.settings.online[1].name, "Bob");
  EXPECT_EQ(s.settings.online[1].id, 7);
  EXPECT_EQ(s.settings.online[1].line, 8);

  ASSERT_EQ(s.actions.size(), 17u);
  EXPECT_EQ(s.actions[0].verb, Verb::kJoin);
  EXPECT_EQ(s.actions[0].line, 10);
  EXPECT_FALSE(s.actions[0].id);
  EXPECT_EQ(s.actions[1].id, 9);
  EXPECT_EQ(s.actions[1].timeMs, 1500u);
  EXPECT_EQ(s.actions[2].timeMs, 2000u) << "relative to the line before";
  EXPECT_EQ(s.actions[2].text, "hello   there") << "inner blanks kept";
  EXPECT_EQ(s.actions[3].recipient, "#7");
  EXPECT_EQ(s.actions[3].text, "see you");
  EXPECT_EQ(s.actions[4].text, "");
  EXPECT_EQ(s.actions[5].text, "server restarts soon");
  EXPECT_FALSE(s.actions[6].health);
  EXPECT_FALSE(s.actions[6].at);
  ASSERT_TRUE(s.actions[7].at);
  EXPECT_FLOAT_EQ(s.actions[7].at->y, -2.5f);
  EXPECT_EQ(s.actions[7].health, 80.0f);
  EXPECT_EQ(s.actions[8].vehicle, 5);
  EXPECT_EQ(s.actions[8].health, 950.5f);
  EXPECT_EQ(s.actions[9].verb, Verb::kRide);
  EXPECT_EQ(s.actions[10].killer, "Bob");
  EXPECT_EQ(s.actions[10].player, "Carol");
  EXPECT_EQ(s.actions[10].weapon, "Rocket Launcher");
  EXPECT_EQ(s.actions[11].killer, "admin");
  EXPECT_EQ(s.actions[14].reason, 1);
  EXPECT_EQ(s.actions[15].reason, 0);
  EXPECT_EQ(s.actions[16].verb, Verb::kDisconnect);
  EXPECT_EQ(s.actions[16].reason, 5);
  EXPECT_EQ(s.endMs, 12000u);
  EXPECT_EQ(s.lengthMs(), 12000u);
}

// "key KEY" may follow the name or the id; a name may itself be "key".
TEST(ScenarioParseTest, JoinsAndOnlinePlayersTakeAKey) {
  Scenario s = parseOk(
      "online Ann key k-1\nonline Bo 7 key k-1\nonline key\nonline key key key\n"
      "1 join Cy 9 key " +
      std::string(kMaxKeyBytes, 'x') + "\n2 join Dan key 12\n3 join Eve\n");
  const std::vector<OnlinePlayer>& online = s.settings.online;
  ASSERT_EQ(online.size(), 4u);
  EXPECT_EQ(online[0].key, "k-1");
  EXPECT_FALSE(online[0].id);
  EXPECT_EQ(online[1].id, 7);
  EXPECT_EQ(online[1].key, "k-1");
  EXPECT_EQ(online[2].name, "key");
  EXPECT_FALSE(online[2].key);
  EXPECT_EQ(online[3].key, "key");
  ASSERT_EQ(s.actions.size(), 3u);
  EXPECT_EQ(s.actions[0].id, 9);
  EXPECT_EQ(s.actions[0].key, std::string(kMaxKeyBytes, 'x'));
  EXPECT_EQ(s.actions[1].key, "12") << "a key may look like a number";
  EXPECT_FALSE(s.actions[1].id);
  EXPECT_FALSE(s.actions[2].key);

  EXPECT_EQ(parseError("online Ann key"), "s.txt:1: key needs a word after it");
  EXPECT_EQ(parseError("1 join Ann 3 key"), "s.txt:1: key needs a word after it");
  EXPECT_EQ(parseError("1 join Ann key a b"), "s.txt:1: unexpected 'b' after join");
  EXPECT_EQ(parseError("online Ann key a 3"), "s.txt:1: unexpected '3' after online");
  EXPECT_EQ(parseError("1 join Ann 3 kee x"), "s.txt:1: unexpected 'kee' after join");
  EXPECT_EQ(parseError("1 join Ann KEY x"), "s.txt:1: bad player id 'KEY' (0 to 255)");
  EXPECT_EQ(parseError("1 join Ann key " + std::string(kMaxKeyBytes + 1, 'x')),
            "s.txt:1: key '" + std::string(kMaxKeyBytes + 1, 'x') + "' is longer than 63 bytes");
  EXPECT_EQ(parseError("online Ann key a\x01"), "s.txt:1: key holds a control character");
}

TEST(ScenarioParseTest, CrlfLinesEmptyFilesAndLengthWithoutEnd) {
  Scenario s = parseOk("online Bob\r\n3 chat Bob hi\r\n");
  ASSERT_EQ(s.actions.size(), 1u);
  EXPECT_EQ(s.actions[0].text, "hi");
  EXPECT_EQ(s.lengthMs(), 3000u) << "the last line ends the round";
  EXPECT_TRUE(parseOk("").actions.empty());
  EXPECT_EQ(parseOk("# only\n\n").lengthMs(), 0u);
}

TEST(ScenarioParseTest, ErrorsNameTheFileAndLine) {
  EXPECT_EQ(parseError("online Bob\n\n# c\n12 jion Bob\n"), "s.txt:4: unknown verb 'jion'");
  EXPECT_EQ(parseError("jion Bob"), "s.txt:1: expected a time or a setting, not 'jion'");
  EXPECT_EQ(parseError("1o join Bob"),
            "s.txt:1: bad time '1o' (seconds, or +seconds after the line before)");
  EXPECT_EQ(parseError("5 join A\n3 join B"), "s.txt:2: time 3 is earlier than the line before it");
  EXPECT_EQ(parseError("5"), "s.txt:1: a verb must follow the time");
  EXPECT_EQ(parseError("1 join"), "s.txt:1: join needs a player name");
  EXPECT_EQ(parseError("1 join Bob 300"), "s.txt:1: bad player id '300' (0 to 255)");
  EXPECT_EQ(parseError("1 join Bob 3 extra"), "s.txt:1: unexpected 'extra' after join");
  EXPECT_EQ(parseError("1 join admin"),
            "s.txt:1: 'admin' names the admin and cannot be a player's name");
  EXPECT_EQ(parseError("1 join SixteenCharsLong"),
            "s.txt:1: player name 'SixteenCharsLong' is longer than 15 bytes");
  EXPECT_EQ(parseError("1 chat Bob"), "s.txt:1: chat needs a text after the player's name");
  EXPECT_EQ(parseError("1 drive Bob 101"),
            "s.txt:1: drive needs a vehicle id from 1 to 100, not '101'");
  EXPECT_EQ(parseError("1 walk Bob health x"), "s.txt:1: bad health 'x'");
  EXPECT_EQ(parseError("1 walk Bob health nan"), "s.txt:1: bad health 'nan'");
  EXPECT_EQ(parseError("1 walk Bob at 1 2"), "s.txt:1: 'at' needs three numbers x y z");
  EXPECT_EQ(parseError("1 walk Bob at 1 2 inf"), "s.txt:1: bad coordinate 'inf'");
  EXPECT_EQ(parseError("1 walk Bob speed 3"),
            "s.txt:1: unexpected 'speed' (expected 'health H' or 'at X Y Z')");
  EXPECT_EQ(parseError("1 walk Bob health 1 health 2"),
            "s.txt:1: unexpected 'health' (expected 'health H' or 'at X Y Z')");
  EXPECT_EQ(parseError("1 quit Bob angry"),
            "s.txt:1: bad quit reason 'angry' (left, kicked, timeout or a code from 0 to 255)");
  EXPECT_EQ(parseError("1 kill Bob Ann"), "s.txt:1: kill needs a weapon after the victim");
  EXPECT_EQ(parseError("1 disconnect"), "s.txt:1: disconnect needs a reason code from 0 to 255");
  EXPECT_EQ(parseError("1 end\n2 chat Bob hi"), "s.txt:2: nothing may follow the end line");
  EXPECT_EQ(parseError("game 2\ngame 1"), "s.txt:2: game is set twice");
  EXPECT_EQ(parseError("mode x"), "s.txt:1: mode needs a number from 0 to 255, not 'x'");
  EXPECT_EQ(parseError("max-players 0"),
            "s.txt:1: max-players needs a number from 1 to 255, not '0'");
  EXPECT_EQ(parseError("server-name " + std::string(50, 'n')),
            "s.txt:1: server-name is longer than 49 bytes");
  EXPECT_EQ(parseError("-1 join Bob"), "s.txt:1: expected a time or a setting, not '-1'");
}

TEST(ScenarioCheckTest, ResolvesWeaponsForTheGame) {
  Scenario s = parseOk(
      "online Ann\nonline Bo\n"
      "1 kill Bo Ann rocket launcher\n2 kill Ann Ann 200\n3 drown Ann\n4 die Bo Explosion\n");
  std::string error;
  ASSERT_TRUE(checkScenario(s, 2, 1, &error)) << error;
  EXPECT_EQ(s.actions[0].weaponId, 30);
  EXPECT_EQ(s.actions[1].weaponId, 200) << "numbers go out as written";
  EXPECT_EQ(s.actions[2].weaponId, 43);
  EXPECT_EQ(s.actions[3].weaponId, 41);

  Scenario game1 = parseOk("online Ann\n1 drown Ann\n2 die Ann Explosion\n");
  ASSERT_TRUE(checkScenario(game1, 1, 1, &error)) << error;
  EXPECT_EQ(game1.actions[0].weaponId, 20);
  EXPECT_EQ(game1.actions[1].weaponId, 18);
}

TEST(ScenarioCheckTest, ErrorsNameTheLine) {
  EXPECT_EQ(checkError("online Ann\n\n1 drive Ann 81\n"),
            "s.txt:3: vehicle 81 is not in the roster of game 2 mode 1 (1 to 80)");
  EXPECT_EQ(checkError("online Ann\n1 ride Ann 49\n", 1, 2),
            "s.txt:2: vehicle 49 is not in the roster of game 1 mode 2 (1 to 48)");
  EXPECT_EQ(checkError("online Ann\n1 kill Ann Ann M4\n", 1, 1),
            "s.txt:2: unknown weapon 'M4' for game 1");
  EXPECT_EQ(checkError("online Ann\n1 kill Ann Ann 256\n"),
            "s.txt:2: weapon number 256 is not 0 to 255");
  EXPECT_EQ(checkError("1 chat Bbo hi\n"),
            "s.txt:1: no player 'Bbo' is on the server at this point");
  EXPECT_EQ(checkError("online Ann\n1 quit Ann\n2 walk Ann\n"),
            "s.txt:3: no player 'Ann' is on the server at this point");
  EXPECT_EQ(checkError("online Ann\n1 kill Bob Ann M4\n"),
            "s.txt:2: no player 'Bob' is on the server at this point");
  EXPECT_EQ(checkError("online Ann\n1 join Ann\n"),
            "s.txt:2: Ann is already on the server at this point");
  EXPECT_EQ(checkError("online Ann 4\n1 join Bob 4\n"),
            "s.txt:2: id 4 is taken by Ann at this point");
  EXPECT_EQ(checkError("online Ann\nonline Ann\n"), "s.txt:2: Ann is listed online twice");
}

TEST(ScenarioCheckTest, RejoinAfterQuitAndAdminKillsAreFine) {
  Scenario s =
      parseOk("online Ann 4\n1 quit Ann\n2 join Ann 4\n3 kill admin Ann 0\n4 drive Ann 100\n");
  std::string error;
  EXPECT_TRUE(checkScenario(s, 3, 0, &error)) << "no roster: any vehicle 1 to 100; " << error;
}

TEST(ScenarioCheckTest, TheDemoIsValidForItsGame) {
  std::string error;
  std::optional<Scenario> demo = parseScenario(demoScenarioText(), "demo", &error);
  ASSERT_TRUE(demo) << error;
  EXPECT_EQ(demo->settings.game, 2);
  EXPECT_EQ(demo->settings.mode, 1);
  EXPECT_TRUE(checkScenario(*demo, 2, 1, &error)) << error;
  EXPECT_GT(demo->actions.size(), 30u);
  EXPECT_TRUE(demo->endMs);
}

TEST(ScenarioParseTest, ArbitraryBytesGiveAScenarioOrALineError) {
  // Words the grammar knows, so that many inputs get deep into a line.
  const char* words[] = {"join", "chat", "kill",   "walk",       "drive", "at",    "health",
                         "+1",   "2.5",  "online", "game",       "end",   "admin", "#",
                         "\r",   "\n",   "\t",     " ",          "\0",    "\xff",  "1e400",
                         "-0",   "nan",  "Bob",    "99999999999"};
  std::mt19937 random(1234);
  for (int round = 0; round < 5000; ++round) {
    std::string text;
    int pieces = static_cast<int>(random() % 24);
    for (int i = 0; i < pieces; ++i) {
      if (random() % 4 == 0) {
        text.push_back(static_cast<char>(random() % 256));
      } else {
        text += words[random() % (sizeof(words) / sizeof(words[0]))];
        text.push_back(random() % 3 == 0 ? '\n' : ' ');
      }
    }
    std::string error;
    std::optional<Scenario> scenario = parseScenario(text, "f", &error);
    if (!scenario) {
      EXPECT_EQ(error.rfind("f:", 0), 0u) << error;
      continue;
    }
    checkScenario(*scenario, 2, 1, &error);
  }
}

}  // namespace
}  // namespace gsadmin::sim
