#include "requests/http_transfer.h"

#include <algorithm>
#include <cctype>

#include "requests/libcurl_api.h"

namespace gsadmin {
namespace {

// [response bytes] -> appended to the body; a body over the cap ends the
// transfer (a short count makes libcurl stop with a write error).
size_t onBody(char* data, size_t size, size_t count, void* user) {
  auto* transfer = static_cast<HttpTransfer*>(user);
  size_t length = size * count;
  if (transfer->responseBody.size() + length > HttpClient::kMaxBodyBytes) {
    transfer->cutShort =
        "response body over " + std::to_string(HttpClient::kMaxBodyBytes) + " bytes";
    return 0;
  }
  transfer->responseBody.append(data, length);
  return length;
}

std::string trimmed(std::string_view text) {
  size_t start = text.find_first_not_of(" \t\r\n");
  if (start == std::string_view::npos) return "";
  size_t end = text.find_last_not_of(" \t\r\n");
  return std::string(text.substr(start, end - start + 1));
}

// One header line of the response. A status line starts a new response
// (after a "100 Continue"), so only the last one's headers are kept.
size_t onHeader(char* data, size_t size, size_t count, void* user) {
  auto* transfer = static_cast<HttpTransfer*>(user);
  size_t length = size * count;
  transfer->responseHeaderBytes += length;
  if (transfer->responseHeaderBytes > HttpClient::kMaxResponseHeaderBytes) {
    transfer->cutShort =
        "response headers over " + std::to_string(HttpClient::kMaxResponseHeaderBytes) + " bytes";
    return 0;
  }
  std::string_view line(data, length);
  if (line.substr(0, 5) == "HTTP/") {
    transfer->responseHeaders.clear();
    return length;
  }
  size_t colon = line.find(':');
  if (colon == std::string_view::npos || colon == 0) return length;
  std::string name = trimmed(line.substr(0, colon));
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::string value = trimmed(line.substr(colon + 1));
  auto known = std::find_if(transfer->responseHeaders.begin(), transfer->responseHeaders.end(),
                            [&](const HttpHeader& header) { return header.name == name; });
  if (known != transfer->responseHeaders.end()) {
    known->value += ", " + value;
  } else {
    transfer->responseHeaders.push_back({std::move(name), std::move(value)});
  }
  return length;
}

// The method, and the body where there is one. A body-less POST, PUT or
// PATCH still sends an empty body, so the length header says 0.
void setMethod(const LibCurl& curl, CURL* easy, const HttpTransfer& transfer) {
  bool sendsBody = transfer.body.has_value() || transfer.method == "POST" ||
                   transfer.method == "PUT" || transfer.method == "PATCH";
  if (sendsBody) {
    const char* data = transfer.body ? transfer.body->c_str() : "";
    size_t length = transfer.body ? transfer.body->size() : 0;
    curl.easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(length));
    curl.easy_setopt(easy, CURLOPT_POSTFIELDS, data);
  }
  if (transfer.method == "GET" && !sendsBody) {
    curl.easy_setopt(easy, CURLOPT_HTTPGET, 1L);
  } else if (transfer.method != "POST") {
    curl.easy_setopt(easy, CURLOPT_CUSTOMREQUEST, transfer.method.c_str());
  }
}

}  // namespace

bool HttpTransfer::open(const HttpSettings& settings, uint64_t timeoutMs) {
  close();
  responseBody.clear();
  responseHeaders.clear();
  responseHeaderBytes = 0;
  cutShort.clear();
  errorText.assign(CURL_ERROR_SIZE, '\0');
  const LibCurl& curl = *libCurl();  // loaded before any request starts
  CURL* handle = curl.easy_init();
  if (handle == nullptr) return false;
  easy = handle;
  std::string target = url.text();
  curl.easy_setopt(handle, CURLOPT_URL, target.c_str());  // copied by libcurl
  curl.easy_setopt(handle, CURLOPT_PRIVATE, this);
  curl.easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
  curl.easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 0L);  // each redirect is checked first
  curl.easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl.easy_setopt(handle, CURLOPT_TIMEOUT_MS, static_cast<long>(std::max<uint64_t>(timeoutMs, 1)));
  curl.easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
  curl.easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
  if (settings.caFile) curl.easy_setopt(handle, CURLOPT_CAINFO, settings.caFile->c_str());
  curl.easy_setopt(handle, CURLOPT_ERRORBUFFER, errorText.data());
  curl.easy_setopt(handle, CURLOPT_WRITEFUNCTION, onBody);
  curl.easy_setopt(handle, CURLOPT_WRITEDATA, this);
  curl.easy_setopt(handle, CURLOPT_HEADERFUNCTION, onHeader);
  curl.easy_setopt(handle, CURLOPT_HEADERDATA, this);
  curl.easy_setopt(handle, CURLOPT_USERAGENT, "gsadmin");
  setMethod(curl, handle, *this);
  // "Expect: 100-continue" would hold a larger body back for a second.
  curl_slist* list = curl.slist_append(nullptr, "Expect:");
  for (const HttpHeader& header : headers) {
    if (list == nullptr) break;
    std::string line = header.name + (header.value.empty() ? ";" : ": " + header.value);
    curl_slist* longer = curl.slist_append(list, line.c_str());
    if (longer == nullptr) {
      curl.slist_free_all(list);
      list = nullptr;
    } else {
      list = longer;
    }
  }
  if (list == nullptr) return false;
  headerList = list;
  curl.easy_setopt(handle, CURLOPT_HTTPHEADER, list);
  return true;
}

void HttpTransfer::dropCredentials() {
  std::erase_if(headers, [](const HttpHeader& header) {
    std::string name = header.name;
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name == "authorization" || name == "proxy-authorization" || name == "cookie";
  });
}

void HttpTransfer::close() {
  if (easy == nullptr && headerList == nullptr) return;
  const LibCurl& curl = *libCurl();  // loaded: it made them
  if (easy != nullptr) curl.easy_cleanup(static_cast<CURL*>(easy));
  if (headerList != nullptr) curl.slist_free_all(static_cast<curl_slist*>(headerList));
  easy = nullptr;
  headerList = nullptr;
}

std::string HttpTransfer::failureText(int curlCode) const {
  if (!cutShort.empty()) return cutShort;
  std::string detail(errorText.c_str());
  if (detail.empty()) detail = libCurl()->easy_strerror(static_cast<CURLcode>(curlCode));
  for (char& c : detail) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return detail;
}

}  // namespace gsadmin
