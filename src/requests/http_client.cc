#include "requests/http_client.h"

#include <algorithm>
#include <cctype>
#include <climits>

#include "requests/http_transfer.h"
#include "requests/libcurl_api.h"

namespace gsadmin {
namespace {

constexpr const char* kMethods[] = {"GET", "POST", "PUT", "PATCH", "DELETE"};

bool isToken(std::string_view name) {
  if (name.empty()) return false;
  for (char c : name) {
    bool ok = std::isalnum(static_cast<unsigned char>(c)) != 0 ||
              std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
    if (!ok) return false;
  }
  return true;
}

bool isHeaderValue(std::string_view value) {
  for (char c : value) {
    if (c == '\r' || c == '\n' || c == '\0') return false;
  }
  return value.size() <= HttpClient::kMaxHeaderBytes;
}

// Why the request's own form is refused, or empty.
std::string formRefusal(const HttpRequest& request) {
  if (std::find(std::begin(kMethods), std::end(kMethods), request.method) == std::end(kMethods)) {
    return "method must be GET, POST, PUT, PATCH or DELETE";
  }
  if (request.body && request.body->size() > HttpClient::kMaxBodyBytes) {
    return "body over " + std::to_string(HttpClient::kMaxBodyBytes) + " bytes";
  }
  if (request.headers.size() > HttpClient::kMaxHeaders) {
    return "more than " + std::to_string(HttpClient::kMaxHeaders) + " headers";
  }
  for (const HttpHeader& header : request.headers) {
    if (!isToken(header.name) || header.name.size() > 256 || !isHeaderValue(header.value)) {
      return "invalid header";
    }
  }
  return "";
}

bool isRedirect(long status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

short pollEvents(int what) {
  short events = 0;
  if (what == CURL_POLL_IN || what == CURL_POLL_INOUT) events |= POLLIN;
  if (what == CURL_POLL_OUT || what == CURL_POLL_INOUT) events |= POLLOUT;
  return events;
}

}  // namespace

HttpClient::HttpClient(HttpSettings settings, Clock& clock)
    : settings_(std::move(settings)), clock_(clock) {
  for (const std::string& prefix : settings_.allowedPrefixes) allowList_.add(prefix);
}

HttpClient::~HttpClient() {
  cancelAll();
  if (multi_ != nullptr) curl_->multi_cleanup(static_cast<CURLM*>(multi_));
}

bool HttpClient::ensureMulti(std::string* refusal) {
  if (multi_ != nullptr) return true;
  curl_ = libCurl();
  if (curl_ == nullptr) {
    *refusal = "cannot start requests: " + libCurlError();
    return false;
  }
  CURLM* multi = curl_->multi_init();
  if (multi == nullptr) {
    *refusal = "cannot start requests";
    return false;
  }
  curl_->multi_setopt(multi, CURLMOPT_SOCKETFUNCTION, &HttpClient::onSocket);
  curl_->multi_setopt(multi, CURLMOPT_SOCKETDATA, this);
  curl_->multi_setopt(multi, CURLMOPT_TIMERFUNCTION, &HttpClient::onTimer);
  curl_->multi_setopt(multi, CURLMOPT_TIMERDATA, this);
  multi_ = multi;
  return true;
}

int HttpClient::onSocket(void*, int socket, int what, void* self, void*) {
  auto* client = static_cast<HttpClient*>(self);
  if (what == CURL_POLL_REMOVE) {
    client->sockets_.erase(socket);
  } else {
    client->sockets_[socket] = what;
  }
  return 0;
}

int HttpClient::onTimer(void*, long timeoutMs, void* self) {
  auto* client = static_cast<HttpClient*>(self);
  if (timeoutMs < 0) {
    client->timerDueMs_.reset();
  } else {
    client->timerDueMs_ = client->clock_.nowMs() + static_cast<uint64_t>(timeoutMs);
  }
  return 0;
}

HttpClient::Started HttpClient::start(HttpRequest request) {
  if (allowList_.empty()) {
    return {0, "no URL is allowed; start the client with --allow-url=PREFIX"};
  }
  std::string error;
  std::optional<Url> url = parseUrl(request.url, &error);
  if (!url) return {0, error};
  if (!allowList_.allows(*url)) return {0, "URL not allowed: " + url->text()};
  if (std::string refusal = formRefusal(request); !refusal.empty()) return {0, refusal};
  size_t owned = std::count_if(transfers_.begin(), transfers_.end(),
                               [&](const auto& t) { return t->owner == request.owner; });
  if (owned >= kMaxPerOwner) {
    return {0, "too many requests in flight (" + std::to_string(kMaxPerOwner) + " per script)"};
  }
  if (transfers_.size() >= kMaxInFlight) {
    return {0, "too many requests in flight (" + std::to_string(kMaxInFlight) + " in all)"};
  }
  if (std::string refusal; !ensureMulti(&refusal)) return {0, refusal};
  auto transfer = std::make_unique<HttpTransfer>();
  transfer->id = nextId_;
  transfer->owner = request.owner;
  transfer->handler = std::move(request.handler);
  transfer->method = std::move(request.method);
  transfer->url = std::move(*url);
  transfer->body = std::move(request.body);
  transfer->headers = std::move(request.headers);
  transfer->deadlineMs = clock_.nowMs() + settings_.timeoutMs;
  if (!transfer->open(settings_, settings_.timeoutMs) || !addTransfer(*transfer)) {
    return {0, "cannot start requests"};
  }
  nextId_ = nextId_ == INT32_MAX ? 1 : nextId_ + 1;
  transfers_.push_back(std::move(transfer));
  return {transfers_.back()->id, ""};
}

bool HttpClient::addTransfer(HttpTransfer& transfer) {
  return curl_->multi_add_handle(static_cast<CURLM*>(multi_), static_cast<CURL*>(transfer.easy)) ==
         CURLM_OK;
}

void HttpClient::remove(HttpTransfer& transfer) {
  if (transfer.easy != nullptr) {
    curl_->multi_remove_handle(static_cast<CURLM*>(multi_), static_cast<CURL*>(transfer.easy));
  }
  transfer.close();
  transfers_.erase(std::find_if(transfers_.begin(), transfers_.end(),
                                [&](const auto& t) { return t.get() == &transfer; }));
}

void HttpClient::cancelOwned(uint64_t owner) {
  std::vector<HttpTransfer*> owned;
  for (const auto& transfer : transfers_) {
    if (transfer->owner == owner) owned.push_back(transfer.get());
  }
  for (HttpTransfer* transfer : owned) remove(*transfer);
}

void HttpClient::cancelAll() {
  while (!transfers_.empty()) remove(*transfers_.back());
}

void HttpClient::watchOn(Poller& poller) const {
  for (const auto& [socket, what] : sockets_) poller.watchFor(socket, pollEvents(what));
}

std::optional<uint64_t> HttpClient::nextWorkMs() const {
  if (transfers_.empty()) return std::nullopt;
  uint64_t wakeAt = timerDueMs_.value_or(UINT64_MAX);
  for (const auto& transfer : transfers_) wakeAt = std::min(wakeAt, transfer->deadlineMs);
  return wakeAt;
}

std::vector<HttpResult> HttpClient::drive() {
  std::vector<HttpResult> done;
  if (multi_ == nullptr || transfers_.empty()) return done;
  performSockets();
  if (timerDueMs_ && *timerDueMs_ <= clock_.nowMs()) {
    timerDueMs_.reset();
    int running = 0;
    curl_->multi_socket_action(static_cast<CURLM*>(multi_), CURL_SOCKET_TIMEOUT, 0, &running);
  }
  collectDone(&done);
  expireOverdue(&done);
  return done;
}

void HttpClient::performSockets() {
  if (sockets_.empty()) return;
  // A test of the sockets, never a wait: the loop's one wait woke us.
  Poller ready;
  std::vector<int> descriptors;
  for (const auto& [socket, what] : sockets_) {
    ready.watchFor(socket, pollEvents(what));
    descriptors.push_back(socket);
  }
  if (ready.wait(0) == 0) return;
  for (size_t i = 0; i < descriptors.size(); ++i) {
    short returned = ready.returned(i);
    if (returned == 0) continue;
    int flags = 0;
    if (returned & (POLLIN | POLLHUP)) flags |= CURL_CSELECT_IN;
    if (returned & POLLOUT) flags |= CURL_CSELECT_OUT;
    if (returned & (POLLERR | POLLNVAL)) flags |= CURL_CSELECT_ERR;
    int running = 0;
    curl_->multi_socket_action(static_cast<CURLM*>(multi_), descriptors[i], flags, &running);
  }
}

void HttpClient::collectDone(std::vector<HttpResult>* done) {
  int queued = 0;
  while (CURLMsg* message = curl_->multi_info_read(static_cast<CURLM*>(multi_), &queued)) {
    if (message->msg != CURLMSG_DONE) continue;
    char* data = nullptr;
    curl_->easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &data);
    auto* transfer = reinterpret_cast<HttpTransfer*>(data);
    CURLcode code = message->data.result;  // read before the handle goes
    if (transfer == nullptr) continue;
    if (code == CURLE_OPERATION_TIMEDOUT) {
      finish(*transfer, 0, timedOutText(), done);  // libcurl's clock came first
    } else if (code != CURLE_OK) {
      finish(*transfer, 0, transfer->failureText(code), done);
    } else {
      followRedirect(*transfer, done);
    }
  }
}

bool HttpClient::followRedirect(HttpTransfer& transfer, std::vector<HttpResult>* done) {
  CURL* easy = static_cast<CURL*>(transfer.easy);
  long status = 0;
  curl_->easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
  char* location = nullptr;
  curl_->easy_getinfo(easy, CURLINFO_REDIRECT_URL, &location);
  if (!isRedirect(status) || location == nullptr) {
    finish(transfer, static_cast<int>(status), std::move(transfer.responseBody), done);
    return false;
  }
  std::string error;
  std::optional<Url> next = parseUrl(location, &error);
  if (!next || !allowList_.allows(*next)) {
    finish(transfer, 0, "redirect outside the allowed URLs: " + (next ? next->text() : error),
           done);
    return false;
  }
  if (++transfer.redirects > kMaxRedirects) {
    finish(transfer, 0, "more than " + std::to_string(kMaxRedirects) + " redirects", done);
    return false;
  }
  // As browsers do: 303, and 301 or 302 after a POST, go on as a GET.
  if (status == 303 || ((status == 301 || status == 302) && transfer.method == "POST")) {
    if (transfer.method != "GET") transfer.method = "GET";
    transfer.body.reset();
  }
  if (!sameOrigin(transfer.url, *next)) {
    // What the script meant for one server never reaches another.
    if (transfer.body) {
      finish(transfer, 0, "redirect would send the body to another origin: " + next->text(), done);
      return false;
    }
    transfer.dropCredentials();
  }
  curl_->multi_remove_handle(static_cast<CURLM*>(multi_), easy);
  transfer.url = std::move(*next);
  uint64_t now = clock_.nowMs();
  uint64_t left = transfer.deadlineMs > now ? transfer.deadlineMs - now : 1;
  if (!transfer.open(settings_, left) || !addTransfer(transfer)) {
    finish(transfer, 0, "cannot follow the redirect", done);
    return false;
  }
  return true;
}

void HttpClient::expireOverdue(std::vector<HttpResult>* done) {
  uint64_t now = clock_.nowMs();
  std::vector<HttpTransfer*> overdue;
  for (const auto& transfer : transfers_) {
    if (transfer->deadlineMs <= now) overdue.push_back(transfer.get());
  }
  for (HttpTransfer* transfer : overdue) {
    finish(*transfer, 0, timedOutText(), done);
  }
}

std::string HttpClient::timedOutText() const {
  return "timed out after " + std::to_string(settings_.timeoutMs) + " ms";
}

void HttpClient::finish(HttpTransfer& transfer, int status, std::string body,
                        std::vector<HttpResult>* done) {
  HttpResult result;
  result.id = transfer.id;
  result.owner = transfer.owner;
  result.handler = std::move(transfer.handler);
  result.status = status;
  result.body = std::move(body);
  if (status != 0) result.headers = std::move(transfer.responseHeaders);
  done->push_back(std::move(result));
  remove(transfer);
}

}  // namespace gsadmin
