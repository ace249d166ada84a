#include "console/line_outlet.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <future>
#include <string>
#include <thread>

#include "console/console.h"

namespace gsadmin {
namespace {

// What `fd` gives until it has nothing more (its end, or nothing waiting
// when it does not block).
std::string readAll(int fd) {
  std::string text;
  char buffer[65536];
  for (ssize_t got; (got = ::read(fd, buffer, sizeof(buffer))) > 0;) text.append(buffer, got);
  return text;
}

// A pipe whose reader the test plays, closed at the end.
struct Pipe {
  int read = -1;
  int write = -1;
  Pipe() {
    int fds[2];
    EXPECT_EQ(::pipe(fds), 0);
    read = fds[0];
    write = fds[1];
  }
  ~Pipe() {
    if (read >= 0) ::close(read);
    if (write >= 0) ::close(write);
  }
  void closeWrite() {
    ::close(write);
    write = -1;
  }
  // Everything until the writers close, read on another thread.
  std::future<std::string> readToEnd() {
    return std::async(std::launch::async, [fd = read] { return readAll(fd); });
  }
  // What has arrived so far, without waiting.
  std::string readWaiting() {
    int flags = ::fcntl(read, F_GETFL);
    ::fcntl(read, F_SETFL, flags | O_NONBLOCK);
    std::string text = readAll(read);
    ::fcntl(read, F_SETFL, flags);
    return text;
  }
};

// `count` numbered lines of 100 bytes, alternately on `first` and `second`
// (which may be one pipe), written on another thread; whether that thread
// was done within 30 s, however full the pipe.
bool writeLines(LineOutlet& outlet, int first, int second, int count) {
  std::future<void> writing = std::async(std::launch::async, [&] {
    for (int i = 0; i < count; ++i) {
      char number[8];
      std::snprintf(number, sizeof(number), "%07d", i % 10000000);
      outlet.write(i % 2 == 0 ? first : second,
                   "line " + std::string(number) + std::string(88, ' '));
    }
  });
  return writing.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
}

TEST(LineOutletTest, ALineIsWrittenAtOnceWhileItsReaderKeepsUp) {
  Pipe pipe;
  LineOutlet outlet;
  outlet.write(pipe.write, "first");
  outlet.write(pipe.write, "");
  EXPECT_EQ(pipe.readWaiting(), "first\n\n");
  EXPECT_EQ(outlet.takeDropped(), 0u);
}

// Two megabytes into a pipe nobody reads: the writer goes on, what fits
// waits in order (across two descriptors of the pipe), and the rest is
// counted as dropped rather than cut or reordered.
TEST(LineOutletTest, AReaderThatStopsCostsLinesNeverTheWritersTime) {
  constexpr int kLines = 20000;
  Pipe pipe;
  int second = ::dup(pipe.write);
  LineOutlet outlet;
  ASSERT_TRUE(writeLines(outlet, pipe.write, second, kLines)) << "the writer was held";
  EXPECT_EQ(outlet.takeDropped(), 0u) << "lines still wait";
  std::future<std::string> read = pipe.readToEnd();
  ASSERT_TRUE(outlet.drain(10000));
  uint64_t dropped = outlet.takeDropped();
  pipe.closeWrite();
  ::close(second);
  std::string text = read.get();
  ASSERT_EQ(text.size() % 101, 0u) << "every line whole";
  int previous = -1;
  for (size_t at = 0; at < text.size(); at += 101) {
    int number = std::stoi(text.substr(at + 5, 7));
    EXPECT_GT(number, previous) << "in order, none twice";
    previous = number;
  }
  EXPECT_GT(dropped, 0u);
  EXPECT_EQ(text.size() / 101 + dropped, static_cast<size_t>(kLines));
  EXPECT_LE(text.size(), 65536 + LineOutlet::kMaxWaitingBytes + 101);
}

// At its end the outlet gives waiting lines its patience and no more; they
// still reach a reader that comes back while the process lives.
TEST(LineOutletTest, TheEndWaitsItsPatienceForAStuckReaderAndNoLonger) {
  Pipe pipe;
  std::future<void> ended = std::async(std::launch::async, [&] {
    LineOutlet outlet(100);
    writeLines(outlet, pipe.write, pipe.write, 2000);
  });
  ASSERT_EQ(ended.wait_for(std::chrono::seconds(30)), std::future_status::ready);
  std::string text;
  while (text.size() < 2000 * 101) {
    std::string more = pipe.readWaiting();
    if (more.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    text += more;
  }
  EXPECT_EQ(text.substr(text.size() - 101, 12), "line 0001999");
}

TEST(LineOutletTest, AConsoleSaysOnItsErrorStreamHowManyLinesItsReaderMissed) {
  Pipe out;
  Pipe err;
  std::FILE* outFile = ::fdopen(::dup(out.write), "w");
  std::FILE* errFile = ::fdopen(::dup(err.write), "w");
  {
    StdioConsole console(outFile, errFile);
    std::future<void> writing = std::async(std::launch::async, [&] {
      for (int i = 0; i < 20000; ++i) console.line(std::string(100, 'x'));
    });
    bool held = writing.wait_for(std::chrono::seconds(30)) != std::future_status::ready;
    std::future<std::string> read = out.readToEnd();
    ASSERT_FALSE(held) << "the console was held by its reader";
    std::string said;
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (said.find(" console lines dropped: their reader fell behind\n") == std::string::npos &&
           std::chrono::steady_clock::now() < until) {
      console.line("after");
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      said += err.readWaiting();
    }
    EXPECT_EQ(said.rfind("gsadmin: ", 0), 0u) << said;
    EXPECT_NE(said.find(" console lines dropped: their reader fell behind\n"), std::string::npos);
    std::fclose(outFile);
    out.closeWrite();
    EXPECT_NE(read.get().find("after\n"), std::string::npos);
  }
  std::fclose(errFile);
}

}  // namespace
}  // namespace gsadmin
