#include "devices/PhraseScheduler.h"

#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>

#include <utility>

namespace auralis::platform {

namespace {

constexpr std::chrono::microseconds kSpinAhead{300};
// Low among real-time threads: above every normal one, below audio servers'.
constexpr int kRealTimePriority = 5;

}  // namespace

PhraseScheduler::PhraseScheduler(SendFn send, DoneFn onDone)
    : send_(std::move(send)), onDone_(std::move(onDone)), thread_([this] { run(); }) {}

PhraseScheduler::~PhraseScheduler() {
  stop();
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

void PhraseScheduler::setTicksPerQuarter(int ticksPerQuarter) {
  std::lock_guard lock(mutex_);
  ticksPerQuarter_ = ticksPerQuarter;
}

bool PhraseScheduler::play(MidiStreamHeader* header) {
  {
    std::lock_guard lock(mutex_);
    if (header_ != nullptr) return false;
    phrase_ = timedPhrase(*header);
    next_ = 0;
    zero_ = std::chrono::steady_clock::now();
    header_ = header;
  }
  wake_.notify_one();
  return true;
}

void PhraseScheduler::stop() {
  std::lock_guard lock(mutex_);
  header_ = nullptr;
  releaseSounding();
  wake_.notify_one();
}

void PhraseScheduler::run() {
  // A sleeping thread wakes up to 50 µs late by default, on top of the wake-up itself; and under
  // load a thread of normal priority may wait for others' time slices. Real-time priority is
  // taken where the system grants it.
  prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
  const sched_param priority{kRealTimePriority};
  pthread_setschedparam(pthread_self(), SCHED_FIFO, &priority);
  std::unique_lock lock(mutex_);
  while (!quit_) {
    if (header_ == nullptr) {
      wake_.wait(lock);
      continue;
    }
    const bool ended = next_ == phrase_.messages.size();
    const std::int64_t ticks = ended ? phrase_.endTicks : phrase_.messages[next_].ticks;
    const auto deadline = zero_ + ticksToDuration(ticks, ticksPerQuarter_);
    const auto now = std::chrono::steady_clock::now();
    if (now < deadline - kSpinAhead) {
      // Also woken early by play(), stop() or the end of the run: either way, look again.
      wake_.wait_until(lock, deadline - kSpinAhead);
      continue;
    }
    if (now < deadline) {
      // The last stretch is waited out awake, since a wake-up may come late by as much.
      lock.unlock();
      while (std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
      lock.lock();
      continue;
    }
    if (!ended) {
      const std::uint32_t message = phrase_.messages[next_++].message;
      send_(message);
      track(message);
      continue;
    }
    MidiStreamHeader* header = std::exchange(header_, nullptr);
    lock.unlock();
    if (onDone_) onDone_(header);
    lock.lock();
  }
}

void PhraseScheduler::track(std::uint32_t message) {
  const std::size_t channel = message & 0x0F;
  const std::size_t note = (message >> 8) & 0x7F;
  if (isNoteOn(message)) sounding_[channel].set(note);
  if (isNoteOff(message)) sounding_[channel].reset(note);
}

void PhraseScheduler::releaseSounding() {
  for (std::uint32_t channel = 0; channel < sounding_.size(); ++channel) {
    for (std::uint32_t note = 0; note < 128; ++note)
      if (sounding_[channel].test(note)) send_(0x80 | channel | note << 8);
    sounding_[channel].reset();
  }
}

}  // namespace auralis::platform
