#include "app/command_line.h"

#include <gtest/gtest.h>

#include "base/defaults.h"

namespace gsadmin {
namespace {

TEST(CommandLineTest, PortConvertsLikeAtoiAndKeepsLow16Bits) {
  EXPECT_EQ(parsePort("4003"), 4003);
  EXPECT_EQ(parsePort("4003abc"), 4003);
  EXPECT_EQ(parsePort("70000"), 4464);
  EXPECT_EQ(parsePort("-1"), 65535);
  EXPECT_EQ(parsePort("  +80"), 80);
  EXPECT_EQ(parsePort("0"), 0);
  EXPECT_EQ(parsePort("65536"), 0);
  EXPECT_EQ(parsePort("letters"), 0);
  EXPECT_EQ(parsePort(""), 0);
  EXPECT_EQ(parsePort("- 5"), 0);
  // Far beyond any integer type: still defined, the low 16 bits of the value.
  EXPECT_EQ(parsePort("100000000000000000000000065537"), 1);
}

TEST(CommandLineTest, FewerThanFourArgumentsGiveAllDefaults) {
  char program[] = "gsadmin", ip[] = "10.0.0.1", port[] = "5000", name[] = "x";
  char* argv[] = {program, ip, port, name, nullptr};
  std::optional<SessionSettings> settings = parseCommandLine(4, argv);
  ASSERT_TRUE(settings);
  EXPECT_EQ(settings->serverIP, defaults::kServerAddress);
  EXPECT_EQ(settings->serverPort, defaults::kAdminPort);
  EXPECT_EQ(settings->adminName, defaults::kAdminName);
  EXPECT_EQ(settings->adminPassword, defaults::kAdminPassword);
}

TEST(CommandLineTest, FourArgumentsAreTakenAndThePasswordHidden) {
  char program[] = "gsadmin", ip[] = "host.example", port[] = "5000x", name[] = "Boss",
       password[] = "secret";
  char* argv[] = {program, ip, port, name, password, nullptr};
  std::optional<SessionSettings> settings = parseCommandLine(5, argv);
  ASSERT_TRUE(settings);
  EXPECT_EQ(settings->serverIP, "host.example");
  EXPECT_EQ(settings->serverPort, 5000);
  EXPECT_EQ(settings->adminName, "Boss");
  hidePasswordArgument(5, argv);
  EXPECT_EQ(settings->adminPassword, "secret");
  EXPECT_EQ(password[0], '\0');
  EXPECT_EQ(password[5], '\0');
}

TEST(CommandLineTest, PortZeroRefusesTheCommandLine) {
  char program[] = "gsadmin", ip[] = "1.2.3.4", port[] = "65536", name[] = "a", password[] = "b";
  char* argv[] = {program, ip, port, name, password, nullptr};
  EXPECT_FALSE(parseCommandLine(5, argv));
}

TEST(CommandLineTest, PlainPortsAndServerAddresses) {
  EXPECT_EQ(parsePlainPort("1"), 1);
  EXPECT_EQ(parsePlainPort("65535"), 65535);
  EXPECT_EQ(parsePlainPort("04003"), 4003);
  for (const char* text : {"", "0", "65536", "99999999999", "+80", "-1", " 80", "80 ", "4003abc"}) {
    EXPECT_FALSE(parsePlainPort(text)) << text;
  }
  std::optional<ServerAddress> server = parseServerAddress("game.example:4003");
  ASSERT_TRUE(server);
  EXPECT_EQ(server->host, "game.example");
  EXPECT_EQ(server->port, 4003);
  for (const char* text : {"host", "host:", ":4003", "host:0", "a:b:4003", "[::1]:4003", "h:x"}) {
    EXPECT_FALSE(parseServerAddress(text)) << text;
  }
}

TEST(CommandLineTest, WithThePasswordFromAFileThreeArgumentsAreEnough) {
  char program[] = "gsadmin", ip[] = "10.0.0.1", port[] = "5000", name[] = "Warden";
  char* argv[] = {program, ip, port, name, nullptr};
  std::optional<SessionSettings> settings =
      parseCommandLine(4, argv, PositionalForm::kWithoutPassword);
  ASSERT_TRUE(settings);
  EXPECT_EQ(settings->serverIP, "10.0.0.1");
  EXPECT_EQ(settings->serverPort, 5000);
  EXPECT_EQ(settings->adminName, "Warden");
  EXPECT_EQ(settings->adminPassword, defaults::kAdminPassword);  // until the file replaces it
  // Fewer still: the defaults, as without a file.
  settings = parseCommandLine(3, argv, PositionalForm::kWithoutPassword);
  ASSERT_TRUE(settings);
  EXPECT_EQ(settings->serverIP, defaults::kServerAddress);
}

TEST(CommandLineTest, APortNotWrittenPlainlyIsUsedWithAWarning) {
  const struct {
    const char* port;
    std::string warning;
  } cases[] = {
      {"4003", ""},
      {"4003abc",
       "gsadmin: warning: port '4003abc' is not a number from 1 to 65535; using port 4003"},
      {"-1", "gsadmin: warning: port '-1' is not a number from 1 to 65535; using port 65535"},
      {"0", ""},  // refused with the usage instead
  };
  for (const auto& c : cases) {
    char program[] = "gsadmin", ip[] = "h", name[] = "n", password[] = "p";
    std::string port = c.port;
    char* argv[] = {program, ip, port.data(), name, password, nullptr};
    std::string warning;
    parseCommandLine(5, argv, PositionalForm::kWithPassword, &warning);
    EXPECT_EQ(warning, c.warning) << c.port;
  }
}

}  // namespace
}  // namespace gsadmin
