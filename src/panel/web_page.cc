#include <regex>

#include "panel/assets.h"
#include "panel/web_context.h"

namespace gsadmin {
namespace {

// `path` as a route pattern matching only itself: the server's patterns
// are regular expressions, in which the dots of file names would match any
// character.
std::string exactPattern(const std::string& path) {
  return std::regex_replace(path, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)");
}

void serve(RouteTable& server, const std::string& path, const PanelAsset& asset) {
  server.get(exactPattern(path), [&asset](const httplib::Request&, httplib::Response& response) {
    response.set_header("Cache-Control", "no-cache");
    response.set_content(asset.content.data(), asset.content.size(), std::string(asset.type));
  });
}

constexpr std::string_view kApiDescription = "openapi.json";

}  // namespace

void addPageRoutes(RouteTable& server, WebContext&) {
  // The files are served as /NAME, the page also as /, and the API's
  // description beside the API.
  for (const PanelAsset& asset : panelAssets()) {
    if (asset.name == kApiDescription) {
      serve(server, "/api/" + std::string(asset.name), asset);
      continue;
    }
    serve(server, "/" + std::string(asset.name), asset);
    if (asset.name == "index.html") serve(server, "/", asset);
  }
}

}  // namespace gsadmin
