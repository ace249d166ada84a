#ifndef GSADMIN_PANEL_STREAM_LIMITS_H_
#define GSADMIN_PANEL_STREAM_LIMITS_H_

#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace gsadmin {

// The event stream's route, and the caps on open streams: per login
// session, per account and in all. A worker answers a stream's request;
// the StreamHub writes the stream after its headers.
inline constexpr std::string_view kEventsPath = "/api/events";
inline constexpr size_t kMaxStreamsPerSession = 4;
inline constexpr size_t kMaxStreamsPerAccount = 16;
inline constexpr size_t kMaxStreams = 50;

// Whether a request line's method and raw target ask for the event
// stream: the route's path exactly, with or without a query. The route
// answers no other spelling.
bool isEventsRequest(std::string_view method, std::string_view target);

// The open event streams, counted against the caps; shared by the HTTP
// threads (every operation locks).
class StreamLimits {
 public:
  // A stream's place, given back when it is destroyed; the StreamLimits
  // must outlive it.
  class Place {
   public:
    Place(StreamLimits& limits, std::string token, std::string account)
        : limits_(limits), token_(std::move(token)), account_(std::move(account)) {}
    ~Place() { limits_.release(token_, account_); }
    Place(const Place&) = delete;
    Place& operator=(const Place&) = delete;

   private:
    StreamLimits& limits_;
    std::string token_;
    std::string account_;
  };

  // Why a place was refused: its HTTP status and message.
  struct Refusal {
    int status = 0;
    const char* message = "";
  };

  // A place for a stream of the session `token` of `account`; nothing,
  // with *refusal set, when a cap is reached.
  std::unique_ptr<Place> take(const std::string& token, const std::string& account,
                              Refusal* refusal);
  size_t open() const;

 private:
  void release(const std::string& token, const std::string& account);

  mutable std::mutex mutex_;
  std::map<std::string, size_t> perSession_;
  std::map<std::string, size_t> perAccount_;
  size_t total_ = 0;
};

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_STREAM_LIMITS_H_
