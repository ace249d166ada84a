#ifndef GSADMIN_PANEL_ROUTE_ENTRY_H_
#define GSADMIN_PANEL_ROUTE_ENTRY_H_

#include <string>

namespace gsadmin {

// One route a server answers: its method and its pattern, a regular
// expression over the path.
struct RouteEntry {
  std::string method;  // "GET" or "POST"
  std::string pattern;
};

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_ROUTE_ENTRY_H_
