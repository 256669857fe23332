#pragma once

#include <chrono>

#include "platform/FeedbackSoundPlayer.h"

namespace auralis::platform {

// Plays a RIFF WAVE file (16-bit PCM, mono or stereo, any rate) through an RtAudio output stream
// on the first of PulseAudio, ALSA and JACK that has an output device, and returns once it has
// been heard. With no output device, or a file it cannot play, it returns at once. It never
// waits longer than the sound's length and a margin, whatever the audio server does.
class RtAudioFeedbackSoundPlayer final : public FeedbackSoundPlayer {
 public:
  static constexpr std::chrono::milliseconds kMargin{500};

  void playSync(const std::uint8_t* wave, std::size_t bytes) override;
};

}  // namespace auralis::platform
