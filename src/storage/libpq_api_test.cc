// Loading libpq at run time: the functions found, loaded once for every
// thread, and a library that cannot serve refused in words.

#include "storage/libpq_api.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace gsadmin {
namespace {

TEST(LibPqApiTest, LoadsFunctionsThatWork) {
  std::string error;
  std::optional<LibPq> pq = loadLibPq(kLibPqSoname, &error);
  ASSERT_TRUE(pq) << error;
  EXPECT_EQ(error, "");
  // Parsing a URI needs no server: a call through the pointers that found it.
  char* parseError = nullptr;
  PQconninfoOption* options = pq->conninfoParse("postgresql://gs@db.invalid/x", &parseError);
  ASSERT_NE(options, nullptr);
  std::string user;
  for (const PQconninfoOption* option = options; option->keyword; ++option) {
    if (std::string(option->keyword) == "user" && option->val) user = option->val;
  }
  pq->conninfoFree(options);
  EXPECT_EQ(user, "gs");
}

TEST(LibPqApiTest, LoadedOnceForEveryThread) {
  const LibPq* first = libPq();
  ASSERT_NE(first, nullptr) << libPqError();
  EXPECT_EQ(libPqError(), "");
  const LibPq* other = nullptr;
  std::thread([&other] { other = libPq(); }).join();
  EXPECT_EQ(libPq(), first);
  EXPECT_EQ(other, first);
}

TEST(LibPqApiTest, RefusesWhatCannotServeInOneLine) {
  const struct {
    std::string soname;
    std::string reason;  // how the error starts
  } cases[] = {
      {"libgsadmin-absent.so.0", "cannot load libgsadmin-absent.so.0: "},
      {"libc.so.6", "libc.so.6 lacks PQ"},  // loads, but is not libpq
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_FALSE(loadLibPq(c.soname, &error)) << c.soname;
    EXPECT_EQ(error.rfind(c.reason, 0), 0u) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace gsadmin
