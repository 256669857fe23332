#pragma once

// Shared by the RtAudio output backends; not part of the library's interface.

#include <RtAudio.h>
#include <sched.h>

namespace auralis::platform {

// An output that must sound as soon as it is asked: the audio server queues only a few short
// blocks ahead of the ear (4 x 256 frames, 23.2 ms at 44100 Hz), where its default queue holds
// up to two seconds. A phrase or sound that starts on a running stream waits behind that queue.
inline constexpr unsigned int kLowLatencyBlockFrames = 256;
inline constexpr unsigned int kLowLatencyBlocks = 4;

// The options for such a stream: the short queue and the smallest periods ALSA allows.
RtAudio::StreamOptions lowLatencyOptions();

// While it lives, the calling thread runs with round-robin real-time scheduling, where the system
// allows it, and so does every thread it starts meanwhile: the stream's own thread and the
// thread of its connection to the server. Opened under it, a stream is fed ahead of ordinary
// work, so that a busy machine neither lets the short queue run dry nor holds up the exchanges
// with the server that opening a stream takes.
class RealTimeScope {
 public:
  RealTimeScope();
  ~RealTimeScope();
  RealTimeScope(const RealTimeScope&) = delete;
  RealTimeScope& operator=(const RealTimeScope&) = delete;

 private:
  int policy_ = SCHED_OTHER;
  sched_param param_{};
  bool raised_ = false;
};

}  // namespace auralis::platform
