#pragma once

// Shared by the RtAudio output backends; not part of the library's interface.

#include <RtAudio.h>

namespace auralis::platform {

// An output that must sound as soon as it is asked: the audio server queues only a few short
// blocks ahead of the ear (4 x 128 frames, 11.6 ms at 44100 Hz), where its default queue holds
// up to two seconds. A phrase or sound that starts on a running stream waits behind that queue.
inline constexpr unsigned int kLowLatencyBlockFrames = 128;
inline constexpr unsigned int kLowLatencyBlocks = 4;

// The options for such a stream: the short queue, the smallest periods ALSA allows, and a stream
// thread scheduled ahead of ordinary work where the system allows it.
RtAudio::StreamOptions lowLatencyOptions();

// From a stream's callback: moves the calling thread to real-time round-robin scheduling, once
// per thread. With so short a queue, a busy machine would otherwise let the server run dry
// between two blocks. Where the system refuses, the thread stays as it is.
void scheduleStreamThread();

}  // namespace auralis::platform
