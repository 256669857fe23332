#pragma once

#include <cstddef>
#include <cstdint>

namespace auralis::platform {

// Plays a complete RIFF WAVE file held in memory and returns when it has finished. With no
// output device it returns at once.
class FeedbackSoundPlayer {
 public:
  virtual ~FeedbackSoundPlayer() = default;
  virtual void playSync(const std::uint8_t* wave, std::size_t bytes) = 0;
  // Whether a call may block, so that it must run away from the interface thread.
  virtual bool callsMayBlock() const { return true; }
};

}  // namespace auralis::platform
