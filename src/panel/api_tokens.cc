#include "panel/api_tokens.h"

#include <openssl/evp.h>
#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <set>
#include <sstream>

#include "base/hex_text.h"
#include "panel/web_sessions.h"
#include "platform/private_file.h"

namespace gsadmin {
namespace {

bool isLabel(std::string_view text) {
  if (text.empty() || text.size() > 32) return false;
  for (char c : text) {
    bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                   c == '_' || c == '.' || c == '-';
    if (!allowed) return false;
  }
  return true;
}

bool isHash(std::string_view text) {
  if (text.size() != 64) return false;
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

std::optional<int64_t> seconds(std::string_view text) {
  int64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 0) return std::nullopt;
  return value;
}

// One line's token, or the reason it is none.
std::optional<ApiToken> parseLine(const std::string& line, std::string* reason) {
  std::istringstream words(line);
  std::string label, account, scope, created, expires, hash, extra;
  if (!(words >> label >> account >> scope >> created >> expires >> hash) || (words >> extra)) {
    *reason = "expected LABEL ACCOUNT SCOPE CREATED EXPIRES HASH";
    return std::nullopt;
  }
  ApiToken token;
  std::optional<TokenScope> parsedScope = parseTokenScope(scope);
  std::optional<int64_t> made = seconds(created);
  std::optional<int64_t> ends = seconds(expires);
  if (!isLabel(label) || !isLabel(account)) {
    *reason = "a label and an account are 1 to 32 letters, digits or _.-";
  } else if (!parsedScope) {
    *reason = "the scope is read, act or admin";
  } else if (!made || !ends) {
    *reason = "CREATED and EXPIRES are seconds since the epoch (0: never)";
  } else if (!isHash(hash)) {
    *reason = "the hash is 64 lower-case hex digits";
  } else {
    return ApiToken{label, account, *parsedScope, *made, *ends, hash};
  }
  return std::nullopt;
}

}  // namespace

std::optional<TokenScope> parseTokenScope(std::string_view text) {
  if (text == "read") return TokenScope::kRead;
  if (text == "act") return TokenScope::kAct;
  if (text == "admin") return TokenScope::kAdmin;
  return std::nullopt;
}

const char* tokenScopeName(TokenScope scope) {
  switch (scope) {
    case TokenScope::kRead:
      return "read";
    case TokenScope::kAct:
      return "act";
    case TokenScope::kAdmin:
      return "admin";
  }
  return "read";
}

std::string newTokenSecret() {
  std::string random = randomToken();
  return random.empty() ? "" : "gsat_" + random;
}

std::string tokenHash(std::string_view secret) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned size = 0;
  if (EVP_Digest(secret.data(), secret.size(), digest, &size, EVP_sha256(), nullptr) != 1) {
    return "";
  }
  return lowerHex(digest, size);
}

std::optional<std::vector<ApiToken>> parseTokens(std::string_view text, std::string* error) {
  std::vector<ApiToken> tokens;
  std::set<std::string> labels;
  std::istringstream lines{std::string(text)};
  std::string line;
  for (int number = 1; std::getline(lines, line); ++number) {
    size_t start = line.find_first_not_of(" \t\r");
    if (start == std::string::npos || line[start] == '#') continue;
    std::string reason;
    std::optional<ApiToken> token = parseLine(line, &reason);
    if (token && !labels.insert(token->label).second) reason = "the label is given twice";
    if (token && tokens.size() == kMaxTokens) reason = "more than 10000 tokens";
    if (!reason.empty()) {
      *error = "line " + std::to_string(number) + ": " + reason;
      return std::nullopt;
    }
    tokens.push_back(std::move(*token));
  }
  return tokens;
}

std::string tokensFileText(const std::vector<ApiToken>& tokens) {
  std::string text =
      "# gsadmin API tokens: LABEL ACCOUNT SCOPE CREATED EXPIRES SHA256 (see --new-token)\n";
  for (const ApiToken& token : tokens) {
    text += token.label + " " + token.account + " " + tokenScopeName(token.scope) + " " +
            std::to_string(token.created) + " " + std::to_string(token.expires) + " " + token.hash +
            "\n";
  }
  return text;
}

std::optional<std::vector<ApiToken>> readTokensFile(const std::string& path, std::string* error) {
  struct stat status {};
  if (lstat(path.c_str(), &status) != 0 && errno == ENOENT) return std::vector<ApiToken>{};
  std::optional<std::string> content = readPrivateFile(path, kMaxTokensFileBytes + 1, error);
  if (!content) return std::nullopt;
  if (content->size() > kMaxTokensFileBytes) {
    *error = path + " is larger than 1 MiB";
    return std::nullopt;
  }
  std::string reason;
  std::optional<std::vector<ApiToken>> tokens = parseTokens(*content, &reason);
  if (!tokens) *error = path + ": " + reason;
  return tokens;
}

bool writeTokensFile(const std::string& path, const std::vector<ApiToken>& tokens,
                     std::string* error) {
  return writePrivateFile(path, tokensFileText(tokens), error);
}

std::string tokensPathFor(const std::string& usersPath,
                          const std::optional<std::string>& tokensPath) {
  return tokensPath ? *tokensPath : usersPath + ".tokens";
}

}  // namespace gsadmin
