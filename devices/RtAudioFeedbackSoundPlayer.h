#pragma once

#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "devices/PulseSoundOutput.h"
#include "platform/FeedbackSoundPlayer.h"

namespace auralis::platform {

// Plays a RIFF WAVE file (16-bit PCM, mono or stereo, any rate) on the default output of the
// first of PulseAudio, ALSA and JACK that has an output device, and returns once it has been
// heard: on PulseAudio (or PipeWire) through libpulse itself (PulseSoundOutput), elsewhere through
// an RtAudio output stream. With no output device, or a file it cannot play, it returns at once. It
// never waits longer than the sound's length and a margin, whatever the audio server does.
class RtAudioFeedbackSoundPlayer final : public FeedbackSoundPlayer {
 public:
  static constexpr std::chrono::milliseconds kMargin{500};

  RtAudioFeedbackSoundPlayer() = default;
  // Gives streams that are still closing half a second more: a program that ends must not wait
  // for an output that has stalled.
  ~RtAudioFeedbackSoundPlayer() override;
  RtAudioFeedbackSoundPlayer(const RtAudioFeedbackSoundPlayer&) = delete;
  RtAudioFeedbackSoundPlayer& operator=(const RtAudioFeedbackSoundPlayer&) = delete;

  void playSync(const std::uint8_t* wave, std::size_t bytes) override;

 private:
  // A stream closes on a thread of its own: closing waits for the output to play the last
  // samples, or for as long as a stuck server takes, while playSync() waits no longer than the
  // sound's length and the margin.
  struct Closing {
    std::thread thread;
    std::future<void> closed;
  };
  void joinClosed();

  PulseSoundOutput pulse_;
  std::vector<Closing> closing_;
};

}  // namespace auralis::platform
