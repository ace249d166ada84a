#include "app/options.h"

#include <cctype>
#include <cstring>
#include <string_view>
#include <utility>

#include "app/command_line.h"
#include "base/durations.h"
#include "context/session_settings.h"
#include "moderation/retention.h"
#include "panel/listen_address.h"
#include "panel/trusted_proxies.h"
#include "requests/url_allow_list.h"
#include "script/script_manager.h"

namespace gsadmin {
namespace {

enum class ValueKind { kNone, kNumber, kText, kTextList };

// One row per option. An option with a value names what it is in
// `valueWords` (for the error line) and `valueName` (for the usage).
struct OptionRow {
  const char* name;  // without the leading "--"
  ValueKind kind;
  bool Options::*flag;
  uint64_t Options::*number;
  uint64_t maximum;
  std::optional<std::string> Options::*text;
  const char* valueName;
  const char* valueWords;
  std::string defaultText;  // empty: no default shown
  const char* help;
  // A text value's own check; null: any non-empty text.
  bool (*accepts)(std::string_view value) = nullptr;
  // kTextList: where each value is appended.
  std::vector<std::string> Options::*list = nullptr;
  // kNumber: the smallest value taken.
  uint64_t minimum = 0;
};

bool isServerAddress(std::string_view value) {
  return parseServerAddress(value).has_value();
}

bool isDuration(std::string_view value) {
  return parseDuration(value).has_value();
}

bool isUrlPrefix(std::string_view value) {
  return UrlAllowList().add(value).empty();
}

bool isRetentionList(std::string_view value) {
  return parseRetention(value, RetentionSettings()).has_value();
}

bool isTokenLabel(std::string_view value) {
  if (value.empty() || value.size() > 32) return false;
  for (char c : value) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '.' && c != '-') {
      return false;
    }
  }
  return true;
}

bool isTokenScopeWord(std::string_view value) {
  return value == "read" || value == "act" || value == "admin";
}

bool isExpiry(std::string_view value) {
  return value == "never" || isDuration(value);
}

bool isLogFormat(std::string_view value) {
  return value == "text" || value == "json";
}

bool isListenAddress(std::string_view value) {
  return parseListenAddress(value).has_value();
}

bool isProxyList(std::string_view value) {
  return TrustedProxies::parse(value).has_value();
}

// At most 64 bytes, none of them control characters: it is shown in lines.
bool isShownName(std::string_view value) {
  if (value.size() > 64) return false;
  for (char c : value) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
  }
  return true;
}

// An http:// or https:// address of at most 200 bytes of printable ASCII
// without blanks: it is said in every ban message, whose frame is bounded.
bool isAppealUrl(std::string_view value) {
  if (!value.starts_with("http://") && !value.starts_with("https://")) return false;
  if (value.size() > 200) return false;
  for (char c : value) {
    if (c <= 0x20 || c >= 0x7F) return false;
  }
  return true;
}

const char kListenWords[] = "ADDR:PORT with an IP address (IPv6 in brackets) and a port";

const char kDurationWords[] = "a duration such as 30m, 12h, 7d or 1d12h (at most 10 years)";

