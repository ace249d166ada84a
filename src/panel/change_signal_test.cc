#include "panel/change_signal.h"

#include <gtest/gtest.h>
#include <poll.h>

#include "panel/stream_text.h"

namespace gsadmin {
namespace {

bool readable(const ChangeSignal& signal) {
  pollfd entry{signal.fd(), POLLIN, 0};
  return poll(&entry, 1, 0) == 1;
}

TEST(ChangeSignalTest, RingsOnlyWhileListenedToAndOnceUntilCleared) {
  ChangeSignal signal;
  ASSERT_GE(signal.fd(), 0);
  signal.notify();
  EXPECT_FALSE(readable(signal)) << "no stream open: nothing to wake";
  signal.listen(true);
  signal.notify();
  signal.notify();
  EXPECT_TRUE(readable(signal));
  EXPECT_TRUE(signal.clear());
  EXPECT_FALSE(readable(signal)) << "two changes, one ring";
  EXPECT_FALSE(signal.clear());
  signal.notify();
  EXPECT_TRUE(signal.clear()) << "a change after the clear rings again";
}

TEST(ChangeSignalTest, StopRingsForGoodListenedToOrNot) {
  ChangeSignal signal;
  signal.stop();
  EXPECT_TRUE(signal.stopped());
  EXPECT_TRUE(readable(signal));
  signal.clear();
  EXPECT_TRUE(signal.stopped()) << "for good";
}

TEST(StreamTextTest, ChunksAreSizedInHexAsHttpFramesThem) {
  const struct {
    std::string text;
    std::string chunk;
  } cases[] = {
      {": keep-alive\n\n", "e\r\n: keep-alive\n\n\r\n"},
      {std::string(255, 'x'), "ff\r\n" + std::string(255, 'x') + "\r\n"},
      {std::string(4096, 'y'), "1000\r\n" + std::string(4096, 'y') + "\r\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(chunkOf(c.text), c.chunk);
  ConsoleEntry entry{7, "say \"hi\"", true};
  EXPECT_EQ(
      consoleEventText(entry),
      "event: console\nid: 7\ndata: {\"error\":true,\"seq\":7,\"text\":\"say \\\"hi\\\"\"}\n\n");
  EXPECT_EQ(playersEventText(Snapshot{}), "event: players\ndata: []\n\n");
}

}  // namespace
}  // namespace gsadmin
