#ifndef GSADMIN_SCRIPT_LUA_CHUNKS_H_
#define GSADMIN_SCRIPT_LUA_CHUNKS_H_

#include <cstddef>

struct lua_State;

namespace gsadmin {

// Loading Lua chunks from source text only. Lua 5.1 also loads precompiled
// chunks, and its checks of their bytecode can be got past: a doctored one
// reads and writes memory outside the state. Every chunk of a script or of
// the operator is loaded through these, which refuse a chunk whose first
// byte is the precompiled signature's, before any of it is undumped.

// The message of a refused precompiled chunk.
inline constexpr const char kBinaryChunkRefused[] = "attempt to load a binary chunk";

// As luaL_loadbuffer, text only: [] -> [function] and 0, or [message] and
// an error status (LUA_ERRSYNTAX for a precompiled chunk). May raise only
// when the message itself does not fit in memory.
int loadTextBuffer(lua_State* L, const char* text, size_t size, const char* chunkName);

// As luaL_loadfile, text only, and never from standard input: a first line
// that starts with '#' is skipped; anything but a regular file is refused
// (so a FIFO never blocks the client). [] -> [function] or [message].
int loadTextFile(lua_State* L, const char* fileName);

// As loadTextFile, but links are followed only within the first
// `trustedBytes` bytes of `fileName` (a directory the admin chose, ending in
// '/'): every component after them, directories and the file alike, is
// opened in turn without following a symbolic link, and one that is a link
// is refused.
int loadTextFileBelow(lua_State* L, const char* fileName, size_t trustedBytes);

// [] -> [] replaces the base library's loadstring, load, loadfile and
// dofile in the globals with versions that load text only (loadfile and
// dofile need a file name), and removes string.dump. Raises when out of
// memory: call it inside the protected setup of the state.
void openTextOnlyLoading(lua_State* L);

}  // namespace gsadmin

#endif  // GSADMIN_SCRIPT_LUA_CHUNKS_H_
