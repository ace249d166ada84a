#ifndef GSADMIN_SCRIPT_LUA_COPY_H_
#define GSADMIN_SCRIPT_LUA_COPY_H_

#include <cstddef>

struct lua_State;

namespace gsadmin {

// Copying values from one Lua state to another (each script has its own):
// nil, booleans, numbers, strings, and tables of these, keys included. A
// table's metatable is not copied, and a table reached twice is copied
// twice.

// Tables nest at most this deep: a table holding a table is depth 2.
inline constexpr int kMaxCopyDepth = 16;
// The most values (keys and values counted apart) one LuaCopy makes, so that
// a table shared many times over cannot make a copy without end.
inline constexpr size_t kMaxCopyValues = size_t{1} << 20;
// Free stack slots the source state needs for a copy (lua_checkstack).
inline constexpr int kCopySourceSlots = 2 * kMaxCopyDepth + 4;

// One copy from `from` to `to`, which may cover several values.
struct LuaCopy {
  lua_State* from;
  lua_State* to;
  size_t valuesLeft = kMaxCopyValues;
};

// Pushes onto copy->to a copy of the value at `index` of copy->from.
// Returns false, with both stacks as they were, for a value that cannot be
// copied: a function, a userdata, a thread, a table nested deeper than
// kMaxCopyDepth or holding itself, or more than the values left.
//
// Runs inside a protected call of copy->to, where it raises when out of
// memory; copy->from's stack may then hold values above its old top, which
// the caller drops. It never raises in, allocates in or runs code of
// copy->from, which must not run meanwhile and must have kCopySourceSlots
// free slots.
bool pushCopy(LuaCopy* copy, int index);

}  // namespace gsadmin

#endif  // GSADMIN_SCRIPT_LUA_COPY_H_
