#include "app/token_commands.h"

#include <algorithm>
#include <string>
#include <vector>

#include "base/durations.h"
#include "panel/api_tokens.h"
#include "panel/users_file.h"
#include "panel/web_sessions.h"

namespace gsadmin {
namespace {

bool hasLabel(const std::vector<ApiToken>& tokens, const std::string& label) {
  return std::any_of(tokens.begin(), tokens.end(),
                     [&label](const ApiToken& token) { return token.label == label; });
}

std::string expiryText(const ApiToken& token, int64_t now) {
  if (token.expires == 0) return "never expires";
  return std::string(token.expires <= now ? "expired " : "expires ") + formatUtcTime(token.expires);
}

int newToken(const Options& options, const std::string& path, std::vector<ApiToken> tokens,
             int64_t now, std::FILE* out, std::FILE* err) {
  std::string secret = newTokenSecret();
  std::string label =
      options.tokenName ? *options.tokenName : "token-" + randomToken().substr(0, 8);
  if (secret.empty() || label == "token-") {
    std::fputs("gsadmin: --new-token: no randomness for a token\n", err);
    return 2;
  }
  if (hasLabel(tokens, label)) {
    std::fprintf(err, "gsadmin: --new-token: a token is already labelled %s\n", label.c_str());
    return 1;
  }
  std::string expires = options.tokenExpires.value_or("90d");
  ApiToken token{label,
                 *options.newToken,
                 *parseTokenScope(options.tokenScope.value_or("read")),
                 now,
                 expires == "never" ? 0 : now + *parseDuration(expires),
                 tokenHash(secret)};
  tokens.push_back(token);
  std::string error;
  if (tokens.size() > kMaxTokens || !writeTokensFile(path, tokens, &error)) {
    std::fprintf(err, "gsadmin: --new-token: %s\n",
                 error.empty() ? "more than 10000 tokens" : error.c_str());
    return 2;
  }
  std::fprintf(out, "%s\nlabel %s, account %s, scope %s, %s\n", secret.c_str(), label.c_str(),
               token.account.c_str(), tokenScopeName(token.scope), expiryText(token, now).c_str());
  std::fprintf(out, "The token is shown this once: %s keeps only its hash.\n", path.c_str());
  return 0;
}

int revokeToken(const std::string& label, const std::string& path, std::vector<ApiToken> tokens,
                std::FILE* out, std::FILE* err) {
  if (!hasLabel(tokens, label)) {
    std::fprintf(err, "gsadmin: --revoke-token: no token is labelled %s\n", label.c_str());
    return 1;
  }
  std::erase_if(tokens, [&label](const ApiToken& token) { return token.label == label; });
  std::string error;
  if (!writeTokensFile(path, tokens, &error)) {
    std::fprintf(err, "gsadmin: --revoke-token: %s\n", error.c_str());
    return 2;
  }
  std::fprintf(out, "revoked the token %s\n", label.c_str());
  return 0;
}

// The command's name for its error lines; empty when none was asked.
std::string commandOf(const Options& options) {
  if (options.newToken) return "--new-token";
  if (options.listTokens) return "--list-tokens";
  if (options.revokeToken) return "--revoke-token";
  return "";
}

}  // namespace

std::optional<int> runTokenCommands(const Options& options, int64_t now, std::FILE* out,
                                    std::FILE* err) {
  std::string command = commandOf(options);
  if (command.empty()) {
    if (!options.tokenScope && !options.tokenExpires && !options.tokenName) return std::nullopt;
    std::fputs("gsadmin: --scope, --expires and --token-name go with --new-token\n", err);
    return 2;
  }
  if (!options.httpUsers) {
    std::fprintf(err, "gsadmin: %s: needs --http-users=FILE\n", command.c_str());
    return 2;
  }
  std::string error;
  std::optional<std::vector<PanelAccount>> accounts = readUsersFile(*options.httpUsers, &error);
  std::string path = tokensPathFor(*options.httpUsers, options.httpTokens);
  std::optional<std::vector<ApiToken>> tokens =
      accounts ? readTokensFile(path, &error) : std::nullopt;
  if (!tokens) {
    std::fprintf(err, "gsadmin: %s: %s\n", command.c_str(), error.c_str());
    return 2;
  }
  if (options.newToken) {
    bool known = std::any_of(accounts->begin(), accounts->end(), [&options](const PanelAccount& a) {
      return a.name == *options.newToken;
    });
    if (!known) {
      std::fprintf(err, "gsadmin: --new-token: no account %s in %s\n", options.newToken->c_str(),
                   options.httpUsers->c_str());
      return 2;
    }
    return newToken(options, path, std::move(*tokens), now, out, err);
  }
  if (options.revokeToken)
    return revokeToken(*options.revokeToken, path, std::move(*tokens), out, err);
  if (tokens->empty()) std::fprintf(out, "no API tokens in %s\n", path.c_str());
  for (const ApiToken& token : *tokens) {
    std::fprintf(out, "%s %s %s, %s\n", token.label.c_str(), token.account.c_str(),
                 tokenScopeName(token.scope), expiryText(token, now).c_str());
  }
  return 0;
}

}  // namespace gsadmin
