#ifndef GSADMIN_REQUESTS_HTTP_CLIENT_H_
#define GSADMIN_REQUESTS_HTTP_CLIENT_H_

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/poller.h"
#include "requests/url_allow_list.h"

namespace gsadmin {

struct HttpHeader {
  std::string name;
  std::string value;
};

// What the admin allows: fixed for the client's life.
struct HttpSettings {
  // URL prefixes (see UrlAllowList); none: every request is refused.
  std::vector<std::string> allowedPrefixes;
  // From a request's start to its end, redirects included.
  uint64_t timeoutMs = 10000;
  // Certificates to verify HTTPS servers against instead of the system's.
  std::optional<std::string> caFile;
};

// A request as a script asks for it.
struct HttpRequest {
  uint64_t owner = 0;   // the script's id
  std::string handler;  // the script's global called with the result
  std::string method;   // GET, POST, PUT, PATCH or DELETE
  std::string url;
  std::optional<std::string> body;
  std::vector<HttpHeader> headers;
};

// How a request ended.
struct HttpResult {
  int32_t id = 0;
  uint64_t owner = 0;
  std::string handler;
  // The final response's status; 0 when the request failed, and then
  // `body` says why in one line (timed out, refused redirect, DNS, TLS...).
  int status = 0;
  std::string body;
  // The final response's headers, names in lower case, repeated ones
  // joined with ", ".
  std::vector<HttpHeader> headers;
};

struct HttpTransfer;
struct LibCurl;

// Asynchronous HTTP requests over libcurl's multi interface, for a loop
// that waits in one place: the loop adds the client's sockets to its wait
// (watchOn), sleeps no later than nextWorkMs(), then calls drive(). No
// call blocks on the network. Redirects are followed by the client itself,
// each checked against the allowed prefixes. Loop thread only.
class HttpClient {
 public:
  static constexpr size_t kMaxPerOwner = 16;
  static constexpr size_t kMaxInFlight = 64;
  static constexpr size_t kMaxBodyBytes = 1024 * 1024;  // each way
  static constexpr int kMaxRedirects = 5;
  static constexpr size_t kMaxHeaders = 64;        // a request's
  static constexpr size_t kMaxHeaderBytes = 8192;  // one request header
  static constexpr size_t kMaxResponseHeaderBytes = 64 * 1024;

  // `settings.allowedPrefixes` must have been checked (UrlAllowList::add);
  // one that does not parse allows nothing. `clock` must outlive the client.
  HttpClient(HttpSettings settings, Clock& clock);
  // Cancels whatever is in flight; no result is given for it.
  ~HttpClient();
  HttpClient(const HttpClient&) = delete;
  HttpClient& operator=(const HttpClient&) = delete;

  // Starts `request`: its id (1 and up), or the reason it was refused in
  // one line (no URL allowed, outside the prefixes, bad method or header,
  // body over the cap, too many in flight for its owner or in all).
  struct Started {
    int32_t id = 0;
    std::string refusal;  // empty when started
  };
  Started start(HttpRequest request);

  // Cancels the owner's requests, or all; no result is given for them.
  void cancelOwned(uint64_t owner);
  void cancelAll();
  size_t inFlight() const { return transfers_.size(); }

  // Adds the sockets the transfers wait on to `poller`.
  void watchOn(Poller& poller) const;
  // When (on the clock) drive() has work besides what the sockets bring:
  // libcurl's timer or a request's time-out; none when nothing is in
  // flight.
  std::optional<uint64_t> nextWorkMs() const;
  // Moves every transfer on as far as it goes without waiting: reads and
  // writes what the sockets allow, runs libcurl's due timers, follows
  // redirects and ends what timed out. Returns the requests that ended.
  std::vector<HttpResult> drive();

 private:
  // Loads libcurl and creates the multi handle on first use; false, with
  // the script's one-line reason in *refusal, when either fails.
  bool ensureMulti(std::string* refusal);
  // Hands `transfer` (set up) to the multi handle; false when it refused.
  bool addTransfer(HttpTransfer& transfer);
  void performSockets();
  void collectDone(std::vector<HttpResult>* done);
  void expireOverdue(std::vector<HttpResult>* done);
  // Follows a redirect of `transfer` when its response is one; true when
  // the transfer goes on, false when it ended (in *done).
  bool followRedirect(HttpTransfer& transfer, std::vector<HttpResult>* done);
  void finish(HttpTransfer& transfer, int status, std::string body, std::vector<HttpResult>* done);
  void remove(HttpTransfer& transfer);
  std::string timedOutText() const;

  static int onSocket(void* easy, int socket, int what, void* self, void* socketData);
  static int onTimer(void* multi, long timeoutMs, void* self);

  HttpSettings settings_;
  Clock& clock_;
  UrlAllowList allowList_;
  const LibCurl* curl_ = nullptr;  // set with multi_
  void* multi_ = nullptr;          // libcurl's CURLM, made on first use
  std::vector<std::unique_ptr<HttpTransfer>> transfers_;
  std::map<int, int> sockets_;  // descriptor -> libcurl's CURL_POLL_* wish
  std::optional<uint64_t> timerDueMs_;
  int32_t nextId_ = 1;
};

}  // namespace gsadmin

#endif  // GSADMIN_REQUESTS_HTTP_CLIENT_H_
