#include "panel/request_frame.h"

#include <gtest/gtest.h>

#include <string>

namespace gsadmin {
namespace {

constexpr size_t kCap = 1024;

struct Case {
  const char* name;
  std::string bytes;
  FrameStatus status;
  size_t size;  // when complete
};

TEST(RequestFrameTest, FindsWhereTheLibraryStopsReading) {
  const std::string get = "GET / HTTP/1.1\r\nHost: x\r\n\r\n";
  const Case cases[] = {
      {"no body", get, FrameStatus::kComplete, get.size()},
      {"pipelined", get + "GET /b HTTP/1.1\r\n", FrameStatus::kComplete, get.size()},
      {"half", "GET / HTTP/1.1\r\nHost:", FrameStatus::kIncomplete, 0},
      {"empty post", "POST /x HTTP/1.1\r\n\r\n", FrameStatus::kComplete, 20},
      {"body", "POST /x HTTP/1.1\r\ncontent-LENGTH:  3 \r\n\r\nabcd", FrameStatus::kComplete, 44},
      {"body to come", "POST /x HTTP/1.1\r\nContent-Length: 3\r\n\r\nab", FrameStatus::kIncomplete,
       0},
      {"empty length", "POST /x HTTP/1.1\r\nContent-Length:\r\n\r\n", FrameStatus::kComplete, 37},
      {"bare line feed skipped", "POST /x HTTP/1.1\r\nContent-Length: 9\n\r\n",
       FrameStatus::kComplete, 38},
      {"same length twice", "POST / HTTP/1.1\r\nContent-Length: 1\r\nContent-Length: 1\r\n\r\nz",
       FrameStatus::kComplete, 58},
      {"two lengths", "POST / HTTP/1.1\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\n",
       FrameStatus::kBad, 0},
      {"signed length", "POST / HTTP/1.1\r\nContent-Length: -1\r\n\r\n", FrameStatus::kBad, 0},
      {"huge length", "POST / HTTP/1.1\r\nContent-Length: 99999999999999999999\r\n\r\n",
       FrameStatus::kBad, 0},
      {"body over the cap", "POST / HTTP/1.1\r\nContent-Length: 1025\r\n\r\n",
       FrameStatus::kBodyTooLarge, 0},
      {"chunked", "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n",
       FrameStatus::kLengthRequired, 0},
      {"headers over the cap", "GET / HTTP/1.1\r\n" + std::string(kCap, 'a'),
       FrameStatus::kHeadersTooLarge, 0},
      {"ended past the cap", "GET / HTTP/1.1\r\nA: " + std::string(kCap, 'a') + "\r\n\r\n",
       FrameStatus::kHeadersTooLarge, 0},
  };
  for (const Case& c : cases) {
    RequestFrame frame(kCap, kCap);
    EXPECT_EQ(frame.measure(c.bytes), c.status) << c.name;
    if (c.status == FrameStatus::kComplete) {
      EXPECT_EQ(frame.size(), c.size) << c.name;
    }
  }
}

TEST(RequestFrameTest, BytesArrivingOneAtATimeEndTheSame) {
  const std::string request = "POST /x HTTP/1.1\r\nContent-Length: 2\r\n\r\nok";
  RequestFrame frame(kCap, kCap);
  for (size_t i = 1; i < request.size(); ++i) {
    EXPECT_EQ(frame.measure(std::string_view(request).substr(0, i)), FrameStatus::kIncomplete) << i;
  }
  EXPECT_EQ(frame.measure(request), FrameStatus::kComplete);
  EXPECT_EQ(frame.size(), request.size());
  frame.reset();
  EXPECT_FALSE(frame.headersDone());
  EXPECT_EQ(frame.measure("GET / HTTP/1.1\r\n\r\n"), FrameStatus::kComplete);
}

}  // namespace
}  // namespace gsadmin
