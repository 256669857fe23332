#include "devices/LowLatencyOutput.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <thread>

namespace auralis::platform {
namespace {

int policyOfThisThread() {
  int policy = -1;
  sched_param param{};
  pthread_getschedparam(pthread_self(), &policy, &param);
  return policy;
}

int policyOfAThreadStartedHere() {
  int policy = -1;
  std::thread([&] { policy = policyOfThisThread(); }).join();
  return policy;
}

// Whether this system lets an ordinary thread take round-robin scheduling at all (root, or a
// real-time limit); the scope must then hand it on, and otherwise change nothing.
bool realTimeAllowed() {
  bool allowed = false;
  std::thread([&] {
    sched_param param{};
    param.sched_priority = 1;
    allowed = pthread_setschedparam(pthread_self(), SCHED_RR, &param) == 0;
  }).join();
  return allowed;
}

TEST(RealTimeScopeTest, ThreadsStartedInTheScopeRunRoundRobinAndTheCallerGetsItsSchedulingBack) {
  const int expected = realTimeAllowed() ? SCHED_RR : SCHED_OTHER;
  std::thread([&] {
    ASSERT_EQ(policyOfThisThread(), SCHED_OTHER);
    {
      const RealTimeScope realTime;
      EXPECT_EQ(policyOfThisThread(), expected);
      EXPECT_EQ(policyOfAThreadStartedHere(), expected) << "the stream's threads inherit it";
      {
        const RealTimeScope nested;
        EXPECT_EQ(policyOfThisThread(), expected);
      }
      EXPECT_EQ(policyOfThisThread(), expected) << "an inner scope leaves the outer one's";
    }
    EXPECT_EQ(policyOfThisThread(), SCHED_OTHER);
    EXPECT_EQ(policyOfAThreadStartedHere(), SCHED_OTHER);
  }).join();
}

}  // namespace
}  // namespace auralis::platform
