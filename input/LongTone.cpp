#include "input/LongTone.h"

#include <algorithm>
#include <cmath>

#include "input/HeldNoteTracker.h"

namespace auralis {

void LongToneScorer::start(int midiNote, int durationMs, std::int64_t atMs) {
  *this = LongToneScorer{};
  running_ = true;
  atMs_ = atMs;
  target_ = midiNote > 0 && midiNote < 128 ? midiNote : 0;
  durationMs_ = std::clamp(durationMs, kShortestLongToneMs, kLongestLongToneMs);
}

int LongToneScorer::elapsedMs() const {
  return static_cast<int>(frames_ * kFrameMs + 0.5);
}

LongToneProgress LongToneScorer::frame(const std::optional<SungPitch>& pitch) {
  if (running_ && !finished_) hear(pitch);
  LongToneProgress progress;
  progress.midiNote = target_;
  progress.elapsedMs = std::min(elapsedMs(), durationMs_);
  progress.targetMs = durationMs_;
  progress.voiced = pitch.has_value() && target_ > 0;
  if (progress.voiced) progress.cents = (pitch->semitones - target_) * 100.0;
  return progress;
}

void LongToneScorer::hear(const std::optional<SungPitch>& pitch) {
  if (target_ == 0) {
    // The note is chosen by the voice: the same nearest note on a few frames in a row.
    const int note = pitch ? pitch->nearestNote() : 0;
    choosing_ = note != 0 && note == choosingNote_ ? choosing_ + 1 : 1;
    choosingNote_ = note;
    if (note == 0 || choosing_ < kChoosingFrames) return;
    target_ = note;
  }
  if (frames_ == 0 && !pitch) return;  // the clock waits for the voice
  ++frames_;
  if (pitch) {
    gapRun_ = 0;
    if (voiced_ < kMostFrames)
      cents_[static_cast<std::size_t>(voiced_++)] =
          static_cast<float>((pitch->semitones - target_) * 100.0);
  } else if (++gapRun_ > kLongToneGapFrames) {
    finished_ = true;
    return;
  }
  if (elapsedMs() >= durationMs_) {
    finished_ = true;
    completed_ = true;
  }
}

LongToneResult LongToneScorer::stop() {
  LongToneResult result;
  result.atMs = atMs_;
  result.midiNote = target_;
  result.targetMs = durationMs_;
  result.heardMs = static_cast<int>(voiced_ * kFrameMs + 0.5);
  result.completed = completed_;
  running_ = false;
  finished_ = false;
  if (voiced_ == 0) return result;
  double sum = 0.0;
  int within10 = 0;
  int within25 = 0;
  for (int i = 0; i < voiced_; ++i) {
    const double cents = cents_[static_cast<std::size_t>(i)];
    sum += cents;
    if (std::abs(cents) <= 10.0) ++within10;
    if (std::abs(cents) <= 25.0) ++within25;
  }
  const double mean = sum / voiced_;
  double squares = 0.0;
  for (int i = 0; i < voiced_; ++i) {
    const double d = cents_[static_cast<std::size_t>(i)] - mean;
    squares += d * d;
  }
  result.within10 = static_cast<double>(within10) / voiced_;
  result.within25 = static_cast<double>(within25) / voiced_;
  result.wobbleCents = std::sqrt(squares / voiced_);
  // A take shorter than two seconds compares its halves.
  const int span = std::min(kSecondFrames, voiced_ / 2);
  if (span > 0) {
    double first = 0.0;
    double last = 0.0;
    for (int i = 0; i < span; ++i) {
      first += cents_[static_cast<std::size_t>(i)];
      last += cents_[static_cast<std::size_t>(voiced_ - 1 - i)];
    }
    result.driftCents = (last - first) / span;
  }
  return result;
}

}  // namespace auralis