const OptionRow kOptions[] = {
    {"script", ValueKind::kTextList, nullptr, nullptr, 0, nullptr, "PATH",
     "a file or directory name", ScriptManager::kScriptFileName,
     "a script, or a directory's *.lua; may be given again", nullptr, &Options::scriptPaths},
    {"db", ValueKind::kText, nullptr, nullptr, 0, &Options::databasePath, "PATH", "a file name",
     "script.db beside the script", "the database: a SQLite file, or a postgresql:// URI"},
    {"journal", ValueKind::kText, nullptr, nullptr, 0, &Options::journalPath, "PATH", "a file name",
     "gsadmin-journal.db beside the script",
     "where records wait while a postgresql:// database is away"},
    {"db-password-file", ValueKind::kText, nullptr, nullptr, 0, &Options::databasePasswordFile,
     "PATH", "a file name", "", "read the database server's password from the file's first line"},
    {"password-file", ValueKind::kText, nullptr, nullptr, 0, &Options::passwordFile, "PATH",
     "a file name", "", "read the admin password from the file's first line"},
    {"server", ValueKind::kText, nullptr, nullptr, 0, &Options::server, "HOST:PORT",
     "HOST:PORT with a port from 1 to 65535", "", "the server and its admin port, over <IP> <port>",
     isServerAddress},
    {"name", ValueKind::kText, nullptr, nullptr, 0, &Options::adminName, "NAME", "a name", "",
     "the admin name, over <username>"},
    {"config", ValueKind::kText, nullptr, nullptr, 0, &Options::configPath, "FILE", "a file name",
     "", "read options from FILE; the command line wins"},
    {"timestamps", ValueKind::kNone, &Options::timestamps, nullptr, 0, nullptr, nullptr, nullptr,
     "", "start every console line with the local time"},
    {"log-format", ValueKind::kText, nullptr, nullptr, 0, &Options::logFormat, "FORMAT",
     "text or json", "text", "json: every line, on both streams, as one JSON object", isLogFormat},
    {"log-file", ValueKind::kText, nullptr, nullptr, 0, &Options::logFile, "PATH", "a file name",
     "", "also append every line as JSON to PATH, reopened on SIGHUP"},
    {"no-input", ValueKind::kNone, &Options::noInput, nullptr, 0, nullptr, nullptr, nullptr, "",
     "never read standard input"},
    {"exit-on-eof", ValueKind::kNone, &Options::exitOnEof, nullptr, 0, nullptr, nullptr, nullptr,
     "", "end once standard input is done"},
    {"connect-timeout", ValueKind::kNumber, nullptr, &Options::connectTimeoutSeconds, 86400u,
     nullptr, "SECONDS", "a number of seconds", std::to_string(Options{}.connectTimeoutSeconds),
     "with --exit-on-eof: give up unless logged in by then, 0: never"},
    {"script-budget", ValueKind::kNumber, nullptr, &Options::scriptBudgetMs, 2147483647u, nullptr,
     "MS", "a number of milliseconds", std::to_string(Options{}.scriptBudgetMs),
     "time limit of one script call, 0: none"},
    {"script-memory", ValueKind::kNumber, nullptr, &Options::scriptMemoryMiB, 1048576u, nullptr,
     "MIB", "a number of mebibytes", std::to_string(Options{}.scriptMemoryMiB),
     "memory limit of each script, 0: none"},
    {"no-moderation", ValueKind::kNone, &Options::noModeration, nullptr, 0, nullptr, nullptr,
     nullptr, "", "record nothing, enforce nothing: no history, bans or admins in game"},
    {"history-days", ValueKind::kNumber, nullptr, &Options::historyDays, 36500u, nullptr, "N",
     "a number of days", std::to_string(Options{}.historyDays),
     "delete chat, kills and visits older than N days, 0: keep them"},
    {"keep", ValueKind::kText, nullptr, nullptr, 0, &Options::keep, "KIND:TIME,...",
     "a list such as chat:90d,visits:90d,kills:30d,reports:1y (0: for good; the audit and the "
     "sanctions are always kept)",
     "", "how long each kind of record is kept, over --history-days", isRetentionList},
    {"warn-kick", ValueKind::kNumber, nullptr, &Options::warnKick, 1000u, nullptr, "N",
     "a number of warnings", std::to_string(Options{}.warnKick),
     "kick at N active warnings, 0: never"},
    {"warn-ban", ValueKind::kNumber, nullptr, &Options::warnBan, 1000u, nullptr, "N",
     "a number of warnings", std::to_string(Options{}.warnBan),
     "ban at N active warnings, 0: never"},
    {"warn-ban-time", ValueKind::kText, nullptr, nullptr, 0, &Options::warnBanTime, "DURATION",
     kDurationWords, "1d", "how long --warn-ban bans", isDuration},
    {"warn-expiry", ValueKind::kText, nullptr, nullptr, 0, &Options::warnExpiry, "DURATION",
     kDurationWords, "7d", "how long a warning counts", isDuration},
    {"report-cooldown", ValueKind::kText, nullptr, nullptr, 0, &Options::reportCooldown, "DURATION",
     kDurationWords, "1m", "how often a player may !report", isDuration},
    {"appeal-url", ValueKind::kText, nullptr, nullptr, 0, &Options::appealUrl, "URL",
     "an http:// or https:// URL of at most 200 bytes without blanks", "",
     "said in every ban message: where to appeal", isAppealUrl},
    {"server-name", ValueKind::kText, nullptr, nullptr, 0, &Options::serverName, "NAME",
     "a name of at most 64 bytes without control characters", "ADDRESS:PORT",
     "this server's name in the records, shared by several clients", isShownName},
    {"operator", ValueKind::kText, nullptr, nullptr, 0, &Options::operatorName, "NAME",
     "a name of at most 64 bytes without control characters", "the admin name",
     "who acts at the console, in the moderation's lines and audit", isShownName},
    {"trust-names", ValueKind::kNone, &Options::trustNames, nullptr, 0, nullptr, nullptr, nullptr,
     "", "let .admin add bind an admin to details that tell nobody apart (risky)"},
    {"allow-url", ValueKind::kTextList, nullptr, nullptr, 0, nullptr, "PREFIX",
     "an http:// or https:// URL without user@, %2F, %5C or a segment starting with ..", "",
     "let scripts' requests reach URLs under PREFIX; may be given again", isUrlPrefix,
     &Options::allowUrls},
    {"http-timeout", ValueKind::kNumber, nullptr, &Options::httpTimeoutSeconds, 3600u, nullptr,
     "SECONDS", "a number of seconds from 1 to 3600", std::to_string(Options{}.httpTimeoutSeconds),
     "time limit of one script's HTTP request", nullptr, nullptr, 1},
    {"ca-file", ValueKind::kText, nullptr, nullptr, 0, &Options::caFile, "FILE", "a file name",
     "the system's store", "verify HTTPS servers against the certificates in FILE"},
    {"http", ValueKind::kText, nullptr, nullptr, 0, &Options::httpAddress, "ADDR:PORT",
     kListenWords, "", "serve the web panel; HTTPS only off loopback", isListenAddress},
    {"http-cert", ValueKind::kText, nullptr, nullptr, 0, &Options::httpCert, "FILE", "a file name",
     "", "the panel's TLS certificate (PEM)"},
    {"http-key", ValueKind::kText, nullptr, nullptr, 0, &Options::httpKey, "FILE", "a file name",
     "", "the panel's TLS private key (PEM)"},
    {"http-users", ValueKind::kText, nullptr, nullptr, 0, &Options::httpUsers, "FILE",
     "a file name", "", "the panel's accounts: NAME ROLE HASH a line"},
    {"http-tokens", ValueKind::kText, nullptr, nullptr, 0, &Options::httpTokens, "FILE",
     "a file name", "FILE.tokens beside --http-users", "the panel's API tokens"},
    {"revoke-tokens-on-change", ValueKind::kNone, &Options::revokeTokensOnChange, nullptr, 0,
     nullptr, nullptr, nullptr, "",
     "a SIGHUP that finds an account's password, role or code secret changed revokes its tokens"},
    {"new-token", ValueKind::kText, nullptr, nullptr, 0, &Options::newToken, "ACCOUNT",
     "an account's name", "", "make an API token for ACCOUNT, print it once, exit", isTokenLabel},
    {"scope", ValueKind::kText, nullptr, nullptr, 0, &Options::tokenScope, "SCOPE",
     "read, act or admin", "read", "with --new-token: what the token may do", isTokenScopeWord},
    {"expires", ValueKind::kText, nullptr, nullptr, 0, &Options::tokenExpires, "DURATION",
     "a duration (90d) or never", "90d", "with --new-token: when the token ends", isExpiry},
    {"token-name", ValueKind::kText, nullptr, nullptr, 0, &Options::tokenName, "LABEL",
     "1 to 32 letters, digits or _.-", "a new label", "with --new-token: the token's label",
     isTokenLabel},
    {"list-tokens", ValueKind::kNone, &Options::listTokens, nullptr, 0, nullptr, nullptr, nullptr,
     "", "list the panel's API tokens, exit"},
    {"revoke-token", ValueKind::kText, nullptr, nullptr, 0, &Options::revokeToken, "LABEL",
     "1 to 32 letters, digits or _.-", "", "revoke the API token LABEL, exit", isTokenLabel},
    {"metrics", ValueKind::kText, nullptr, nullptr, 0, &Options::metricsAddress, "ADDR:PORT",
     kListenWords, "", "serve Prometheus metrics, unauthenticated, at ADDR:PORT", isListenAddress},
    {"public", ValueKind::kText, nullptr, nullptr, 0, &Options::publicAddress, "ADDRESS",
     kListenWords, "", "serve the public ban record and appeals; HTTPS only off loopback",
     isListenAddress},
    {"public-trusted-proxy", ValueKind::kText, nullptr, nullptr, 0, &Options::publicProxies,
     "ADDRESS,...", "IPv4 or IPv6 addresses, comma-separated, at most 16", "",
     "with --public: believe these peers' last X-Forwarded-For entry", isProxyList},
    {"rules", ValueKind::kText, nullptr, nullptr, 0, &Options::rulesPath, "FILE", "a file name", "",
     "moderation rules (TOML) acting on chat, kills and joins"},
    {"replay", ValueKind::kText, nullptr, nullptr, 0, &Options::replayPath, "LOG", "a file name",
     "", "with --rules: print what they would do on a --timestamps log or on db:FROM..TO, exit"},
    {"schedule", ValueKind::kText, nullptr, nullptr, 0, &Options::schedulePath, "FILE",
     "a file name", "", "chat, commands and calls at cron-like times (TOML)"},
    {"next", ValueKind::kNumber, nullptr, &Options::nextCount, 1000u, nullptr, "N",
     "a number from 1 to 1000", "", "with --schedule: print each entry's next N times, exit",
     nullptr, nullptr, 1},
    {"require-totp", ValueKind::kNumber, nullptr, &Options::requireTotp, 4u, nullptr, "LEVEL",
     "a level from 1 to 4", "", "panel accounts of LEVEL and above log in with a one-time code",
     nullptr, nullptr, 1},
    {"enroll-totp", ValueKind::kText, nullptr, nullptr, 0, &Options::enrollTotp, "ACCOUNT",
     "an account's name", "",
     "with --http-users: give ACCOUNT a new one-time code secret and recovery codes, exit"},
    {"hash-password", ValueKind::kNone, &Options::hashPassword, nullptr, 0, nullptr, nullptr,
     nullptr, "", "read a password, print its hash for --http-users, exit"},
    {"backup", ValueKind::kText, nullptr, nullptr, 0, &Options::backup, "FILE", "a file name", "",
     "copy the SQLite database online to the new FILE, check it, exit"},
    {"restore", ValueKind::kText, nullptr, nullptr, 0, &Options::restore, "FILE", "a file name", "",
     "put the backup FILE back as the SQLite database (no client running), exit"},
    {"verify-audit", ValueKind::kNone, &Options::verifyAudit, nullptr, 0, nullptr, nullptr, nullptr,
     "", "check that no audit row was changed, removed or inserted, exit"},
    {"export-audit", ValueKind::kText, nullptr, nullptr, 0, &Options::exportAudit, "FILE",
     "a file name", "", "write the audit to the new FILE (.jsonl or .csv), exit"},
    {"help", ValueKind::kNone, &Options::help, nullptr, 0, nullptr, nullptr, nullptr, "",
     "print this text and exit"},
    {"version", ValueKind::kNone, &Options::version, nullptr, 0, nullptr, nullptr, nullptr, "",
     "print the version and exit"},
};

