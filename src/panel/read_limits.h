#ifndef GSADMIN_PANEL_READ_LIMITS_H_
#define GSADMIN_PANEL_READ_LIMITS_H_

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace gsadmin {

class ReadLimits;

// One read's place among those in flight (waiting or running); freed when
// destroyed, from any thread. The limits must outlive it.
class ReadSlot {
 public:
  ReadSlot(ReadLimits& limits, std::string login);
  ~ReadSlot();
  ReadSlot(const ReadSlot&) = delete;
  ReadSlot& operator=(const ReadSlot&) = delete;

 private:
  ReadLimits& limits_;
  std::string login_;
};

// How many of the panel's database reads may be in flight at once: at
// most kPerLogin for one login and kInAll in all, so that neither one
// browser nor all of them together can queue work without bound. Every
// operation locks.
class ReadLimits {
 public:
  static constexpr size_t kPerLogin = 2;
  static constexpr size_t kInAll = 8;

  // The panel's caps, or others (the public listener's, per address).
  ReadLimits() = default;
  ReadLimits(size_t perLogin, size_t inAll) : perLogin_(perLogin), inAll_(inAll) {}

  // Why a read was not admitted.
  enum class Refusal { kNone, kLoginBusy, kAllBusy };

  // A place for one more read of `login` (its session token) when both
  // limits allow; null otherwise, with the reason in *refusal.
  std::shared_ptr<ReadSlot> admit(const std::string& login, Refusal* refusal);
  // Reads in flight, in all and of `login`.
  size_t inFlight() const;
  size_t inFlightOf(const std::string& login) const;

 private:
  friend class ReadSlot;
  void release(const std::string& login);

  mutable std::mutex mutex_;
  std::unordered_map<std::string, size_t> byLogin_;  // only logins with reads in flight
  size_t total_ = 0;
  size_t perLogin_ = kPerLogin;
  size_t inAll_ = kInAll;
};

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_READ_LIMITS_H_
