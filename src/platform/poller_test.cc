// The loop's wait ends for a raised flag, a signal or a readable descriptor,
// however long its timeout.

#include "platform/poller.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <thread>

namespace gsadmin {
namespace {

volatile std::sig_atomic_t g_flag = 0;

void raiseFlag(int) {
  g_flag = 1;
}

TEST(PollerTest, WaitUnlessEndsForAFlagASignalOrData) {
  Poller poller;
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  size_t index = poller.watch(fds[0]);

  // A flag already up: no wait at all, even without a time limit.
  g_flag = 1;
  EXPECT_EQ(poller.waitUnless(-1, {nullptr, &g_flag}), 0);

  // A signal during an unlimited wait ends it; its handler's flag is seen.
  struct sigaction action {};
  struct sigaction previous {};
  action.sa_handler = raiseFlag;
  sigemptyset(&action.sa_mask);
  ASSERT_EQ(sigaction(SIGUSR1, &action, &previous), 0);
  g_flag = 0;
  pthread_t waiter = pthread_self();
  std::thread signaller([waiter] {
    while (!g_flag) {
      pthread_kill(waiter, SIGUSR1);
      usleep(1000);
    }
  });
  while (!g_flag) poller.waitUnless(-1, {&g_flag});
  signaller.join();
  sigaction(SIGUSR1, &previous, nullptr);

  // Data on a watched descriptor.
  g_flag = 0;
  ASSERT_EQ(write(fds[1], "x", 1), 1);
  EXPECT_EQ(poller.waitUnless(-1, {&g_flag}), 1);
  EXPECT_TRUE(poller.readable(index));
  close(fds[0]);
  close(fds[1]);
}

}  // namespace
}  // namespace gsadmin
