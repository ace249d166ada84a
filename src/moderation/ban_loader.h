#ifndef GSADMIN_MODERATION_BAN_LOADER_H_
#define GSADMIN_MODERATION_BAN_LOADER_H_

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "moderation/ban_index.h"
#include "storage/database.h"

namespace gsadmin {

// Reads every ban in force at `now` in gs_sanctions into `index`, a page at
// a time. Empty, or the database's error (`index` is then partial).
std::string readActiveBans(Database& database, int64_t now, BanIndex& index);

// readActiveBans() on a thread of its own, over a connection of its own
// that only reads (Database::readOnlyConnection): a million bans take
// seconds to read, and the loop must not wait for them. The loop asks
// done() on its passes and then takes the index. Destroying the loader
// stops the reading and joins the thread.
class BanLoader {
 public:
  // Waited at most for a shared database's connection.
  static constexpr uint64_t kConnectWaitMs = 5000;

  BanLoader(std::unique_ptr<Database> connection, BanIndex::Hash hash, int64_t now);
  ~BanLoader();
  BanLoader(const BanLoader&) = delete;
  BanLoader& operator=(const BanLoader&) = delete;

  // True once the thread is done; from any thread.
  bool done() const { return done_.load(std::memory_order_acquire); }
  // Blocks until done(): for tests and benches.
  void wait();
  // Once done(): the index read, or nothing and the reason in `error`.
  std::optional<BanIndex> take(std::string* error);

 private:
  void run(int64_t now);

  std::unique_ptr<Database> connection_;
  BanIndex index_;
  std::string error_;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> done_{false};
  std::thread thread_;
};

}  // namespace gsadmin

#endif  // GSADMIN_MODERATION_BAN_LOADER_H_
