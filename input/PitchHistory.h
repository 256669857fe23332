#pragma once

#include <array>
#include <cmath>
#include <optional>

namespace auralis {

// Ten seconds of frames at 44100 / 1024 frames a second, rounded up.
inline constexpr int kPitchHistoryFrames = 431;

// The sung pitch of the latest frames, oldest first, in a fixed ring. A frame without a note
// leaves a gap; values are kept as detected, octave jumps included.
class PitchHistory {
 public:
  PitchHistory();

  // A MIDI note number on a continuous scale, or none for a frame without a note.
  void add(std::optional<double> semitones);
  void clear();

  // Frames held, up to kPitchHistoryFrames.
  int size() const { return size_; }
  // Frame i of those held, 0 the oldest; none for a gap or outside the ring. Inline: a paint
  // reads every frame.
  std::optional<double> at(int i) const {
    if (i < 0 || i >= size_) return std::nullopt;
    int slot = next_ - size_ + i;
    if (slot < 0) slot += kPitchHistoryFrames;
    const float value = values_[slot];
    if (std::isnan(value)) return std::nullopt;  // a gap
    return value;
  }
  std::optional<double> latest() const;

 private:
  std::array<float, kPitchHistoryFrames> values_;  // NaN marks a gap
  int next_ = 0;
  int size_ = 0;
};

}  // namespace auralis
