#ifndef GSADMIN_SCRIPT_SCRIPT_CHUNK_H_
#define GSADMIN_SCRIPT_SCRIPT_CHUNK_H_

#include <string>
#include <string_view>
#include <vector>

struct lua_State;

namespace gsadmin {

// One field of a table a console chunk returned, as tostring gives it.
struct ChunkTableField {
  bool numericKey = false;
  double keyNumber = 0;
  std::string key;
  std::string value;
};

// What runConsoleChunk works on; the vectors belong to the caller of the
// protected call, so nothing C++ owns lives in a frame an error jumps over.
struct ChunkRequest {
  std::string_view code;
  std::vector<std::string>* results;
  std::vector<ChunkTableField> fields;  // scratch for one table result
};

// Runs inside a protected call: [ChunkRequest*] -> [] compiles the code
// (text only, as chunk "console"), runs it and appends each result to
// *results as tostring gives it; a table result becomes its fields, one
// level deep, keys and values as tostring gives them, numeric keys first in
// numeric order and then the others in byte order of their text:
// "{1=a, 2=b, name=Ann}" ("{}" when it has none).
int runConsoleChunk(lua_State* L);

}  // namespace gsadmin

#endif  // GSADMIN_SCRIPT_SCRIPT_CHUNK_H_
