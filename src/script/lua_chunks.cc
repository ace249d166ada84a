#include "script/lua_chunks.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "script/lua.h"

namespace gsadmin {
namespace {

// Wraps another reader and ends the chunk at once when its first piece
// starts with the precompiled signature; lua_load then compiles an empty
// chunk, which loadTextChunk throws away.
struct TextOnlyReader {
  lua_Reader inner;
  void* data;
  bool first = true;
  bool binary = false;
};

const char* readTextOnly(lua_State* L, void* data, size_t* size) {
  auto* reader = static_cast<TextOnlyReader*>(data);
  if (reader->binary) {
    *size = 0;
    return nullptr;
  }
  const char* piece = reader->inner(L, reader->data, size);
  if (reader->first) {
    // Lua decides between text and binary on this byte alone.
    reader->first = false;
    if (piece != nullptr && *size > 0 && piece[0] == LUA_SIGNATURE[0]) {
      reader->binary = true;
      *size = 0;
      return nullptr;
    }
  }
  return piece;
}

// [] -> [function] or [message], as lua_load, but text only.
int loadTextChunk(lua_State* L, lua_Reader reader, void* data, const char* chunkName) {
  TextOnlyReader textOnly{reader, data};
  int status = lua_load(L, readTextOnly, &textOnly, chunkName);
  if (!textOnly.binary) return status;
  lua_pop(L, 1);  // the empty chunk, or the message of its failure
  lua_pushstring(L, kBinaryChunkRefused);
  return LUA_ERRSYNTAX;
}

struct BufferReader {
  const char* text;
  size_t size;
};

const char* readBuffer(lua_State*, void* data, size_t* size) {
  auto* buffer = static_cast<BufferReader*>(data);
  if (buffer->size == 0) return nullptr;
  *size = buffer->size;
  buffer->size = 0;
  return buffer->text;
}

struct FileReader {
  FILE* file;
  bool extraLine;  // the skipped '#' line still counts, so line numbers stay right
  char buffer[LUAL_BUFFERSIZE];
};

const char* readFile(lua_State*, void* data, size_t* size) {
  auto* reader = static_cast<FileReader*>(data);
  if (reader->extraLine) {
    reader->extraLine = false;
    *size = 1;
    return "\n";
  }
  if (std::feof(reader->file)) return nullptr;
  *size = std::fread(reader->buffer, 1, sizeof reader->buffer, reader->file);
  return *size > 0 ? reader->buffer : nullptr;
}

// Every link followed: the whole name may be one.
constexpr size_t kTrustWholeName = SIZE_MAX;

// The directory `name` in `directory`, for lookups only (O_PATH opens
// nothing, so no device or FIFO is touched): -1 with ELOOP when it is a
// symbolic link, ENOTDIR when it is no directory.
int openDirectoryWithoutLink(int directory, const char* name) {
  int fd = openat(directory, name, O_PATH | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat info {};
  int error = 0;
  if (fstat(fd, &info) != 0) {
    error = errno;
  } else if (S_ISLNK(info.st_mode)) {
    error = ELOOP;
  } else if (!S_ISDIR(info.st_mode)) {
    error = ENOTDIR;
  }
  if (error == 0) return fd;
  close(fd);
  errno = error;
  return -1;
}

// `fileName` opened with `flags`, from the directory its first
// `trustedBytes` bytes name, one component at a time, none of them followed
// if it is a symbolic link (ELOOP then). -1 with errno set on failure.
// Allocates nothing, so no C++ exception can cross the Lua call.
int openWithoutLinksBelow(const char* fileName, size_t trustedBytes, int flags) {
  char component[PATH_MAX];
  if (trustedBytes > std::strlen(fileName)) {
    errno = ENOENT;
    return -1;
  }
  if (trustedBytes >= sizeof component) {
    errno = ENAMETOOLONG;
    return -1;
  }
  std::memcpy(component, fileName, trustedBytes);
  component[trustedBytes] = '\0';
  int directory = open(trustedBytes == 0 ? "." : component, O_PATH | O_DIRECTORY | O_CLOEXEC);
  const char* rest = fileName + trustedBytes;
  while (directory >= 0) {
    const char* slash = std::strchr(rest, '/');
    size_t length = slash == nullptr ? std::strlen(rest) : static_cast<size_t>(slash - rest);
    int next = -1;
    if (length < sizeof component) {
      std::memcpy(component, rest, length);
      component[length] = '\0';
      next = slash == nullptr ? openat(directory, component, flags | O_NOFOLLOW)
                              : openDirectoryWithoutLink(directory, component);
    } else {
      errno = ENAMETOOLONG;
    }
    int error = errno;
    close(directory);
    errno = error;
    if (slash == nullptr) return next;
    directory = next;
    rest = slash + 1;
  }
  return -1;
}

// The file opened for reading when it is a regular file; null with errno
// set otherwise. Opening does not block on a FIFO.
FILE* openRegularFile(const char* fileName, size_t trustedBytes) {
  int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC;
  int fd = trustedBytes == kTrustWholeName ? open(fileName, flags)
                                           : openWithoutLinksBelow(fileName, trustedBytes, flags);
  if (fd < 0) return nullptr;
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    int error = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    close(fd);
    errno = error;
    return nullptr;
  }
  FILE* file = fdopen(fd, "r");
  if (file == nullptr) close(fd);
  return file;
}

// Skips a first line that starts with '#', as lua.c's loader does.
bool skipCommentLine(FILE* file) {
  int c = std::getc(file);
  bool skipped = c == '#';
  if (skipped) {
    while ((c = std::getc(file)) != EOF && c != '\n') {
    }
    if (c == '\n') c = std::getc(file);
  }
  if (c != EOF) std::ungetc(c, file);
  return skipped;
}

// load_aux of the base library: the chunk, or nil and the message.
int loadResult(lua_State* L, int status) {
  if (status == 0) return 1;
  lua_pushnil(L);
  lua_insert(L, -2);
  return 2;
}

// loadstring(text [, chunkname])
int textLoadstring(lua_State* L) {
  size_t size = 0;
  const char* text = luaL_checklstring(L, 1, &size);
  const char* chunkName = luaL_optstring(L, 2, text);
  return loadResult(L, loadTextBuffer(L, text, size, chunkName));
}

// The reader of load: calls the function at 1 for each piece and keeps the
// piece in slot 3 while Lua reads it.
const char* readPieces(lua_State* L, void*, size_t* size) {
  luaL_checkstack(L, 2, "too many nested functions");
  lua_pushvalue(L, 1);
  lua_call(L, 0, 1);
  if (lua_isnil(L, -1)) {
    *size = 0;
    return nullptr;
  }
  if (!lua_isstring(L, -1)) luaL_error(L, "reader function must return a string");
  lua_replace(L, 3);
  return lua_tolstring(L, 3, size);
}

// load(function [, chunkname])
int textLoad(lua_State* L) {
  luaL_checktype(L, 1, LUA_TFUNCTION);
  const char* chunkName = luaL_optstring(L, 2, "=(load)");
  lua_settop(L, 3);  // [function, name, piece]
  return loadResult(L, loadTextChunk(L, readPieces, nullptr, chunkName));
}

// loadfile(filename)
int textLoadfile(lua_State* L) {
  const char* fileName = luaL_checkstring(L, 1);
  return loadResult(L, loadTextFile(L, fileName));
}

// dofile(filename)
int textDofile(lua_State* L) {
  const char* fileName = luaL_checkstring(L, 1);
  int base = lua_gettop(L);
  if (loadTextFile(L, fileName) != 0) lua_error(L);
  lua_call(L, 0, LUA_MULTRET);
  return lua_gettop(L) - base;
}

constexpr luaL_Reg kTextOnlyLoaders[] = {
    {"loadstring", textLoadstring},
    {"load", textLoad},
    {"loadfile", textLoadfile},
    {"dofile", textDofile},
};

}  // namespace

int loadTextBuffer(lua_State* L, const char* text, size_t size, const char* chunkName) {
  BufferReader buffer{text, size};
  return loadTextChunk(L, readBuffer, &buffer, chunkName);
}

int loadTextFile(lua_State* L, const char* fileName) {
  return loadTextFileBelow(L, fileName, kTrustWholeName);
}

int loadTextFileBelow(lua_State* L, const char* fileName, size_t trustedBytes) {
  // Everything that may raise happens before the file is open or after it
  // is closed; lua_load itself runs protected.
  lua_pushfstring(L, "@%s", fileName);  // [name]
  FileReader reader{};
  reader.file = openRegularFile(fileName, trustedBytes);
  if (reader.file == nullptr) {
    const char* why = std::strerror(errno);
    lua_pushfstring(L, "cannot open %s: %s", fileName, why);
    lua_remove(L, -2);
    return LUA_ERRFILE;
  }
  reader.extraLine = skipCommentLine(reader.file);
  int status = loadTextChunk(L, readFile, &reader, lua_tostring(L, -1));
  bool readFailed = std::ferror(reader.file) != 0;
  std::fclose(reader.file);
  if (readFailed) {
    lua_pop(L, 1);  // [name]
    lua_pushfstring(L, "cannot read %s", fileName);
    status = LUA_ERRFILE;
  }
  lua_remove(L, -2);  // [function] or [message]
  return status;
}

void openTextOnlyLoading(lua_State* L) {
  for (const luaL_Reg& loader : kTextOnlyLoaders) {
    lua_pushcfunction(L, loader.func);
    lua_setfield(L, LUA_GLOBALSINDEX, loader.name);
  }
  lua_getfield(L, LUA_GLOBALSINDEX, "string");  // [string]
  if (lua_istable(L, -1)) {
    lua_pushnil(L);
    lua_setfield(L, -2, "dump");
  }
  lua_pop(L, 1);
}

}  // namespace gsadmin
