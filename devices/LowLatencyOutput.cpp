#include "devices/LowLatencyOutput.h"

#include <pthread.h>

namespace auralis::platform {

namespace {

// Above every ordinary thread, below the audio servers' own (JACK runs its clients at 70 and
// above, PulseAudio asks for 5): the server is never kept from the blocks it waits for.
constexpr int kStreamPriority = 4;

}  // namespace

RtAudio::StreamOptions lowLatencyOptions() {
  RtAudio::StreamOptions options;
  // Not RTAUDIO_SCHEDULE_REALTIME: on PulseAudio the library then reports the thread's scheduling
  // on standard error. RealTimeScope schedules the stream's thread instead.
  options.flags = RTAUDIO_MINIMIZE_LATENCY;
  options.numberOfBuffers = kLowLatencyBlocks;
  return options;
}

RealTimeScope::RealTimeScope() {
  if (pthread_getschedparam(pthread_self(), &policy_, &param_) != 0 || policy_ != SCHED_OTHER)
    return;
  sched_param raised{};
  raised.sched_priority = kStreamPriority;
  raised_ = pthread_setschedparam(pthread_self(), SCHED_RR, &raised) == 0;
}

RealTimeScope::~RealTimeScope() {
  if (raised_) pthread_setschedparam(pthread_self(), policy_, &param_);
}

}  // namespace auralis::platform
