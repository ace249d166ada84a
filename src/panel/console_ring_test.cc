#include "panel/console_ring.h"

#include <gtest/gtest.h>

#include "panel/stream_text.h"
#include "support/manual_clock.h"
#include "support/recording_console.h"

namespace gsadmin {
namespace {

TEST(ConsoleRingTest, TheConsolePassesLinesOnAndKeepsThemNumbered) {
  auto signal = std::make_shared<ChangeSignal>();
  signal->listen(true);
  auto ring = std::make_shared<ConsoleRing>(signal);
  auto recording = std::make_unique<testing::RecordingConsole>();
  testing::RecordingConsole& inner = *recording;
  RingConsole console(std::move(recording), ring);
  console.line("first");
  console.errorLine("oops");
  EXPECT_EQ(inner.takeOutput(), "first\n");
  EXPECT_EQ(inner.takeErrors(), "oops\n");
  EXPECT_TRUE(signal->clear()) << "streams are woken";
  std::vector<ConsoleEntry> lines = ring->since(0, 10);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].seq, 1u);
  EXPECT_EQ(lines[0].text, "first");
  EXPECT_FALSE(lines[0].error);
  EXPECT_EQ(lines[1].seq, 2u);
  EXPECT_TRUE(lines[1].error);
  EXPECT_EQ(ring->since(1, 10).size(), 1u);
  EXPECT_TRUE(ring->since(2, 10).empty());
  EXPECT_EQ(ring->lastSeq(), 2u);
}

// Lines get the clock's wall time once the ring has one, and none after
// it is taken back; the stream sends the time only when known.
TEST(ConsoleRingTest, LinesAreStampedWhileTheRingHasAClock) {
  auto ring = std::make_shared<ConsoleRing>(std::make_shared<ChangeSignal>());
  ManualClock clock;
  ring->append("before", false);
  ring->stampWith(&clock);
  clock.advance(5000);
  ring->append("during", false);
  ring->stampWith(nullptr);
  ring->append("after", false);
  std::vector<ConsoleEntry> lines = ring->since(0, 10);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].time, 0);
  EXPECT_EQ(lines[1].time, clock.wallSeconds());
  EXPECT_EQ(lines[2].time, 0);
  EXPECT_EQ(consoleEventText(lines[1]),
            "event: console\nid: 2\ndata: {\"error\":false,\"seq\":2,"
            "\"text\":\"during\",\"time\":" +
                std::to_string(clock.wallSeconds()) + "}\n\n");
  EXPECT_EQ(consoleEventText(lines[0]).find("time"), std::string::npos);
}

TEST(ConsoleRingTest, AReaderThatFellBehindSkipsWhatWasLost) {
  auto ring = std::make_shared<ConsoleRing>(std::make_shared<ChangeSignal>());
  for (size_t i = 1; i <= ConsoleRing::kCapacity + 10; ++i) ring->append(std::to_string(i), false);
  std::vector<ConsoleEntry> lines = ring->since(3, 5);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0].seq, 11u) << "the oldest kept";
  EXPECT_EQ(lines[0].text, "11");
  EXPECT_EQ(ring->since(ConsoleRing::kCapacity + 5, 100).size(), 5u);
  ring->append(std::string(ConsoleRing::kMaxLineBytes + 100, 'x'), false);
  EXPECT_EQ(ring->since(ring->lastSeq() - 1, 1)[0].text.size(), ConsoleRing::kMaxLineBytes);
}

}  // namespace
}  // namespace gsadmin
