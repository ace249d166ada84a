#ifndef GSADMIN_PLATFORM_SHARED_LIBRARY_H_
#define GSADMIN_PLATFORM_SHARED_LIBRARY_H_

#include <optional>
#include <string>

namespace gsadmin {

// A shared library opened at run time (dlopen), for libraries that most
// runs never use: loading them at start costs memory in every run. A
// library once opened stays loaded until the process ends, so the functions
// found in it stay valid on every thread; copies share the one handle.
class SharedLibrary {
 public:
  // Opens `soname` with every symbol bound at once and none of them
  // visible to later loads; nothing, with the one-line reason
  // "cannot load <soname>: <why>" in *error, when it cannot be opened.
  static std::optional<SharedLibrary> open(const std::string& soname, std::string* error);

  // Sets *function to the function `name` of the library, which must be of
  // type F; false, with "<soname> lacks <name>" in *error, when the library
  // has no such symbol.
  template <typename F>
  bool find(const char* name, F** function, std::string* error) const {
    void* address = symbol(name, error);
    // A function's address as dlsym gives it: POSIX makes the cast valid.
    *function = reinterpret_cast<F*>(address);
    return address != nullptr;
  }

  const std::string& soname() const { return soname_; }

 private:
  SharedLibrary(std::string soname, void* handle) : soname_(std::move(soname)), handle_(handle) {}
  void* symbol(const char* name, std::string* error) const;

  std::string soname_;
  void* handle_;  // never closed
};

}  // namespace gsadmin

#endif  // GSADMIN_PLATFORM_SHARED_LIBRARY_H_
