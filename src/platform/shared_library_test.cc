// Opening a shared library at run time and finding its functions.

#include "platform/shared_library.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>

namespace gsadmin {
namespace {

TEST(SharedLibraryTest, FindsFunctionsThatCanBeCalled) {
  std::string error;
  std::optional<SharedLibrary> libc = SharedLibrary::open("libc.so.6", &error);
  ASSERT_TRUE(libc) << error;
  EXPECT_EQ(libc->soname(), "libc.so.6");
  size_t (*length)(const char*) = nullptr;
  ASSERT_TRUE(libc->find("strlen", &length, &error)) << error;
  EXPECT_EQ(length("loaded"), 6u);
  // A copy finds through the same handle.
  SharedLibrary copy = *libc;
  int (*compare)(const char*, const char*) = nullptr;
  ASSERT_TRUE(copy.find("strcmp", &compare, &error)) << error;
  EXPECT_EQ(compare("a", "a"), 0);
  EXPECT_EQ(error, "");
}

TEST(SharedLibraryTest, SaysWhatIsMissingInOneLine) {
  std::string error;
  EXPECT_FALSE(SharedLibrary::open("libgsadmin-absent.so.0", &error));
  EXPECT_EQ(error.rfind("cannot load libgsadmin-absent.so.0: ", 0), 0u) << error;
  EXPECT_EQ(error.find('\n'), std::string::npos) << error;

  std::optional<SharedLibrary> libc = SharedLibrary::open("libc.so.6", &error);
  ASSERT_TRUE(libc) << error;
  void (*absent)() = reinterpret_cast<void (*)()>(1);
  EXPECT_FALSE(libc->find("gsadmin_absent_function", &absent, &error));
  EXPECT_EQ(absent, nullptr);
  EXPECT_EQ(error, "libc.so.6 lacks gsadmin_absent_function");
}

}  // namespace
}  // namespace gsadmin
