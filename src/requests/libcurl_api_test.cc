// Loading libcurl at run time: the functions found (the variadic ones
// too), loaded and set up once for every thread, and a library that
// cannot serve refused in words.

#include "requests/libcurl_api.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace gsadmin {
namespace {

TEST(LibCurlApiTest, LoadsFunctionsThatWork) {
  const LibCurl* curl = libCurl();
  ASSERT_NE(curl, nullptr) << libCurlError();
  CURL* easy = curl->easy_init();
  ASSERT_NE(easy, nullptr);
  // A value through the variadic setter comes back through the variadic
  // getter.
  int marker = 0;
  EXPECT_EQ(curl->easy_setopt(easy, CURLOPT_PRIVATE, &marker), CURLE_OK);
  char* back = nullptr;
  EXPECT_EQ(curl->easy_getinfo(easy, CURLINFO_PRIVATE, &back), CURLE_OK);
  EXPECT_EQ(back, reinterpret_cast<char*>(&marker));
  curl->easy_cleanup(easy);
  CURLM* multi = curl->multi_init();
  ASSERT_NE(multi, nullptr);
  EXPECT_EQ(curl->multi_setopt(multi, CURLMOPT_MAXCONNECTS, 4L), CURLM_OK);
  curl->multi_cleanup(multi);
  EXPECT_STRNE(curl->easy_strerror(CURLE_OPERATION_TIMEDOUT), "");
}

TEST(LibCurlApiTest, LoadedOnceForEveryThread) {
  const LibCurl* first = libCurl();
  ASSERT_NE(first, nullptr) << libCurlError();
  EXPECT_EQ(libCurlError(), "");
  const LibCurl* other = nullptr;
  std::thread([&other] { other = libCurl(); }).join();
  EXPECT_EQ(libCurl(), first);
  EXPECT_EQ(other, first);
  std::string error;
  EXPECT_TRUE(loadLibCurl(kLibCurlSoname, &error)) << error;
}

TEST(LibCurlApiTest, RefusesWhatCannotServeInOneLine) {
  const struct {
    std::string soname;
    std::string reason;  // how the error starts
  } cases[] = {
      {"libgsadmin-absent.so.0", "cannot load libgsadmin-absent.so.0: "},
      {"libc.so.6", "libc.so.6 lacks curl_"},  // loads, but is not libcurl
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_FALSE(loadLibCurl(c.soname, &error)) << c.soname;
    EXPECT_EQ(error.rfind(c.reason, 0), 0u) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace gsadmin