const OptionRow* findOption(std::string_view name) {
  for (const OptionRow& row : kOptions) {
    if (name == row.name) return &row;
  }
  return nullptr;
}

// Decimal digits only, at most `maximum`.
bool parseNumber(const char* text, uint64_t maximum, uint64_t& value) {
  if (text == nullptr || *text == '\0') return false;
  uint64_t result = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return false;
    result = result * 10 + static_cast<uint64_t>(*p - '0');
    if (result > maximum) return false;
  }
  value = result;
  return true;
}

}  // namespace

bool isOption(std::string_view name) {
  return findOption(name) != nullptr;
}

bool isFlagOption(std::string_view name) {
  const OptionRow* row = findOption(name);
  return row != nullptr && row->kind == ValueKind::kNone;
}

std::string setOption(std::string_view name, std::optional<std::string_view> value, bool flagWords,
                      Options& options) {
  const OptionRow& row = *findOption(name);
  if (row.kind == ValueKind::kNone) {
    if (!value || (flagWords && *value == "true")) {
      options.*(row.flag) = true;
    } else if (flagWords && *value == "false") {
      options.*(row.flag) = false;
    } else {
      return flagWords ? "takes true or false" : "takes no value";
    }
    return "";
  }
  std::string needs = std::string("needs ") + row.valueWords;
  if (!value) return needs;
  if (row.kind == ValueKind::kTextList) {
    if (value->empty() || (row.accepts != nullptr && !row.accepts(*value))) return needs;
    (options.*(row.list)).emplace_back(*value);
    return "";
  }
  if (row.kind == ValueKind::kText) {
    if (value->empty() || (row.accepts != nullptr && !row.accepts(*value))) return needs;
    options.*(row.text) = std::string(*value);
    return "";
  }
  uint64_t number = 0;
  if (!parseNumber(std::string(*value).c_str(), row.maximum, number) || number < row.minimum) {
    return needs;
  }
  options.*(row.number) = number;
  return "";
}

