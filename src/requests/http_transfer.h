#ifndef GSADMIN_REQUESTS_HTTP_TRANSFER_H_
#define GSADMIN_REQUESTS_HTTP_TRANSFER_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "requests/http_client.h"
#include "requests/url.h"

namespace gsadmin {

// One request in flight: what was asked, the libcurl handle of its current
// hop and what the response brought so far. Owned by the HttpClient; its
// address is the handle's private data, so it never moves.
struct HttpTransfer {
  int32_t id = 0;
  uint64_t owner = 0;
  std::string handler;
  std::string method;
  Url url;
  std::optional<std::string> body;
  std::vector<HttpHeader> headers;
  uint64_t deadlineMs = 0;
  int redirects = 0;

  void* easy = nullptr;        // libcurl's CURL of the current hop
  void* headerList = nullptr;  // its curl_slist
  std::string responseBody;
  std::vector<HttpHeader> responseHeaders;
  size_t responseHeaderBytes = 0;
  // Why the transfer was cut short by this side, when it was.
  std::string cutShort;
  std::string errorText;  // libcurl's CURLOPT_ERRORBUFFER, sized on open

  HttpTransfer() = default;
  ~HttpTransfer() { close(); }
  HttpTransfer(const HttpTransfer&) = delete;
  HttpTransfer& operator=(const HttpTransfer&) = delete;

  // Makes the handle of a hop to `url` with the method, body and headers,
  // forgetting any earlier response. False when libcurl refused.
  bool open(const HttpSettings& settings, uint64_t timeoutMs);
  // Drops the request headers that carry credentials (Authorization,
  // Proxy-Authorization, Cookie, any case), before a hop to another origin.
  void dropCredentials();
  // Frees the handle and its header list (already removed from the multi).
  void close();
  // Why the hop failed, in one line, from libcurl's code and message.
  std::string failureText(int curlCode) const;
};

}  // namespace gsadmin

#endif  // GSADMIN_REQUESTS_HTTP_TRANSFER_H_
