#ifndef GSADMIN_REQUESTS_URL_ALLOW_LIST_H_
#define GSADMIN_REQUESTS_URL_ALLOW_LIST_H_

#include <string>
#include <string_view>
#include <vector>

#include "requests/url.h"

namespace gsadmin {

// The URL prefixes the admin allows requests to. A URL is allowed when,
// both normalised (parseUrl), its scheme, host and port equal a prefix's
// and its path and query begin with the prefix's, ending there or at a
// '/' or '?' unless the prefix itself ends in '/': "https://h/hook" allows
// "https://h/hook/1" but not "https://h/hooks". A path that servers may
// read in another way (hasAmbiguousPath) is never allowed.
class UrlAllowList {
 public:
  // Adds a prefix; empty when taken, otherwise why not (parseUrl's reason,
  // or a path that hasAmbiguousPath refuses).
  std::string add(std::string_view prefix);
  bool empty() const { return prefixes_.empty(); }
  bool allows(const Url& url) const;

 private:
  std::vector<Url> prefixes_;
};

}  // namespace gsadmin

#endif  // GSADMIN_REQUESTS_URL_ALLOW_LIST_H_