ParsedOptions parseOptions(int argc, char** argv, Options base) {
  ParsedOptions parsed;
  parsed.options = std::move(base);
  parsed.options.positional.clear();
  bool optionsEnded = false;
  // A list the command line gives replaces the one of the base, as every
  // other option does.
  bool scriptsGiven = false;
  for (int i = 1; i < argc; ++i) {
    std::string_view argument = argv[i];
    if (optionsEnded || argument.substr(0, 2) != "--") {
      parsed.options.positional.push_back(i);
      continue;
    }
    if (argument == "--") {
      optionsEnded = true;
      continue;
    }
    std::string_view name = argument.substr(2);
    std::optional<std::string_view> value;
    size_t equals = name.find('=');
    if (equals != std::string_view::npos) {
      value = name.substr(equals + 1);
      name = name.substr(0, equals);
    }
    if (!isOption(name)) {
      parsed.error = "gsadmin: unknown option '--" + std::string(name) + "'";
      return parsed;
    }
    if (!value && !isFlagOption(name) && i + 1 < argc) value = argv[++i];
    if (name == "script" && !scriptsGiven) {
      parsed.options.scriptPaths.clear();
      scriptsGiven = true;
    }
    std::string refusal = setOption(name, value, false, parsed.options);
    if (!refusal.empty()) {
      parsed.error = "gsadmin: --" + std::string(name) + " " + refusal;
      return parsed;
    }
  }
  return parsed;
}

std::string bannerLine() {
  return std::string("gsadmin ") + GSADMIN_VERSION + " - remote admin console for game servers";
}

std::string usageText() {
  const SessionSettings defaults;
  std::string text = "Usage: gsadmin [options] [--] [<IP> <port> <username> <password>]\n";
  text += "With fewer than four arguments all four defaults are used (" + defaults.serverIP +
          ", port " + std::to_string(defaults.serverPort) + ",\n";
  text += "admin " + defaults.adminName +
          " and the built-in password); arguments after the fourth are ignored.\n";
  text += "With --password-file the arguments are <IP> <port> <username>, and with fewer\n";
  text += "than three all defaults are used. --server and --name win over the arguments.\n";
  text += "\nOptions (--option=value or --option value):\n";
  for (const OptionRow& row : kOptions) {
    std::string left = std::string("  --") + row.name;
    if (row.valueName != nullptr) left += std::string("=") + row.valueName;
    text += left;
    text += std::string(left.size() < 24 ? 24 - left.size() : 2, ' ');
    text += row.help;
    if (!row.defaultText.empty()) text += " (default " + row.defaultText + ")";
    text += '\n';
  }
  text += "  --                    end of options: all that follows is positional\n";
  return text;
}

}  // namespace gsadmin
