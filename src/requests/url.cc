#include "requests/url.h"

#include <cctype>
#include <vector>

namespace gsadmin {
namespace {

bool isHex(char c) {
  return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

int hexValue(char c) {
  return c <= '9' ? c - '0' : (std::tolower(static_cast<unsigned char>(c)) - 'a' + 10);
}

bool isUnreserved(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '.' || c == '_' ||
         c == '~';
}

// Characters a path or query may hold as they are; every other printable
// byte is escaped, so that what is sent is what was checked.
bool isPlain(char c) {
  if (isUnreserved(c)) return true;
  switch (c) {
    case '!':
    case '$':
    case '&':
    case '\'':
    case '(':
    case ')':
    case '*':
    case '+':
    case ',':
    case ';':
    case '=':
    case ':':
    case '@':
    case '/':
    case '?':
    case '%':
      return true;
    default:
      return false;
  }
}

std::string lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// Decodes escapes of unreserved characters ("%2e" is "."), writes the others
// in upper case and escapes what must be. False on a broken escape or a
// control character.
bool normaliseEscapes(std::string_view in, std::string* out) {
  static const char kHex[] = "0123456789ABCDEF";
  for (size_t i = 0; i < in.size(); ++i) {
    auto byte = static_cast<unsigned char>(in[i]);
    if (byte < 0x20 || byte == 0x7f) return false;
    if (in[i] == '%') {
      if (i + 2 >= in.size() || !isHex(in[i + 1]) || !isHex(in[i + 2])) return false;
      char decoded = static_cast<char>(hexValue(in[i + 1]) * 16 + hexValue(in[i + 2]));
      if (isUnreserved(decoded)) {
        out->push_back(decoded);
      } else {
        out->push_back('%');
        out->push_back(kHex[static_cast<unsigned char>(decoded) >> 4]);
        out->push_back(kHex[static_cast<unsigned char>(decoded) & 15]);
      }
      i += 2;
    } else if (isPlain(in[i])) {
      out->push_back(in[i]);
    } else {
      out->push_back('%');
      out->push_back(kHex[byte >> 4]);
      out->push_back(kHex[byte & 15]);
    }
  }
  return true;
}

// RFC 3986's remove_dot_segments over a path that starts with '/'.
std::string removeDotSegments(std::string_view path) {
  std::vector<std::string_view> kept;
  size_t at = 1;
  bool endsInDirectory = false;
  while (at <= path.size()) {
    size_t slash = path.find('/', at);
    std::string_view segment =
        path.substr(at, slash == std::string_view::npos ? path.npos : slash - at);
    endsInDirectory = false;
    if (segment == "..") {
      if (!kept.empty()) kept.pop_back();
      endsInDirectory = true;
    } else if (segment == ".") {
      endsInDirectory = true;
    } else {
      kept.push_back(segment);
    }
    if (slash == std::string_view::npos) break;
    at = slash + 1;
  }
  std::string out;
  for (std::string_view segment : kept) {
    out += '/';
    out += segment;
  }
  if (out.empty() || endsInDirectory) out += '/';
  return out;
}

bool parseHost(std::string_view host, Url* url, std::string* error) {
  if (host.empty()) {
    *error = "no host";
    return false;
  }
  if (host.front() == '[') {
    if (host.back() != ']' || host.size() < 3) {
      *error = "malformed IPv6 address";
      return false;
    }
    for (char c : host.substr(1, host.size() - 2)) {
      if (!isHex(c) && c != ':' && c != '.') {
        *error = "malformed IPv6 address";
        return false;
      }
    }
  } else {
    for (char c : host) {
      if (std::isalnum(static_cast<unsigned char>(c)) == 0 && c != '-' && c != '.') {
        *error = "malformed host";
        return false;
      }
    }
  }
  url->host = lower(host);
  return true;
}

bool parsePort(std::string_view digits, Url* url, std::string* error) {
  if (digits.empty()) return true;  // "host:" is the scheme's port
  uint32_t port = 0;
  for (char c : digits) {
    if (c < '0' || c > '9' || port > 65535) {
      *error = "malformed port";
      return false;
    }
    port = port * 10 + static_cast<uint32_t>(c - '0');
  }
  if (port == 0 || port > 65535) {
    *error = "port outside 1..65535";
    return false;
  }
  url->port = static_cast<uint16_t>(port);
  return true;
}

bool parseAuthority(std::string_view authority, Url* url, std::string* error) {
  if (authority.find('@') != std::string_view::npos) {
    *error = "user information (user@host) is not allowed";
    return false;
  }
  size_t colon = authority.rfind(':');
  size_t bracket = authority.rfind(']');
  if (colon != std::string_view::npos && (bracket == std::string_view::npos || colon > bracket)) {
    return parseHost(authority.substr(0, colon), url, error) &&
           parsePort(authority.substr(colon + 1), url, error);
  }
  return parseHost(authority, url, error);
}

}  // namespace

std::string Url::text() const {
  bool ownPort = (scheme == "http" && port == 80) || (scheme == "https" && port == 443);
  return scheme + "://" + host + (ownPort ? "" : ":" + std::to_string(port)) + target;
}

std::optional<Url> parseUrl(std::string_view text, std::string* error) {
  if (text.size() > kMaxUrlBytes) {
    *error = "URL over " + std::to_string(kMaxUrlBytes) + " bytes";
    return std::nullopt;
  }
  size_t schemeEnd = text.find("://");
  std::string scheme = lower(text.substr(0, schemeEnd == text.npos ? 0 : schemeEnd));
  if (scheme != "http" && scheme != "https") {
    *error = "not an http:// or https:// URL";
    return std::nullopt;
  }
  Url url;
  url.scheme = scheme;
  url.port = scheme == "http" ? 80 : 443;
  std::string_view rest = text.substr(schemeEnd + 3);
  size_t authorityEnd = rest.find_first_of("/?#\\");
  if (!parseAuthority(rest.substr(0, authorityEnd), &url, error)) return std::nullopt;
  std::string_view target = authorityEnd == rest.npos ? "" : rest.substr(authorityEnd);
  target = target.substr(0, target.find('#'));
  size_t queryAt = target.find('?');
  std::string path;
  std::string query;
  if (!normaliseEscapes(target.substr(0, queryAt), &path) ||
      (queryAt != target.npos && !normaliseEscapes(target.substr(queryAt), &query))) {
    *error = "malformed escape or control character";
    return std::nullopt;
  }
  if (path.empty() || path.front() != '/') path.insert(path.begin(), '/');
  url.target = removeDotSegments(path) + query;
  return url;
}

bool sameOrigin(const Url& a, const Url& b) {
  return a.scheme == b.scheme && a.host == b.host && a.port == b.port;
}

bool hasAmbiguousPath(const Url& url) {
  std::string path = lower(std::string_view(url.target).substr(0, url.target.find('?')));
  if (path.find("%2f") != std::string::npos || path.find("%5c") != std::string::npos) return true;
  // The plain ".." segments are resolved already: any left is another spelling.
  return path.find("/..") != std::string::npos;
}

std::optional<Url> resolveUrl(const Url& base, std::string_view reference, std::string* error) {
  if (reference.find("://") != std::string_view::npos &&
      reference.find("://") < reference.find_first_of("/?#")) {
    return parseUrl(reference, error);
  }
  std::string origin = base.scheme + "://" + base.host + ":" + std::to_string(base.port);
  if (reference.substr(0, 2) == "//")
    return parseUrl(base.scheme + ":" + std::string(reference), error);
  if (!reference.empty() && reference.front() == '/')
    return parseUrl(origin + std::string(reference), error);
  std::string_view basePath = std::string_view(base.target).substr(0, base.target.find('?'));
  if (reference.empty() || reference.front() == '?' || reference.front() == '#') {
    return parseUrl(origin + std::string(basePath) + std::string(reference), error);
  }
  std::string directory(basePath.substr(0, basePath.rfind('/') + 1));
  return parseUrl(origin + directory + std::string(reference), error);
}

}  // namespace gsadmin
