#include "panel/route_table.h"

#include <utility>

namespace gsadmin {

void RouteTable::get(const std::string& pattern, httplib::Server::Handler handler) {
  entries_.push_back({"GET", pattern});
  server_.Get(pattern, std::move(handler));
}

void RouteTable::post(const std::string& pattern, httplib::Server::Handler handler) {
  entries_.push_back({"POST", pattern});
  server_.Post(pattern, std::move(handler));
}

}  // namespace gsadmin
