#ifndef GSADMIN_PANEL_TOKEN_STORE_H_
#define GSADMIN_PANEL_TOKEN_STORE_H_

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "panel/api_tokens.h"
#include "platform/clock.h"

namespace gsadmin {

// The API tokens the panel accepts, kept in the tokens file and shared by
// the panel's HTTP threads (every call locks). The file is read again when
// it changed, looked at most once a second, so that a token made or revoked
// from the command line counts within a second. A file that no longer
// reads gives no tokens until it is mended. The clock must outlive the
// store and be safe to read from any thread.
class TokenStore {
 public:
  static constexpr uint64_t kRecheckMs = 1000;

  TokenStore(std::string path, Clock& clock);
  TokenStore(const TokenStore&) = delete;
  TokenStore& operator=(const TokenStore&) = delete;

  // The token `secret` is, while it has not expired; nothing otherwise.
  std::optional<ApiToken> find(std::string_view secret);
  // Every token, in the file's order.
  std::vector<ApiToken> list();
  // Takes the token `label` out of the file; false, with the reason in
  // *error, when there is none or the file cannot be written.
  bool revoke(const std::string& label, std::string* error);
  // Takes every token of `account` out of the file: how many, or nothing,
  // with the reason in *error, when the file cannot be read or written.
  std::optional<size_t> revokeAccount(const std::string& account, std::string* error);
  // Why the file did not read at its last reading; empty when it did.
  std::string problem();

 private:
  struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    int64_t size = -1;
    int64_t modifiedNs = 0;
    bool operator==(const FileStamp&) const = default;
  };
  static std::optional<FileStamp> stampOf(const std::string& path);
  void refreshLocked(bool force);
  void takeLocked(std::vector<ApiToken> tokens);
  // Writes the file without the tokens that `goes`: how many went.
  std::optional<size_t> removeLocked(const std::function<bool(const ApiToken&)>& goes,
                                     std::string* error);

  const std::string path_;
  Clock& clock_;
  std::mutex mutex_;
  std::vector<ApiToken> tokens_;
  std::unordered_map<std::string, size_t> byHash_;  // into tokens_
  std::optional<FileStamp> stamp_;                  // of the file last read
  std::optional<uint64_t> checkedMs_;
  std::string problem_;
};

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_TOKEN_STORE_H_
