#ifndef GSADMIN_PANEL_ROUTE_TABLE_H_
#define GSADMIN_PANEL_ROUTE_TABLE_H_

#include <httplib.h>

#include <string>
#include <vector>

#include "panel/route_entry.h"

namespace gsadmin {

// Where a server's routes are added. Each is kept as it is added, so that
// the routes served can be held against those documented. Refers to the
// server it adds to, which must outlive it.
class RouteTable {
 public:
  explicit RouteTable(httplib::Server& server) : server_(server) {}
  RouteTable(const RouteTable&) = delete;
  RouteTable& operator=(const RouteTable&) = delete;

  void get(const std::string& pattern, httplib::Server::Handler handler);
  void post(const std::string& pattern, httplib::Server::Handler handler);
  // For what is not a route: default headers, error and exception handlers.
  httplib::Server& server() { return server_; }
  // Every route added, in order.
  const std::vector<RouteEntry>& entries() const { return entries_; }

 private:
  httplib::Server& server_;
  std::vector<RouteEntry> entries_;
};

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_ROUTE_TABLE_H_
