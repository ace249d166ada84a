// The routes the panel and the metrics answer, held against those
// docs/openapi.json describes, and the public listener's against
// docs/public-openapi.json: none served that is not described, none
// described that is not served. And the descriptions served are those files.

#include <gtest/gtest.h>
#include <httplib.h>

#include <nlohmann/json.hpp>
#include <regex>
#include <string>
#include <vector>

#include "panel/panel.h"
#include "support/session_harness.h"
#include "support/text_file.h"

namespace gsadmin::testing {
namespace {

using nlohmann::json;

struct DescribedRoute {
  std::string method;  // "GET", "POST"
  std::string path;    // a concrete path: "/api/reports/12"
  std::string template_;
};

std::string upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// The values a path parameter is tried with: its example, or each of its
// schema's enum.
std::vector<std::string> valuesOf(const json& parameter) {
  if (parameter.contains("example")) {
    const json& example = parameter["example"];
    return {example.is_string() ? example.get<std::string>() : example.dump()};
  }
  std::vector<std::string> values;
  for (const json& value : parameter["schema"].value("enum", json::array())) {
    values.push_back(value.get<std::string>());
  }
  return values;
}

// Each operation of the description as concrete paths, its parameters
// filled in.
std::vector<DescribedRoute> describedRoutes(const json& description) {
  std::vector<DescribedRoute> routes;
  for (const auto& [path, item] : description["paths"].items()) {
    for (const char* method : {"get", "post"}) {
      if (!item.contains(method)) continue;
      std::vector<std::string> paths = {path};
      for (const json& parameter : item[method].value("parameters", json::array())) {
        if (parameter["in"] != "path") continue;
        std::string slot = "{" + parameter["name"].get<std::string>() + "}";
        std::vector<std::string> filled;
        for (const std::string& partial : paths) {
          for (const std::string& value : valuesOf(parameter)) {
            std::string concrete = partial;
            concrete.replace(concrete.find(slot), slot.size(), value);
            filled.push_back(concrete);
          }
        }
        paths = filled;
      }
      for (const std::string& concrete : paths) routes.push_back({upper(method), concrete, path});
    }
  }
  return routes;
}

bool answers(const RouteEntry& served, const DescribedRoute& described) {
  return served.method == described.method &&
         std::regex_match(described.path, std::regex(served.pattern));
}

class HttpApiRoutesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PanelSettings settings;
    settings.http = ListenAddress{"127.0.0.1", 0};
    settings.metrics = ListenAddress{"127.0.0.1", 0};
    settings.publicAddress = ListenAddress{"127.0.0.1", 0};
    panel_ = std::make_unique<Panel>(std::move(settings));
    panel_->start(harness_.session(), nullptr);
  }
  void TearDown() override { panel_->stop(); }

  // The port of the console line "WHAT: http://127.0.0.1:PORT/".
  int portOf(const std::string& output, const std::string& what) {
    std::smatch found;
    if (!std::regex_search(output, found, std::regex(what + R"(: http://127\.0\.0\.1:(\d+)/)"))) {
      return 0;
    }
    return std::stoi(found[1]);
  }

  SessionHarness harness_;
  std::unique_ptr<Panel> panel_;
};

// Each route of `served` answers a path `described`, and each path
// described is answered by a route served.
void expectSameRoutes(const std::vector<RouteEntry>& served, const std::string& document) {
  std::vector<DescribedRoute> described = describedRoutes(json::parse(readSourceFile(document)));
  ASSERT_GT(described.size(), 5u);
  ASSERT_GT(served.size(), 5u);
  for (const DescribedRoute& route : described) {
    bool found = false;
    for (const RouteEntry& entry : served) found = found || answers(entry, route);
    EXPECT_TRUE(found) << route.method << " " << route.template_ << " (as " << route.path
                       << ") is described in " << document << " but not served";
  }
  for (const RouteEntry& entry : served) {
    bool found = false;
    for (const DescribedRoute& route : described) found = found || answers(entry, route);
    EXPECT_TRUE(found) << entry.method << " " << entry.pattern << " is served but not described in "
                       << document;
  }
}

TEST_F(HttpApiRoutesTest, EveryRouteServedIsDescribedAndEveryRouteDescribedIsServed) {
  expectSameRoutes(panel_->routes(), "docs/openapi.json");
  expectSameRoutes(panel_->publicRoutes(), "docs/public-openapi.json");
}

TEST_F(HttpApiRoutesTest, TheDescriptionsServedAreTheFilesWithoutALogin) {
  std::string output = harness_.output();
  struct Listener {
    const char* line;
    const char* document;
  } listeners[] = {{"Panel", "docs/openapi.json"}, {"Public", "docs/public-openapi.json"}};
  for (const Listener& listener : listeners) {
    int port = portOf(output, listener.line);
    ASSERT_GT(port, 0) << output;
    httplib::Client http("127.0.0.1", port);
    httplib::Result answer = http.Get("/api/openapi.json");
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 200);
    EXPECT_EQ(answer->get_header_value("Content-Type"), "application/json");
    EXPECT_TRUE(answer->body == readSourceFile(listener.document))
        << listener.line << ": the description served is not " << listener.document;
    EXPECT_EQ(http.Get("/openapi.json")->status, 404);
    EXPECT_EQ(http.Get("/public-openapi.json")->status, 404);
  }
}

}  // namespace
}  // namespace gsadmin::testing
