#include "platform/DeviceWorker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <future>
#include <mutex>
#include <string>
#include <vector>

#include "platform/OrderedWorker.h"
#include "tests/platform/Gate.h"

namespace auralis::platform {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Task = DeviceWorker::Task;
using testing::Gate;

// What the calls did, and the replies posted to the interface thread, kept for the test to run.
struct Record {
  std::mutex mutex;
  std::vector<std::string> events;
  std::vector<Task> replies;

  void add(std::string event) {
    std::lock_guard lock(mutex);
    events.push_back(std::move(event));
  }
  std::vector<std::string> snapshot() {
    std::lock_guard lock(mutex);
    return events;
  }
  DeviceWorker::PostReplyFn poster() {
    return [this](Task reply) {
      std::lock_guard lock(mutex);
      replies.push_back(std::move(reply));
    };
  }
  // Runs the posted replies here, as the interface thread would.
  void runReplies() {
    std::vector<Task> due;
    {
      std::lock_guard lock(mutex);
      due.swap(replies);
    }
    for (Task& reply : due) reply();
  }
  std::size_t repliesWaiting() {
    std::lock_guard lock(mutex);
    return replies.size();
  }
};

TEST(DeviceWorkerTest, CallsRunInOrderOnTheirOwnThreadAndRepliesWaitForTheInterfaceThread) {
  Record record;
  DeviceWorker worker(DeviceWorker::Mode::OwnThread, record.poster());
  const std::thread::id caller = std::this_thread::get_id();
  std::thread::id device;
  for (int i = 0; i < 3; ++i) worker.run([&record, i] { record.add("run " + std::to_string(i)); });
  worker.call(
      [&] {
        device = std::this_thread::get_id();
        return 42;
      },
      [&](int result) {
        EXPECT_EQ(std::this_thread::get_id(), caller);
        record.add("reply " + std::to_string(result));
      });
  ASSERT_TRUE(worker.waitUntilIdle(Clock::now() + 5s));
  EXPECT_NE(device, caller);
  EXPECT_EQ(record.snapshot(), (std::vector<std::string>{"run 0", "run 1", "run 2"}));
  ASSERT_EQ(record.repliesWaiting(), 1u) << "the reply is posted, not run on the device thread";
  record.runReplies();
  EXPECT_EQ(record.snapshot().back(), "reply 42");
}

TEST(DeviceWorkerTest, ADeviceThatNeverBlocksHasItsCallsAndRepliesRunAtOnce) {
  Record record;
  DeviceWorker worker(DeviceWorker::Mode::AtOnce, record.poster());
  worker.run([&] { record.add("run"); });
  worker.call([] { return 7; }, [&](int result) { record.add("reply " + std::to_string(result)); });
  EXPECT_EQ(worker.ask([] { return std::string("asked"); }).waitUntil(Clock::now()), "asked");
  worker.callAfter(
      20ms, [] { return 2; }, [&](int n) { record.add("delayed " + std::to_string(n)); });
  worker.callAfter(
      10ms, [] { return 1; }, [&](int n) { record.add("delayed " + std::to_string(n)); });
  EXPECT_EQ(record.snapshot(), (std::vector<std::string>{"run", "reply 7"}))
      << "delayed calls wait for the test's clock";
  EXPECT_EQ(record.repliesWaiting(), 0u);
  worker.runDelayedCalls();
  EXPECT_EQ(record.snapshot(),
            (std::vector<std::string>{"run", "reply 7", "delayed 1", "delayed 2"}));
}

TEST(DeviceWorkerTest, ACallThatBlocksHoldsUpOnlyTheLaterCallsIntoItsDevice) {
  Record record;
  auto gate = std::make_shared<Gate>();
  DeviceWorker worker(DeviceWorker::Mode::OwnThread, record.poster());
  worker.run([gate] { gate->pass(); });
  worker.run([&] { record.add("after"); });
  const Answer<int> answer = worker.ask([] { return 5; });
  ASSERT_TRUE(gate->waitUntilEntered());

  EXPECT_EQ(answer.waitUntil(Clock::now() + 50ms), std::nullopt);
  EXPECT_FALSE(worker.idle());
  EXPECT_FALSE(worker.waitUntilIdle(Clock::now() + 20ms));
  EXPECT_TRUE(record.snapshot().empty());

  gate->open();
  EXPECT_EQ(answer.waitUntil(Clock::now() + 5s), 5);
  ASSERT_TRUE(worker.waitUntilIdle(Clock::now() + 5s));
  EXPECT_EQ(record.snapshot(), std::vector<std::string>{"after"});
}

TEST(DeviceWorkerTest, ADelayedCallLetsLaterCallsPassAndRunsWhenDue) {
  Record record;
  DeviceWorker worker(DeviceWorker::Mode::OwnThread, record.poster());
  const auto recordedWithin = [&record](std::size_t count, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (record.snapshot().size() < count && Clock::now() < deadline)
      std::this_thread::sleep_for(5ms);
    return record.snapshot();
  };
  worker.callAfter(
      50ms,
      [&] {
        record.add("delayed");
        return 0;
      },
      [](int) {});
  worker.run([&] { record.add("now"); });
  EXPECT_EQ(recordedWithin(2, 5s), (std::vector<std::string>{"now", "delayed"}));

  worker.callAfter(
      1h,
      [&] {
        record.add("made due");
        return 0;
      },
      [](int) {});
  worker.runDelayedCalls();
  EXPECT_EQ(recordedWithin(3, 5s).back(), "made due");
}

TEST(DeviceWorkerTest, RetriesUntilTheAttemptSucceedsOrIsNoLongerWanted) {
  const struct {
    const char* name;
    int failures;     // attempts that fail before one succeeds
    int wantedUntil;  // attempts after which the device is no longer wanted
    int attempts;
    bool back;
  } cases[] = {{"back at the third attempt", 2, 100, 3, true},
               {"back at once", 0, 100, 1, true},
               {"given up after the second", 5, 2, 2, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DeviceWorker worker(DeviceWorker::Mode::AtOnce, {});
    int attempts = 0;
    int backs = 0;
    worker.retry([&] { return ++attempts > c.failures; }, [&] { return attempts < c.wantedUntil; },
                 [&] { ++backs; });
    EXPECT_EQ(attempts, 0) << "the first attempt waits its delay";
    for (int round = 0; round < 10; ++round) worker.runDelayedCalls();
    EXPECT_EQ(attempts, c.attempts);
    EXPECT_EQ(backs, c.back ? 1 : 0);
  }
}

TEST(DeviceWorkerTest, AWorkerDestroyedDuringACallThatNeverReturnsLeavesItBehind) {
  Record record;
  auto gate = std::make_shared<Gate>();
  std::optional<Answer<int>> answer;
  auto worker = std::make_unique<DeviceWorker>(DeviceWorker::Mode::OwnThread, record.poster());
  worker->call(
      [gate] {
        gate->pass();
        return 1;
      },
      [&](int) { record.add("reply"); });
  answer = worker->ask([] { return 2; });
  ASSERT_TRUE(gate->waitUntilEntered());

  auto destroyed = std::async(std::launch::async, [&worker] { worker.reset(); });
  ASSERT_EQ(destroyed.wait_for(DeviceWorker::kFinishWait + 5s), std::future_status::ready)
      << "the destructor waits for a blocked call for ever";
  EXPECT_EQ(answer->waitUntil(Clock::now()), std::nullopt) << "the queued call was dropped";

  gate->open();
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(record.repliesWaiting(), 0u) << "no reply of an abandoned worker is posted";
}

TEST(OrderedWorkerTest, RetryDelaysDoubleUpToTheLongest) {
  const RetryDelays delays{100ms, 1000ms};
  const struct {
    std::chrono::milliseconds previous, next;
  } cases[] = {{100ms, 200ms}, {400ms, 800ms}, {600ms, 1000ms}, {1000ms, 1000ms}, {5000ms, 1000ms}};
  for (const auto& c : cases) EXPECT_EQ(delays.after(c.previous), c.next) << c.previous.count();
}

TEST(OrderedWorkerTest, StopRunsWhatIsQueuedAndDropsDelayedAndLaterTasks) {
  Record record;
  auto gate = std::make_shared<Gate>();
  OrderedWorker worker;
  worker.run([gate] { gate->pass(); });
  worker.run([&record] { record.add("queued"); });
  worker.runAfter(1h, [&record] { record.add("delayed"); });
  ASSERT_TRUE(gate->waitUntilEntered());

  auto stopped = std::async(std::launch::async, [&worker] { return worker.stop(); });
  std::this_thread::sleep_for(50ms);
  gate->open();
  ASSERT_EQ(stopped.wait_for(5s), std::future_status::ready);
  EXPECT_TRUE(stopped.get());
  worker.run([&record] { record.add("after the stop"); });
  worker.runAfter(0ms, [&record] { record.add("delayed after the stop"); });
  EXPECT_TRUE(worker.idle());
  const std::vector<std::string> events = record.snapshot();
  EXPECT_EQ(events.front(), "queued");
  EXPECT_EQ(std::count(events.begin(), events.end(), "delayed"), 0);
  EXPECT_EQ(std::count(events.begin(), events.end(), "after the stop"), 0);
  EXPECT_EQ(std::count(events.begin(), events.end(), "delayed after the stop"), 0);
}

TEST(OrderedWorkerTest, ARetryRunsItsAttemptUntilItSucceedsAndNoMore) {
  OrderedWorker worker(OrderedWorker::Mode::AtOnce);
  int attempts = 0;
  worker.retry([&attempts] { return ++attempts == 3; }, {1h, 2h});
  EXPECT_EQ(attempts, 0) << "the first attempt waits for its delay";
  for (int round = 1; round <= 5; ++round) {
    worker.runDelayed();
    EXPECT_EQ(attempts, std::min(round, 3)) << "round " << round;
  }
}

TEST(OrderedWorkerTest, AStoppedWorkerForgetsItsRetry) {
  OrderedWorker worker(OrderedWorker::Mode::AtOnce);
  int attempts = 0;
  worker.retry([&attempts] { return ++attempts > 10; }, {1h, 2h});
  worker.runDelayed();
  ASSERT_EQ(attempts, 1);
  EXPECT_TRUE(worker.stop());
  worker.runDelayed();
  EXPECT_EQ(attempts, 1);
}

}  // namespace
}  // namespace auralis::platform
