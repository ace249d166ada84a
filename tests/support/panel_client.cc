#include "support/panel_client.h"

#include <nlohmann/json.hpp>
#include <regex>

#include "panel/password_hash.h"

namespace gsadmin::testing {

using nlohmann::json;

// A users file in `dir` with alice (level 4) and mia (level 1), both with
// the password "secret"; its path.
std::string writeUsers(const TempDir& dir, mode_t mode) {
  std::string hash = *hashPassword("secret");
  dir.write("users", "alice 4 " + hash + "\nmia 1 " + hash + "\n");
  std::string path = dir.path() + "/users";
  chmod(path.c_str(), mode);
  return path;
}

// The port of the client's "Panel: ..." or "Metrics: ..." line; 0 when none came.
int portOf(ClientProcess& client, const std::string& what) {
  std::optional<std::string> line = client.waitForLine(what + ": ", 10000);
  std::smatch match;
  if (!line || !std::regex_search(*line, match, std::regex(":([0-9]+)/"))) return 0;
  return std::stoi(match[1]);
}

std::optional<WebUser> logIn(httplib::Client& http, const std::string& name,
                             const std::string& password, int* status) {
  json body = {{"name", name}, {"password", password}};
  httplib::Result result = http.Post("/api/login", body.dump(), "application/json");
  if (status) *status = result ? result->status : -1;
  if (!result || result->status != 200) return std::nullopt;
  std::string cookie = result->get_header_value("Set-Cookie");
  return WebUser{cookie.substr(0, cookie.find(';')),
                 json::parse(result->body)["csrf"].get<std::string>()};
}

std::string cookiesOf(const httplib::Result& result) {
  std::string cookies;
  for (const auto& [name, value] : result->headers) {
    if (name != "Set-Cookie") continue;
    if (!cookies.empty()) cookies += "; ";
    cookies += value.substr(0, value.find(';'));
  }
  return cookies;
}

httplib::Headers headersOf(const WebUser& user, bool withCsrf) {
  httplib::Headers headers = {{"Cookie", user.cookie}};
  if (withCsrf) headers.emplace("X-CSRF-Token", user.csrf);
  return headers;
}

// Reads the event stream until `needle` shows; false when it never did.
bool streamShows(httplib::Client& http, const WebUser& user, const std::string& needle) {
  std::string seen;
  bool found = false;
  http.Get("/api/events", headersOf(user, false), [&](const char* data, size_t length) {
    seen.append(data, length);
    found = seen.find(needle) != std::string::npos;
    return !found;
  });
  return found;
}

void PanelEndToEndTest::startClient(std::vector<std::string> options, bool moderation) {
  if (!moderation) options.push_back("--no-moderation");
  options.insert(options.end(),
                 {"--no-input", "127.0.0.1", std::to_string(peer_.port()), "Admin", "pw"});
  client_ = std::make_unique<ClientProcess>(options, std::nullopt);
}

}  // namespace gsadmin::testing
