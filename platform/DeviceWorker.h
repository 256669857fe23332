#pragma once

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

#include "platform/OrderedWorker.h"

namespace auralis::platform {

// The result of a call that runs on a device's thread, for a caller that may wait for it a
// bounded time.
template <class Result>
class Answer {
 public:
  explicit Answer(std::shared_future<Result> future) : future_(std::move(future)) {}

  // The result once the call has returned; nothing when it has not by the deadline, or never will.
  std::optional<Result> waitUntil(std::chrono::steady_clock::time_point deadline) const {
    if (!future_.valid() || future_.wait_until(deadline) != std::future_status::ready)
      return std::nullopt;
    try {
      return future_.get();
    } catch (const std::future_error&) {
      return std::nullopt;  // the call was dropped with its abandoned worker
    }
  }

 private:
  std::shared_future<Result> future_;
};

// Runs the calls into one device one at a time, in the order given, on an OrderedWorker, so that
// a call that blocks holds up only the later calls into the same device, never the caller. A
// call's reply comes back on the interface thread through postReply.
//
// A device that never blocks, such as a scripted one, runs its calls at once on the caller's
// thread, replies included, so that it behaves exactly as if it were called directly.
class DeviceWorker {
 public:
  using Task = OrderedWorker::Task;
  // Hands a reply to the interface thread, which runs it after what was posted before it.
  using PostReplyFn = std::function<void(Task reply)>;
  using Clock = OrderedWorker::Clock;
  // OwnThread: a thread of the worker's own, and replies are posted; AtOnce: the caller's
  // thread, at once, replies too.
  using Mode = OrderedWorker::Mode;

  // How long the destructor waits for the calls still queued before it leaves them to their
  // thread, which then ends on its own once they return, if ever.
  static constexpr std::chrono::milliseconds kFinishWait{500};

  static Mode modeFor(bool callsMayBlock) { return callsMayBlock ? Mode::OwnThread : Mode::AtOnce; }

  DeviceWorker(Mode mode, PostReplyFn postReply);
  ~DeviceWorker();
  DeviceWorker(const DeviceWorker&) = delete;
  DeviceWorker& operator=(const DeviceWorker&) = delete;

  void run(Task call) { worker_.run(std::move(call)); }

  // Runs call on the device's thread, then reply(result) on the interface thread.
  template <class Call, class Reply>
  void call(Call call, Reply reply) {
    run(replying(std::move(call), std::move(reply)));
  }

  // As call, once delay has passed. Later calls without a delay do not wait for it. A worker
  // that runs its calls at once keeps delayed calls until runDelayedCalls().
  template <class Call, class Reply>
  void callAfter(std::chrono::milliseconds delay, Call call, Reply reply) {
    worker_.runAfter(delay, replying(std::move(call), std::move(reply)));
  }

  // Runs call on the device's thread; the caller may wait for its result.
  template <class Call>
  auto ask(Call call) -> Answer<std::invoke_result_t<Call&>> {
    using Result = std::invoke_result_t<Call&>;
    auto promise = std::make_shared<std::promise<Result>>();
    Answer<Result> answer(promise->get_future().share());
    run([promise, call = std::move(call)]() mutable { promise->set_value(call()); });
    return answer;
  }

  // True once every call given so far, except delayed ones not yet due, has returned; false
  // when that has not happened by the deadline.
  bool waitUntilIdle(Clock::time_point deadline) { return worker_.waitUntilIdle(deadline); }
  bool idle() const { return worker_.idle(); }

  // Makes every delayed call given so far due now, in the order of their due times.
  void runDelayedCalls() { worker_.runDelayed(); }

  // Brings a lost device back: runs attempt on the device's thread after a short delay, then
  // again after longer ones while it fails (up to kLongestRetryDelay apart), for as long as
  // wanted() holds on the interface thread. Once an attempt succeeds, back() runs there.
  void retry(std::function<bool()> attempt, std::function<bool()> wanted, Task back);
  static constexpr std::chrono::milliseconds kFirstRetryDelay{100};
  static constexpr std::chrono::milliseconds kLongestRetryDelay{1000};

  Mode mode() const { return worker_.mode(); }

 private:
  struct Replies;

  void retryAfter(std::chrono::milliseconds delay, std::function<bool()> attempt,
                  std::function<bool()> wanted, Task back);
  static void respond(const std::shared_ptr<Replies>& replies, Task reply);

  // Each call holds the state of the replies, not the worker: an abandoned call may return after
  // the worker has gone.
  template <class Call, class Reply>
  Task replying(Call call, Reply reply) {
    return [replies = replies_, call = std::move(call), reply = std::move(reply)]() mutable {
      respond(replies, [reply, result = call()]() mutable { reply(std::move(result)); });
    };
  }

  std::shared_ptr<Replies> replies_;
  OrderedWorker worker_;
};

}  // namespace auralis::platform
