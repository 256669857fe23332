#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/FeedbackSoundPlayer.h"

namespace auralis::platform {

// Records every sound it is asked to play and returns at once.
class FakeFeedbackSoundPlayer : public FeedbackSoundPlayer {
 public:
  struct Played {
    const std::uint8_t* wave;
    std::size_t bytes;
  };
  std::vector<Played> played;
  // The calls are treated as calls that may block: the program makes them on a device thread.
  bool onDeviceThread = false;
  // Runs as a sound begins: a test may hold it there, as an output that stalls would.
  std::function<void()> onPlay;

  void playSync(const std::uint8_t* wave, std::size_t bytes) override {
    if (onPlay) onPlay();
    played.push_back({wave, bytes});
  }
  bool callsMayBlock() const override { return onDeviceThread; }
};

}  // namespace auralis::platform
