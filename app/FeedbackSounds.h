#pragma once

#include <QByteArray>
#include <array>
#include <chrono>

#include "engine/LessonHost.h"
#include "platform/DeviceWorker.h"
#include "platform/FeedbackSoundPlayer.h"

namespace auralis {

// The four feedback sounds, loaded once from the program's resources and played from memory.
// They play on the sound output's worker while the caller waits, so that the sound, the wait
// after it and the next question keep their order; the caller never waits much longer than
// the sound lasts, whatever the output does.
class FeedbackSounds {
 public:
  // Resource names, in the order of FeedbackSound.
  static constexpr std::array<const char*, 4> kResourceNames = {
      ":/sounds/CORRECT", ":/sounds/INCORRECT", ":/sounds/PROMOTE", ":/sounds/DEMOTE"};
  // How much longer than its sound play() may wait for the output, at each of its two waits.
  static constexpr std::chrono::milliseconds kWaitMargin{150};

  explicit FeedbackSounds(platform::FeedbackSoundPlayer& player);

  // Returns when the sound has been heard; at once without an output device. An output still
  // busy with an earlier sound after kWaitMargin plays nothing, rather than play it late.
  void play(FeedbackSound sound);
  // Empty when the resource is missing.
  const QByteArray& wave(FeedbackSound sound) const;
  // Every sound has finished playing; false when that has not happened by the deadline.
  bool FinishPlaying(std::chrono::steady_clock::time_point deadline);

 private:
  platform::FeedbackSoundPlayer& player_;
  std::array<QByteArray, 4> waves_;
  std::array<std::chrono::steady_clock::duration, 4> lengths_{};
  // Last, so that it goes first: its calls use everything above.
  platform::DeviceWorker worker_;
};

}  // namespace auralis
