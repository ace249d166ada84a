#ifndef GSADMIN_SCRIPT_API_H_
#define GSADMIN_SCRIPT_API_H_

struct lua_State;

namespace gsadmin {

// Publishes the 34 API functions as globals of `state`, in table order.
void registerApi(lua_State* state);

// The number of functions registerApi publishes.
int apiFunctionCount();

// The name of the i-th function (0-based) in registration order.
const char* apiFunctionName(int index);

}  // namespace gsadmin

#endif  // GSADMIN_SCRIPT_API_H_
