#ifndef GSADMIN_PANEL_API_TOKENS_H_
#define GSADMIN_PANEL_API_TOKENS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace gsadmin {

// What a token may do with its account's rights: read (GET routes only),
// act (also the panel's actions, but not a raw console `command`), or all
// the account may (admin).
enum class TokenScope { kRead, kAct, kAdmin };

std::optional<TokenScope> parseTokenScope(std::string_view text);
const char* tokenScopeName(TokenScope scope);

// One API token as the tokens file keeps it: never the token itself, only
// its SHA-256 (the token is 32 random bytes, so a fast hash is enough).
struct ApiToken {
  std::string label;    // 1 to 32 letters, digits and "_.-", unique
  std::string account;  // an account of the users file
  TokenScope scope = TokenScope::kRead;
  int64_t created = 0;  // seconds since the epoch
  int64_t expires = 0;  // seconds since the epoch; 0: never
  std::string hash;     // lower-case hex SHA-256 of the token
};

inline constexpr size_t kMaxTokens = 10000;
inline constexpr size_t kMaxTokensFileBytes = 1024 * 1024;
// The longest Authorization value looked at; a token is 68 characters.
inline constexpr size_t kMaxTokenBytes = 128;

// A new token: "gsat_" and 64 hex digits from the kernel's random source;
// empty when it gave nothing.
std::string newTokenSecret();
// The hash a token is stored and found by.
std::string tokenHash(std::string_view secret);

// The tokens of a tokens file's text, one a line:
// "LABEL ACCOUNT SCOPE CREATED EXPIRES HASH"; blank lines and '#' lines are
// skipped. Refused, with "line N: reason" in *error, at the first bad line
// or a label given twice.
std::optional<std::vector<ApiToken>> parseTokens(std::string_view text, std::string* error);
// The file's text for `tokens`, with a header comment.
std::string tokensFileText(const std::vector<ApiToken>& tokens);

// The tokens file at `path`, refused as the users file is (a link, not
// regular, readable by others, over 1 MiB); no file is no tokens.
std::optional<std::vector<ApiToken>> readTokensFile(const std::string& path, std::string* error);
bool writeTokensFile(const std::string& path, const std::vector<ApiToken>& tokens,
                     std::string* error);

// Where the tokens are kept: `tokensPath` when given, else beside the users
// file as FILE.tokens.
std::string tokensPathFor(const std::string& usersPath,
                          const std::optional<std::string>& tokensPath);

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_API_TOKENS_H_
