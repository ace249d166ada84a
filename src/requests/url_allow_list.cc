#include "requests/url_allow_list.h"

namespace gsadmin {

std::string UrlAllowList::add(std::string_view prefix) {
  std::string error;
  std::optional<Url> url = parseUrl(prefix, &error);
  if (!url) return error;
  // It would allow nothing: allows() refuses every URL under it.
  if (hasAmbiguousPath(*url)) return "a path with %2F, %5C or a segment starting with ..";
  prefixes_.push_back(std::move(*url));
  return "";
}

bool UrlAllowList::allows(const Url& url) const {
  // What the server would read in another way than it was checked.
  if (hasAmbiguousPath(url)) return false;
  for (const Url& prefix : prefixes_) {
    if (url.scheme != prefix.scheme || url.host != prefix.host || url.port != prefix.port) continue;
    const std::string& start = prefix.target;
    if (url.target.compare(0, start.size(), start) != 0) continue;
    if (url.target.size() == start.size() || start.back() == '/') return true;
    char next = url.target[start.size()];
    if (next == '/' || next == '?') return true;
  }
  return false;
}

}  // namespace gsadmin
