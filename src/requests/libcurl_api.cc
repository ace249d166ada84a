#include "requests/libcurl_api.h"

#include <mutex>

#include "platform/shared_library.h"

namespace gsadmin {
namespace {

bool findAll(const SharedLibrary& library, LibCurl* curl, std::string* error) {
  return library.find("curl_global_init", &curl->global_init, error) &&
         library.find("curl_easy_init", &curl->easy_init, error) &&
         library.find("curl_easy_cleanup", &curl->easy_cleanup, error) &&
         library.find("curl_easy_strerror", &curl->easy_strerror, error) &&
         library.find("curl_easy_setopt", &curl->easy_setopt, error) &&
         library.find("curl_easy_getinfo", &curl->easy_getinfo, error) &&
         library.find("curl_slist_append", &curl->slist_append, error) &&
         library.find("curl_slist_free_all", &curl->slist_free_all, error) &&
         library.find("curl_multi_init", &curl->multi_init, error) &&
         library.find("curl_multi_cleanup", &curl->multi_cleanup, error) &&
         library.find("curl_multi_setopt", &curl->multi_setopt, error) &&
         library.find("curl_multi_add_handle", &curl->multi_add_handle, error) &&
         library.find("curl_multi_remove_handle", &curl->multi_remove_handle, error) &&
         library.find("curl_multi_socket_action", &curl->multi_socket_action, error) &&
         library.find("curl_multi_info_read", &curl->multi_info_read, error);
}

// What the first libCurl() call found, kept for the process's life.
struct Loaded {
  std::optional<LibCurl> functions;
  std::string error;
};

void load(Loaded* result) {
  result->functions = loadLibCurl(kLibCurlSoname, &result->error);
  if (!result->functions) return;
  CURLcode code = result->functions->global_init(CURL_GLOBAL_DEFAULT);
  if (code != CURLE_OK) {
    result->error = std::string("cannot set up ") + kLibCurlSoname + ": " +
                    result->functions->easy_strerror(code);
    result->functions.reset();
  }
}

const Loaded& loaded() {
  static std::once_flag once;
  static Loaded result;
  std::call_once(once, [] { load(&result); });
  return result;
}

}  // namespace

std::optional<LibCurl> loadLibCurl(const std::string& soname, std::string* error) {
  std::optional<SharedLibrary> library = SharedLibrary::open(soname, error);
  if (!library) return std::nullopt;
  LibCurl curl;
  if (!findAll(*library, &curl, error)) return std::nullopt;
  return curl;
}

const LibCurl* libCurl() {
  const Loaded& result = loaded();
  return result.functions ? &*result.functions : nullptr;
}

const std::string& libCurlError() {
  return loaded().error;
}

}  // namespace gsadmin
