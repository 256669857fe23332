#pragma once

#include <QByteArray>
#include <array>

#include "engine/LessonHost.h"
#include "platform/FeedbackSoundPlayer.h"

namespace auralis {

// The four feedback sounds, loaded once from the program's resources and played from memory.
class FeedbackSounds {
 public:
  // Resource names, in the order of FeedbackSound.
  static constexpr std::array<const char*, 4> kResourceNames = {
      ":/sounds/CORRECT", ":/sounds/INCORRECT", ":/sounds/PROMOTE", ":/sounds/DEMOTE"};

  explicit FeedbackSounds(platform::FeedbackSoundPlayer& player);

  // Returns when the sound has been heard; at once without an output device.
  void play(FeedbackSound sound);
  // Empty when the resource is missing.
  const QByteArray& wave(FeedbackSound sound) const;

 private:
  platform::FeedbackSoundPlayer& player_;
  std::array<QByteArray, 4> waves_;
};

}  // namespace auralis
