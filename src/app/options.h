#ifndef GSADMIN_APP_OPTIONS_H_
#define GSADMIN_APP_OPTIONS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "script/lua_limits.h"

namespace gsadmin {

// What the options on the command line asked for, and the arguments that
// are not options, in their order.
struct Options {
  bool help = false;
  bool version = false;
  // The script's default limits, in the options' units.
  uint64_t scriptBudgetMs = ScriptLimits{}.budgetMs;
  uint64_t scriptMemoryMiB = ScriptLimits{}.memoryBytes / (1024 * 1024);
  std::vector<std::string> scriptPaths;     // --script, each in order
  std::optional<std::string> databasePath;  // --db
  std::optional<std::string> journalPath;   // --journal
  std::optional<std::string> passwordFile;  // --password-file
  std::optional<std::string> server;        // --server, HOST:PORT as checked
  std::optional<std::string> adminName;     // --name
  std::optional<std::string> configPath;    // --config
  // --db-password-file: with a postgresql:// URI in databasePath.
  std::optional<std::string> databasePasswordFile;
  bool timestamps = false;
  std::optional<std::string> logFormat;  // --log-format: "text" or "json"
  std::optional<std::string> logFile;    // --log-file
  bool noInput = false;
  bool exitOnEof = false;
  // With exitOnEof: seconds to wait for the server to accept the login.
  uint64_t connectTimeoutSeconds = 10;
  // The built-in moderation (see ModerationSettings).
  bool noModeration = false;
  bool trustNames = false;
  uint64_t historyDays = 90;
  std::optional<std::string> keep;  // --keep, a list as checked
  uint64_t warnKick = 3;
  uint64_t warnBan = 5;
  std::optional<std::string> warnBanTime;     // a duration, as checked
  std::optional<std::string> warnExpiry;      // a duration, as checked
  std::optional<std::string> reportCooldown;  // a duration, as checked
  std::optional<std::string> appealUrl;       // --appeal-url, as checked
  std::optional<std::string> serverName;      // --server-name
  std::optional<std::string> operatorName;    // --operator
  // The scripts' HTTP requests (see HttpSettings).
  std::vector<std::string> allowUrls;  // --allow-url, each as given
  uint64_t httpTimeoutSeconds = 10;
  std::optional<std::string> caFile;  // --ca-file
  // The web panel and the metrics (see PanelSettings); addresses as checked.
  std::optional<std::string> httpAddress;     // --http
  std::optional<std::string> httpCert;        // --http-cert
  std::optional<std::string> httpKey;         // --http-key
  std::optional<std::string> httpUsers;       // --http-users
  std::optional<std::string> metricsAddress;  // --metrics
  std::optional<std::string> publicAddress;   // --public
  std::optional<std::string> publicProxies;   // --public-trusted-proxy
  bool hashPassword = false;                  // --hash-password
  std::optional<std::string> enrollTotp;      // --enroll-totp: an account's name
  uint64_t requireTotp = 0;                   // --require-totp: a level; 0 not asked
  // The panel's API tokens (panel/api_tokens.h) and their commands.
  std::optional<std::string> httpTokens;    // --http-tokens
  bool revokeTokensOnChange = false;        // --revoke-tokens-on-change
  std::optional<std::string> newToken;      // --new-token: the account
  std::optional<std::string> tokenScope;    // --scope, as checked
  std::optional<std::string> tokenExpires;  // --expires: a duration or "never"
  std::optional<std::string> tokenName;     // --token-name, as checked
  bool listTokens = false;                  // --list-tokens
  std::optional<std::string> revokeToken;   // --revoke-token: the label
  // The moderation rules and the schedule (rules/rule_set.h, rules/schedule.h).
  std::optional<std::string> rulesPath;     // --rules
  std::optional<std::string> schedulePath;  // --schedule
  std::optional<std::string> replayPath;    // --replay: with --rules, a console log
  uint64_t nextCount = 0;                   // --next: with --schedule; 0 not asked
  std::optional<std::string> backup;        // --backup
  std::optional<std::string> restore;       // --restore
  bool verifyAudit = false;                 // --verify-audit
  std::optional<std::string> exportAudit;   // --export-audit
  // Indexes into argv of the positional arguments (argv[0] excluded).
  std::vector<int> positional;
};

// Outcome of parseOptions: the options, or the one error line to print.
struct ParsedOptions {
  Options options;
  std::string error;  // empty on success; no line break
};

// Takes the options out of argv[1..argc-1], over `base` (the defaults, or
// what a configuration file set). An argument that begins with "--" is an
// option, wherever it stands; "--" alone ends the options, and everything
// after it is positional. An option's value follows '=' or is the next
// argument. Anything else (also "-1") is positional.
ParsedOptions parseOptions(int argc, char** argv, Options base = {});

// Whether `name` (without "--") is an option, and whether it is a flag.
bool isOption(std::string_view name);
bool isFlagOption(std::string_view name);

// Sets the option `name` (known, without "--") in `options` from `value`,
// absent when none was given. A flag takes no value or, with
// `flagWords`, "true" or "false". Empty on success; otherwise the words that
// follow the option's name in its error line, e.g. "needs a file name".
std::string setOption(std::string_view name, std::optional<std::string_view> value, bool flagWords,
                      Options& options);

// "gsadmin <version> - remote admin console for game servers", no line break.
std::string bannerLine();

// The usage text: the positional arguments and every option with its
// default, ending in a line break.
std::string usageText();

}  // namespace gsadmin

#endif  // GSADMIN_APP_OPTIONS_H_
