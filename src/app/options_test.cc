#include "app/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/defaults.h"

namespace gsadmin {
namespace {

ParsedOptions parse(std::vector<std::string> args) {
  args.insert(args.begin(), "gsadmin");
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  return parseOptions(static_cast<int>(args.size()), argv.data());
}

TEST(OptionsTest, OptionsAnywhereBothValueFormsAndPositionalsInOrder) {
  const struct {
    std::vector<std::string> args;
    uint64_t budget;
    uint64_t memory;
    std::vector<int> positional;
  } cases[] = {
      {{}, 5000, 512, {}},
      {{"--script-budget=250"}, 250, 512, {}},
      {{"--script-budget", "0", "--script-memory=64"}, 0, 64, {}},
      {{"h", "--script-memory", "8", "-1", "n", "p"}, 5000, 8, {1, 4, 5, 6}},
      // A port of -1 is positional; after "--" so is everything.
      {{"h", "-1", "--", "--help", "p"}, 5000, 512, {1, 2, 4, 5}},
  };
  for (const auto& c : cases) {
    ParsedOptions parsed = parse(c.args);
    EXPECT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.options.scriptBudgetMs, c.budget);
    EXPECT_EQ(parsed.options.scriptMemoryMiB, c.memory);
    EXPECT_EQ(parsed.options.positional, c.positional);
    EXPECT_FALSE(parsed.options.help);
  }
  EXPECT_TRUE(parse({"a", "--help"}).options.help);
  EXPECT_TRUE(parse({"--version"}).options.version);
}

TEST(OptionsTest, RequestOptionsTakeCheckedPrefixesAndATimeout) {
  ParsedOptions none = parse({});
  EXPECT_TRUE(none.options.allowUrls.empty());
  EXPECT_EQ(none.options.httpTimeoutSeconds, 10u);
  EXPECT_FALSE(none.options.caFile);
  ParsedOptions all = parse({"--allow-url=https://chat.example/hooks/", "--allow-url",
                             "http://127.0.0.1:8080/", "--http-timeout=3", "--ca-file=ca.pem"});
  EXPECT_EQ(all.error, "");
  EXPECT_EQ(all.options.allowUrls,
            (std::vector<std::string>{"https://chat.example/hooks/", "http://127.0.0.1:8080/"}));
  EXPECT_EQ(all.options.httpTimeoutSeconds, 3u);
  EXPECT_EQ(all.options.caFile, "ca.pem");
  const std::string needsUrl =
      " needs an http:// or https:// URL without user@, %2F, %5C or a segment starting with ..";
  for (const char* bad : {"--allow-url=ftp://h/", "--allow-url=http://u@h/", "--allow-url=",
                          "--allow-url=http://h/a/..;/", "--allow-url=http://h/a%2fb/"}) {
    EXPECT_EQ(parse({bad}).error, "gsadmin: --allow-url" + needsUrl) << bad;
  }
  for (const char* bad : {"--http-timeout=0", "--http-timeout=3601"}) {
    EXPECT_EQ(parse({bad}).error,
              "gsadmin: --http-timeout needs a number of seconds from 1 to 3600")
        << bad;
  }
}

TEST(OptionsTest, ConsoleOptions) {
  ParsedOptions none = parse({"h", "1", "n", "p"});
  EXPECT_TRUE(none.options.scriptPaths.empty());
  EXPECT_FALSE(none.options.databasePath || none.options.passwordFile);
  EXPECT_FALSE(none.options.timestamps || none.options.noInput || none.options.exitOnEof);

  ParsedOptions all = parse({"--script=bots/a.lua", "h", "--db", "x.db", "--password-file", "pw",
                             "--timestamps", "--no-input", "--exit-on-eof", "1"});
  EXPECT_EQ(all.error, "");
  EXPECT_EQ(all.options.scriptPaths, (std::vector<std::string>{"bots/a.lua"}));
  EXPECT_EQ(all.options.databasePath, "x.db");
  EXPECT_EQ(all.options.passwordFile, "pw");
  EXPECT_TRUE(all.options.timestamps && all.options.noInput && all.options.exitOnEof);
  EXPECT_EQ(all.options.positional, (std::vector<int>{2, 10}));
  EXPECT_EQ(none.options.connectTimeoutSeconds, 10u);
  EXPECT_EQ(parse({"--connect-timeout=0"}).options.connectTimeoutSeconds, 0u);
  EXPECT_EQ(parse({"--connect-timeout", "3"}).options.connectTimeoutSeconds, 3u);
  // A value that looks like an option is still the value.
  EXPECT_EQ(parse({"--script", "--odd.lua"}).options.scriptPaths,
            (std::vector<std::string>{"--odd.lua"}));
  // --script may be given again; each path is kept, in order.
  EXPECT_EQ(parse({"--script=a.lua", "--script", "bots", "--script=c.lua"}).options.scriptPaths,
            (std::vector<std::string>{"a.lua", "bots", "c.lua"}));
  Options fromConfig;
  fromConfig.scriptPaths = {"config.lua"};
  EXPECT_EQ(parseOptions(0, nullptr, fromConfig).options.scriptPaths,
            (std::vector<std::string>{"config.lua"}));
}

constexpr char kKeepNeeds[] =
    "gsadmin: --keep needs a list such as chat:90d,visits:90d,kills:30d,reports:1y (0: for good; "
    "the audit and the sanctions are always kept)";

TEST(OptionsTest, BadOptionsGiveOneLine) {
  const struct {
    std::vector<std::string> args;
    std::string error;
  } cases[] = {
      {{"--x"}, "gsadmin: unknown option '--x'"},
      {{"--x=1"}, "gsadmin: unknown option '--x'"},
      {{"--script-budget"}, "gsadmin: --script-budget needs a number of milliseconds"},
      {{"--script-budget="}, "gsadmin: --script-budget needs a number of milliseconds"},
      {{"--script-budget=-5"}, "gsadmin: --script-budget needs a number of milliseconds"},
      {{"--script-budget", "1e3"}, "gsadmin: --script-budget needs a number of milliseconds"},
      {{"--script-budget=99999999999"}, "gsadmin: --script-budget needs a number of milliseconds"},
      {{"--script-memory=lots"}, "gsadmin: --script-memory needs a number of mebibytes"},
      {{"--help=yes"}, "gsadmin: --help takes no value"},
      {{"--no-input=1"}, "gsadmin: --no-input takes no value"},
      {{"--script"}, "gsadmin: --script needs a file or directory name"},
      {{"--script="}, "gsadmin: --script needs a file or directory name"},
      {{"--db="}, "gsadmin: --db needs a file name"},
      {{"--password-file"}, "gsadmin: --password-file needs a file name"},
      {{"--connect-timeout=1.5"}, "gsadmin: --connect-timeout needs a number of seconds"},
      {{"--connect-timeout=86401"}, "gsadmin: --connect-timeout needs a number of seconds"},
      {{"--server=host"}, "gsadmin: --server needs HOST:PORT with a port from 1 to 65535"},
      {{"--server", "host:0"}, "gsadmin: --server needs HOST:PORT with a port from 1 to 65535"},
      {{"--server=host:7777x"}, "gsadmin: --server needs HOST:PORT with a port from 1 to 65535"},
      {{"--server=:7777"}, "gsadmin: --server needs HOST:PORT with a port from 1 to 65535"},
      {{"--name"}, "gsadmin: --name needs a name"},
      {{"--config="}, "gsadmin: --config needs a file name"},
      {{"--log-format=xml"}, "gsadmin: --log-format needs text or json"},
      {{"--keep=audit:1y"}, kKeepNeeds},
      {{"--keep=chat:30d,sanctions:1y"}, kKeepNeeds},
      {{"--keep=chat"}, kKeepNeeds},
      {{"--require-totp=0"}, "gsadmin: --require-totp needs a level from 1 to 4"},
      {{"--require-totp=5"}, "gsadmin: --require-totp needs a level from 1 to 4"},
      {{"--enroll-totp="}, "gsadmin: --enroll-totp needs an account's name"},
  };
  for (const auto& c : cases) EXPECT_EQ(parse(c.args).error, c.error) << c.args[0];
}

TEST(OptionsTest, ConnectionOptionsAndABaseTheCommandLineGoesOver) {
  ParsedOptions parsed =
      parse({"--server", "game.example:7777", "--name=Warden", "--config=a.conf"});
  EXPECT_EQ(parsed.error, "");
  EXPECT_EQ(parsed.options.server, "game.example:7777");
  EXPECT_EQ(parsed.options.adminName, "Warden");
  EXPECT_EQ(parsed.options.configPath, "a.conf");

  Options base;
  base.adminName = "FromFile";
  base.timestamps = true;
  base.positional = {7};
  std::vector<std::string> args = {"gsadmin", "--name=FromCommandLine", "h"};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  parsed = parseOptions(3, argv.data(), base);
  EXPECT_EQ(parsed.options.adminName, "FromCommandLine");
  EXPECT_TRUE(parsed.options.timestamps);
  EXPECT_EQ(parsed.options.positional, std::vector<int>{2});
}

TEST(OptionsTest, FlagWordsAreForConfigurationFilesOnly) {
  Options options;
  EXPECT_EQ(setOption("timestamps", "true", true, options), "");
  EXPECT_TRUE(options.timestamps);
  EXPECT_EQ(setOption("timestamps", "false", true, options), "");
  EXPECT_FALSE(options.timestamps);
  EXPECT_EQ(setOption("timestamps", std::nullopt, true, options), "");
  EXPECT_TRUE(options.timestamps);
  EXPECT_EQ(setOption("timestamps", "yes", true, options), "takes true or false");
  EXPECT_EQ(setOption("timestamps", "true", false, options), "takes no value");
  EXPECT_TRUE(isOption("server") && !isFlagOption("server") && isFlagOption("no-input"));
  EXPECT_FALSE(isOption("nope"));
}

TEST(OptionsTest, ServerAndOperatorNamesAreShortAndPrintable) {
  const char kNeeds[] = " needs a name of at most 64 bytes without control characters";
  const struct {
    std::string value;
    std::string error;
  } cases[] = {
      {"arena", ""},
      {"EU CTF #2 (\xC3\xA9t\xC3\xA9)", ""},
      {std::string(64, 'x'), ""},
      {std::string(65, 'x'), kNeeds},
      {"tab\there", kNeeds},
      {"\x1b[2Jclear", kNeeds},
      {"", kNeeds},
  };
  for (const std::string option : {"server-name", "operator"}) {
    for (const auto& c : cases) {
      ParsedOptions parsed = parse({"--" + option + "=" + c.value});
      EXPECT_EQ(parsed.error, c.error.empty() ? "" : "gsadmin: --" + option + c.error) << c.value;
      if (c.error.empty()) {
        const Options& o = parsed.options;
        EXPECT_EQ(option == "operator" ? o.operatorName : o.serverName, c.value);
      }
    }
  }
  EXPECT_NE(usageText().find("--server-name=NAME"), std::string::npos);
  EXPECT_NE(usageText().find("(default ADDRESS:PORT)"), std::string::npos);
  EXPECT_NE(usageText().find("--operator=NAME"), std::string::npos);
}

// A ban message says the appeal address: one line of a bounded frame, an
// http(s) address without blanks; the reports' cooldown is a duration.
TEST(OptionsTest, AppealUrlAndReportCooldownAreChecked) {
  const char kUrlNeeds[] =
      "gsadmin: --appeal-url needs an http:// or https:// URL of at most 200 bytes without blanks";
  const char kProxiesNeed[] =
      "gsadmin: --public-trusted-proxy needs IPv4 or IPv6 addresses, comma-separated, at most 16";
  const struct {
    std::vector<std::string> args;
    std::string error;
  } cases[] = {
      {{"--appeal-url=https://example.org/appeal?id=1"}, ""},
      {{"--appeal-url=ftp://example.org/"}, kUrlNeeds},
      {{"--appeal-url=https://example.org/a b"}, kUrlNeeds},
      {{"--appeal-url=https://example.org/\x1b[2J"}, kUrlNeeds},
      {{"--appeal-url=https://example.org/" + std::string(200, 'x')}, kUrlNeeds},
      {{"--report-cooldown=90s"}, ""},
      {{"--public-trusted-proxy=127.0.0.1,::1"}, ""},
      {{"--public-trusted-proxy=proxy.example.org"}, kProxiesNeed},
      {{"--public-trusted-proxy=10.0.0.1:8080"}, kProxiesNeed},
      {{"--public-trusted-proxy="}, kProxiesNeed},
      {{"--report-cooldown=soon"},
       "gsadmin: --report-cooldown needs a duration such as 30m, 12h, 7d or 1d12h (at most 10 "
       "years)"},
  };
  for (const auto& c : cases) EXPECT_EQ(parse(c.args).error, c.error) << c.args[0];
  EXPECT_EQ(parse({"--appeal-url=https://example.org/appeal"}).options.appealUrl,
            "https://example.org/appeal");
  EXPECT_NE(usageText().find("--report-cooldown=DURATION"), std::string::npos);
  EXPECT_NE(usageText().find("--appeal-url=URL"), std::string::npos);
}

TEST(OptionsTest, UsageListsEveryOptionWithItsDefault) {
  std::string usage = usageText();
  for (const char* text : {"--script-budget=MS",
                           "(default 5000)",
                           "--script-memory=MIB",
                           "(default 512)",
                           "--help",
                           "--version",
                           "<IP> <port>",
                           "--script=PATH",
                           "--db=PATH",
                           "--password-file=PATH",
                           "--timestamps",
                           "--no-input",
                           "--exit-on-eof",
                           "(default script.lua)",
                           "--server=HOST:PORT",
                           "--name=NAME",
                           "--config=FILE",
                           "<IP> <port> <username>,",
                           "--connect-timeout=SECONDS",
                           "(default 10)"}) {
    EXPECT_NE(usage.find(text), std::string::npos) << text;
  }
  const std::string defaultsLine = std::string("(") + defaults::kServerAddress + ", port " +
                                   std::to_string(defaults::kAdminPort) + ",\nadmin " +
                                   defaults::kAdminName + " and the built-in password)";
  EXPECT_NE(usage.find(defaultsLine), std::string::npos) << defaultsLine;
}

}  // namespace
}  // namespace gsadmin
