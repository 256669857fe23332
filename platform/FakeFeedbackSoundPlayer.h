#pragma once

#include <cstddef>
#include <cstdint>
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

  void playSync(const std::uint8_t* wave, std::size_t bytes) override {
    played.push_back({wave, bytes});
  }
  bool callsMayBlock() const override { return onDeviceThread; }
};

}  // namespace auralis::platform
