#include "input/PitchHistory.h"

#include <limits>

namespace auralis {

namespace {

constexpr float kGap = std::numeric_limits<float>::quiet_NaN();

}  // namespace

PitchHistory::PitchHistory() {
  values_.fill(kGap);
}

void PitchHistory::add(std::optional<double> semitones) {
  values_[next_] = semitones ? static_cast<float>(*semitones) : kGap;
  next_ = next_ + 1 == kPitchHistoryFrames ? 0 : next_ + 1;
  if (size_ < kPitchHistoryFrames) ++size_;
}

void PitchHistory::clear() {
  values_.fill(kGap);
  next_ = 0;
  size_ = 0;
}

std::optional<double> PitchHistory::latest() const {
  return at(size_ - 1);
}

}  // namespace auralis
