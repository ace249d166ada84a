#include "app/config_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/client_process.h"

namespace gsadmin {
namespace {

TEST(ConfigFileTest, KeysAreLongOptionNames) {
  Options options;
  EXPECT_EQ(applyConfigText("# an arena\n"
                            "\n"
                            "server = 203.0.113.7:4003\r\n"
                            "  name=Warden  \n"
                            "password-file = /run/credentials/pw\n"
                            "timestamps\n"
                            "no-input = true\n"
                            "exit-on-eof = false\n"
                            "script-budget = 250",
                            options),
            "");
  EXPECT_EQ(options.server, "203.0.113.7:4003");
  EXPECT_EQ(options.adminName, "Warden");
  EXPECT_EQ(options.passwordFile, "/run/credentials/pw");
  EXPECT_TRUE(options.timestamps && options.noInput && !options.exitOnEof);
  EXPECT_EQ(options.scriptBudgetMs, 250u);
}

TEST(ConfigFileTest, TheFirstBadLineIsNamed) {
  const struct {
    std::string text;
    std::string error;
  } cases[] = {
      {"nope = 1", "1: unknown key 'nope'"},
      {"\n# x\n--name = a", "3: unknown key '--name'"},
      {"= 5", "1: unknown key ''"},
      {"name", "1: name needs a name"},
      {"name =", "1: name needs a name"},
      {"server = host", "1: server needs HOST:PORT with a port from 1 to 65535"},
      {"timestamps = yes", "1: timestamps takes true or false"},
      {"script-memory = lots", "1: script-memory needs a number of mebibytes"},
      {"config = other.conf", "1: 'config' cannot be set in a configuration file"},
      {"help", "1: 'help' cannot be set in a configuration file"},
      {"enroll-totp = alice", "1: 'enroll-totp' cannot be set in a configuration file"},
      {"require-totp = 5", "1: require-totp needs a level from 1 to 4"},
      {std::string("name = a\0b", 10), "1: a NUL byte in the line"},
  };
  for (const auto& c : cases) {
    Options options;
    EXPECT_EQ(applyConfigText(c.text, options), c.error) << c.text;
  }
}

TEST(ConfigFileTest, OnlyASmallRegularFileIsRead) {
  testing::TempDir dir;
  dir.write("ok.conf", "name = Warden\n");
  dir.write("big.conf", "# " + std::string(64 * 1024, 'x') + "\n");
  ASSERT_EQ(symlink((dir.path() + "/ok.conf").c_str(), (dir.path() + "/link.conf").c_str()), 0);
  ASSERT_EQ(mkfifo((dir.path() + "/fifo.conf").c_str(), 0600), 0);
  Options options;
  EXPECT_EQ(readConfigFile(dir.path() + "/ok.conf", options), "");
  EXPECT_EQ(options.adminName, "Warden");
  const struct {
    std::string name;
    std::string error;  // after the directory
  } cases[] = {
      {"big.conf", "/big.conf is larger than 65536 bytes"},
      {"link.conf", "/link.conf is a symbolic link"},
      {"fifo.conf", "/fifo.conf is not a regular file"},
      {"missing.conf", "cannot open " + dir.path() + "/missing.conf: No such file or directory"},
  };
  for (const auto& c : cases) {
    std::string error = readConfigFile(dir.path() + "/" + c.name, options);
    EXPECT_NE(error.find(c.error), std::string::npos) << error;
  }
  dir.write("bad.conf", "name = a\nnope\n");
  EXPECT_EQ(readConfigFile(dir.path() + "/bad.conf", options),
            dir.path() + "/bad.conf:2: unknown key 'nope'");
}

}  // namespace
}  // namespace gsadmin
