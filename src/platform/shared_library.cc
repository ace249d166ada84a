#include "platform/shared_library.h"

#include <dlfcn.h>

namespace gsadmin {
namespace {

// dlerror()'s text (per thread), or `fallback` when it has none.
std::string loaderError(const char* fallback) {
  const char* text = dlerror();
  std::string reason = text != nullptr ? text : fallback;
  for (char& c : reason) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return reason;
}

}  // namespace

std::optional<SharedLibrary> SharedLibrary::open(const std::string& soname, std::string* error) {
  dlerror();  // forget an earlier failure
  void* handle = dlopen(soname.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    *error = "cannot load " + soname + ": " + loaderError("not found");
    return std::nullopt;
  }
  return SharedLibrary(soname, handle);
}

void* SharedLibrary::symbol(const char* name, std::string* error) const {
  dlerror();
  void* address = dlsym(handle_, name);
  if (address == nullptr) *error = soname_ + " lacks " + name;
  return address;
}

}  // namespace gsadmin
