#ifndef GSADMIN_SCRIPT_API_H_
#define GSADMIN_SCRIPT_API_H_

struct lua_State;

namespace gsadmin {

// Publishes the 32 API functions as globals of `state`, in table order, and
// replaces the base library's print with one that writes to the console.
void registerApi(lua_State* state);

// The number of functions registerApi publishes.
int apiFunctionCount();

// The name of the i-th function (0-based) in registration order.
const char* apiFunctionName(int index);

}  // namespace gsadmin

#endif  // GSADMIN_SCRIPT_API_H_
