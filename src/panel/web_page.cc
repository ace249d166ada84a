#include "panel/web_context.h"

namespace gsadmin {
namespace {

// A first page: until the full panel ships, it points at the API.
constexpr char kIndexHtml[] = R"(<!doctype html>
<html lang="en"><head><meta charset="utf-8"><title>gsadmin</title></head>
<body><h1>gsadmin</h1><p>The panel's JSON API is served under /api/; see docs/http-api.md.</p>
</body></html>
)";

}  // namespace

void addPageRoutes(httplib::Server& server, WebContext&) {
  server.Get("/", [](const httplib::Request&, httplib::Response& response) {
    response.set_content(kIndexHtml, "text/html; charset=utf-8");
  });
}

}  // namespace gsadmin
