#include "devices/LowLatencyOutput.h"

#include <pthread.h>
#include <sched.h>

namespace auralis::platform {

namespace {

// Above every ordinary thread, below the audio servers' own (JACK runs its clients at 70 and
// above, PulseAudio asks for 5): the server is never kept from the blocks it waits for.
constexpr int kStreamPriority = 4;

}  // namespace

RtAudio::StreamOptions lowLatencyOptions() {
  RtAudio::StreamOptions options;
  options.flags = RTAUDIO_MINIMIZE_LATENCY | RTAUDIO_SCHEDULE_REALTIME;
  options.numberOfBuffers = kLowLatencyBlocks;
  options.priority = kStreamPriority;
  return options;
}

void scheduleStreamThread() {
  thread_local bool scheduled = false;
  if (scheduled) return;
  scheduled = true;
  int policy = SCHED_OTHER;
  sched_param param{};
  if (pthread_getschedparam(pthread_self(), &policy, &param) == 0 && policy != SCHED_OTHER) return;
  param.sched_priority = kStreamPriority;
  pthread_setschedparam(pthread_self(), SCHED_RR, &param);
}

}  // namespace auralis::platform
