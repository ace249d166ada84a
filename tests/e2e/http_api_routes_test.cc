// The routes the panel and the metrics answer, held against those
// docs/openapi.json describes: none served that is not described, none
// described that is not served. And the description the panel serves is
// that file.

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
    panel_ = std::make_unique<Panel>(std::move(settings));
    panel_->start(harness_.session(), nullptr);
  }
  void TearDown() override { panel_->stop(); }

  int panelPort() {
    std::smatch found;
    std::string output = harness_.output();
    if (!std::regex_search(output, found, std::regex(R"(Panel: http://127\.0\.0\.1:(\d+)/)"))) {
      return 0;
    }
    return std::stoi(found[1]);
  }

  SessionHarness harness_;
  std::unique_ptr<Panel> panel_;
};

TEST_F(HttpApiRoutesTest, EveryRouteServedIsDescribedAndEveryRouteDescribedIsServed) {
  json description = json::parse(readSourceFile("docs/openapi.json"));
  std::vector<DescribedRoute> described = describedRoutes(description);
  std::vector<RouteEntry> served = panel_->routes();
  ASSERT_GT(described.size(), 20u);
  ASSERT_GT(served.size(), 20u);
  for (const DescribedRoute& route : described) {
    bool found = false;
    for (const RouteEntry& entry : served) found = found || answers(entry, route);
    EXPECT_TRUE(found) << route.method << " " << route.template_ << " (as " << route.path
                       << ") is described but not served";
  }
  for (const RouteEntry& entry : served) {
    bool found = false;
    for (const DescribedRoute& route : described) found = found || answers(entry, route);
    EXPECT_TRUE(found) << entry.method << " " << entry.pattern << " is served but not described";
  }
}

TEST_F(HttpApiRoutesTest, TheDescriptionServedIsTheFileWithoutALogin) {
  int port = panelPort();
  ASSERT_GT(port, 0);
  httplib::Client http("127.0.0.1", port);
  httplib::Result answer = http.Get("/api/openapi.json");
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 200);
  EXPECT_EQ(answer->get_header_value("Content-Type"), "application/json");
  EXPECT_TRUE(answer->body == readSourceFile("docs/openapi.json"))
      << "the description served is not docs/openapi.json as it is now";
  EXPECT_EQ(http.Get("/openapi.json")->status, 404);
}

}  // namespace
}  // namespace gsadmin::testing
