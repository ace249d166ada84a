#ifndef GSADMIN_REQUESTS_LIBCURL_API_H_
#define GSADMIN_REQUESTS_LIBCURL_API_H_

#include <curl/curl.h>

#include <optional>
#include <string>

namespace gsadmin {

// libcurl, found at run time: only a script's HTTP request needs it, and
// linking it would load it (and the TLS, SSH and directory libraries it
// brings) into every run. curl/curl.h gives the types and constants; the
// functions are called through these pointers, each named as libcurl's
// function without "curl_" and of its type. The setopt and getinfo
// functions keep their variadic type: they are called with the one value
// the option takes, as libcurl's own macros would call them.
struct LibCurl {
  decltype(&::curl_global_init) global_init = nullptr;
  decltype(&::curl_easy_init) easy_init = nullptr;
  decltype(&::curl_easy_cleanup) easy_cleanup = nullptr;
  decltype(&::curl_easy_strerror) easy_strerror = nullptr;
  CURLcode (*easy_setopt)(CURL*, CURLoption, ...) = nullptr;
  CURLcode (*easy_getinfo)(CURL*, CURLINFO, ...) = nullptr;
  decltype(&::curl_slist_append) slist_append = nullptr;
  decltype(&::curl_slist_free_all) slist_free_all = nullptr;
  decltype(&::curl_multi_init) multi_init = nullptr;
  decltype(&::curl_multi_cleanup) multi_cleanup = nullptr;
  CURLMcode (*multi_setopt)(CURLM*, CURLMoption, ...) = nullptr;
  decltype(&::curl_multi_add_handle) multi_add_handle = nullptr;
  decltype(&::curl_multi_remove_handle) multi_remove_handle = nullptr;
  decltype(&::curl_multi_socket_action) multi_socket_action = nullptr;
  decltype(&::curl_multi_info_read) multi_info_read = nullptr;
};

// The soname loaded: libcurl's interface since 7.16.
inline constexpr const char* kLibCurlSoname = "libcurl.so.4";

// Loads libcurl from `soname` (every call loads again: libCurl() is the one
// the client uses): its functions, or nothing with the one-line reason in
// *error ("cannot load ...: ..." or "... lacks curl_..."). Does not run
// the library's global set-up.
std::optional<LibCurl> loadLibCurl(const std::string& soname, std::string* error);

// libcurl from kLibCurlSoname, loaded and set up (curl_global_init, which
// is not thread-safe, once) by the first call from any thread; the same
// pointer on every call, or null, every time, when it could not be loaded
// or set up. The functions stay valid until the process ends.
const LibCurl* libCurl();
// Why libCurl() gives null (empty when it does not), one line.
const std::string& libCurlError();

}  // namespace gsadmin

#endif  // GSADMIN_REQUESTS_LIBCURL_API_H_
