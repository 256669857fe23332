#include "platform/DeviceWorker.h"

#include <mutex>

namespace auralis::platform {

struct DeviceWorker::Replies {
  Replies(Mode runMode, PostReplyFn post) : mode(runMode), postReply(std::move(post)) {}

  const Mode mode;
  const PostReplyFn postReply;
  std::mutex mutex;
  bool abandoned = false;  // no reply may reach the interface thread any more
};

DeviceWorker::DeviceWorker(Mode mode, PostReplyFn postReply)
    : replies_(std::make_shared<Replies>(mode, std::move(postReply))), worker_(mode) {}

DeviceWorker::~DeviceWorker() {
  // Delayed calls are retries and timers: nobody waits for them any more.
  if (worker_.stop(Clock::now() + kFinishWait)) return;
  // A call that never returns is left to its thread; its reply must not follow.
  std::lock_guard lock(replies_->mutex);
  replies_->abandoned = true;
}

void DeviceWorker::retry(std::function<bool()> attempt, std::function<bool()> wanted, Task back) {
  retryAfter(kFirstRetryDelay, std::move(attempt), std::move(wanted), std::move(back));
}

void DeviceWorker::retryAfter(std::chrono::milliseconds delay, std::function<bool()> attempt,
                              std::function<bool()> wanted, Task back) {
  callAfter(delay, attempt, [this, delay, attempt, wanted, back](bool succeeded) {
    if (!wanted()) return;
    if (succeeded) {
      back();
      return;
    }
    retryAfter(RetryDelays{kFirstRetryDelay, kLongestRetryDelay}.after(delay), attempt, wanted,
               back);
  });
}

void DeviceWorker::respond(const std::shared_ptr<Replies>& replies, Task reply) {
  if (replies->mode == Mode::AtOnce) {
    reply();
    return;
  }
  // Under the lock, so that abandoning the worker and posting a reply never overlap.
  std::lock_guard lock(replies->mutex);
  if (!replies->abandoned && replies->postReply) replies->postReply(std::move(reply));
}

}  // namespace auralis::platform
