#include "panel/recovery_codes.h"

#include <array>
#include <cctype>
#include <cerrno>

#include "platform/random_bytes.h"

namespace gsadmin {
namespace {

constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz234567";
constexpr size_t kLettersPerCode = 12;

bool isCodeLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= '2' && c <= '7');
}

}  // namespace

std::vector<std::string> newRecoveryCodes() {
  std::array<unsigned char, kRecoveryCodes * kLettersPerCode> bytes{};
  if (!fillRandom(bytes.data(), bytes.size())) return {};
  std::vector<std::string> codes;
  for (int slot = 0; slot < kRecoveryCodes; ++slot) {
    std::string code(1, static_cast<char>('0' + slot));
    for (size_t i = 0; i < kLettersPerCode; ++i) {
      if (i % 4 == 0) code += '-';
      // 256 is a multiple of 32: every letter is as likely.
      code += kLetters[bytes[static_cast<size_t>(slot) * kLettersPerCode + i] & 31];
    }
    codes.push_back(code);
  }
  return codes;
}

std::optional<RecoveryCode> parseRecoveryCode(std::string_view text) {
  if (text.size() > 64) return std::nullopt;
  std::string canonical;
  for (char c : text) {
    if (c == '-' || c == ' ') continue;
    canonical += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  if (canonical.size() != 1 + kLettersPerCode) return std::nullopt;
  if (canonical[0] < '0' || canonical[0] >= '0' + kRecoveryCodes) return std::nullopt;
  for (size_t i = 1; i < canonical.size(); ++i) {
    if (!isCodeLetter(canonical[i])) return std::nullopt;
  }
  return RecoveryCode{canonical[0] - '0', canonical};
}

}  // namespace gsadmin
