#ifndef GSADMIN_SCRIPT_LUA_H_
#define GSADMIN_SCRIPT_LUA_H_

// The Lua 5.1 C API, with C linkage, for the files of src/script only.
extern "C" {
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>
}

#endif  // GSADMIN_SCRIPT_LUA_H_
