#ifndef GSADMIN_REQUESTS_URL_H_
#define GSADMIN_REQUESTS_URL_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace gsadmin {

// An http or https URL in the one normal form that requests are checked
// and sent in: scheme and host in lower case, the port always known, the
// path with its "." and ".." segments resolved and its needless
// percent-escapes decoded, the fragment dropped.
struct Url {
  std::string scheme;  // "http" or "https"
  std::string host;    // a name, an IPv4 address or a bracketed IPv6 one
  uint16_t port = 0;
  std::string target;  // the path, starting with '/', and any "?query"

  // The normal form as text: the port appears only when it is not the
  // scheme's own.
  std::string text() const;
};

// The longest URL taken, in bytes.
constexpr size_t kMaxUrlBytes = 8192;

// Parses and normalises `text`. Refuses, with the reason in *error (one
// phrase, no line break), anything but http and https, user information
// ("user@host"), an empty or malformed host, a port outside 1..65535,
// control characters and over-long text. Bytes that must be escaped
// (spaces, non-ASCII) are percent-escaped.
std::optional<Url> parseUrl(std::string_view text, std::string* error);

// Whether `a` and `b` have one origin: the same scheme, host and port.
bool sameOrigin(const Url& a, const Url& b);

// Whether the path (not the query) holds what servers read in different
// ways: an escaped '/' or '\' (%2F, %5C), which some decode before routing,
// or a segment that starts with ".." without being one (such as "..;" or
// "..%00"), which some take as a step up. parseUrl has already turned
// "%2e" into '.' and resolved the plain ".." segments.
bool hasAmbiguousPath(const Url& url);

// `reference` (absolute, or relative such as a redirect's Location)
// resolved against `base`, then parsed as parseUrl does.
std::optional<Url> resolveUrl(const Url& base, std::string_view reference, std::string* error);

}  // namespace gsadmin

#endif  // GSADMIN_REQUESTS_URL_H_
