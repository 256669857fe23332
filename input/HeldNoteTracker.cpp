#include "input/HeldNoteTracker.h"

#include <algorithm>
#include <cmath>

namespace auralis {

namespace {

bool insideBand(double cents) {
  return cents >= kBandLowestCents && cents <= kBandHighestCents;
}

// The cents from the nearest note of a pitch in semitones.
double centsOf(double semitones) {
  return (semitones - static_cast<double>(std::lround(semitones))) * 100.0;
}

}  // namespace

HeldNoteEvents HeldNoteTracker::frame(const std::optional<SungPitch>& pitch, std::int64_t buffer,
                                      int answerWindow) {
  HeldNoteEvents events;
  if (!pitch) {
    away_.reset();  // one frame off, then nothing: it was no note
    if (open_ && ++gapRun_ > kBridgedGapFrames) events = end();
    return events;
  }
  const Pending heard{pitch->semitones, buffer, answerWindow};
  if (!open_) {
    open(heard);
    events.started = true;
    return events;
  }
  if (std::abs(heard.semitones - anchor()) <= kSameNoteSemitones) {
    away_.reset();
    add(heard);
    watchTuning(events);
    return events;
  }
  if (away_ && std::abs(heard.semitones - away_->semitones) <= kSameNoteSemitones) {
    // Two frames agree on another pitch: the next note, from the first of them.
    const Pending first = *away_;
    away_.reset();
    events = end();
    open(first);
    add(heard);
    events.started = true;
    return events;
  }
  away_ = heard;
  return events;
}

HeldNoteEvents HeldNoteTracker::finish() {
  away_.reset();
  return open_ ? end() : HeldNoteEvents{};
}

std::optional<double> HeldNoteTracker::centsSoFar(int midiNote) const {
  if (!open_) return std::nullopt;
  const double semitones = steady_ > 0 ? reference_ + sum_ / steady_ : anchor();
  return (semitones - midiNote) * 100.0;
}

void HeldNoteTracker::open(const Pending& first) {
  open_ = true;
  onsetWindow_ = first.answerWindow;
  firstBuffer_ = first.buffer;
  reference_ = static_cast<int>(std::lround(first.semitones));
  anchorSum_ = 0.0;
  anchorCount_ = 0;
  added_ = 0;
  gapRun_ = 0;
  accepted_ = false;
  delayed_ = 0;
  steady_ = 0;
  sum_ = 0.0;
  sumOfSquares_ = 0.0;
  recentNext_ = 0;
  toldOffTune_ = false;
  add(first);
}

void HeldNoteTracker::add(const Pending& heard) {
  anchorSum_ += heard.semitones;
  ++anchorCount_;
  lastBuffer_ = heard.buffer;
  gapRun_ = 0;
  const int index = added_++;
  if (index < kOnsetFrames) return;
  // The frame that leaves the delay is now known not to be part of the release.
  if (delayed_ == kReleaseFrames) {
    commit(delay_[0]);
    std::move(delay_.begin() + 1, delay_.end(), delay_.begin());
    --delayed_;
  }
  delay_[static_cast<std::size_t>(delayed_++)] = heard;
}

void HeldNoteTracker::commit(const Pending& steady) {
  const double fromReference = steady.semitones - reference_;
  sum_ += fromReference;
  sumOfSquares_ += fromReference * fromReference;
  recent_[static_cast<std::size_t>(steady_ % kOffTuneFrames)] = steady;
  ++steady_;
}

HeldNoteEvents HeldNoteTracker::end() {
  HeldNoteEvents events;
  events.offTuneOver = toldOffTune_;
  toldOffTune_ = false;
  open_ = false;
  if (steady_ < kLeastSteadyFrames) return events;
  const double mean = sum_ / steady_;
  const double variance = std::max(0.0, sumOfSquares_ / steady_ - mean * mean);
  const double semitones = reference_ + mean;
  HeldNoteSpan span;
  span.firstBuffer = firstBuffer_;
  span.lastBuffer = lastBuffer_;
  span.midiNote = static_cast<int>(std::lround(semitones));
  span.meanCents = (semitones - span.midiNote) * 100.0;
  span.spreadCents = std::sqrt(variance) * 100.0;
  span.steadyFrames = steady_;
  span.accepted = accepted_;
  events.ended = span;
  return events;
}

// Over the newest steady frames: told once when they lie outside the band, over when the newest
// of them come back into it. A note the readout took is not told.
void HeldNoteTracker::watchTuning(HeldNoteEvents& events) {
  if (steady_ < kOffTuneFrames) return;
  double sum = 0.0;
  double newestSum = 0.0;
  for (int age = 0; age < kOffTuneFrames; ++age) {
    const double semitones =
        recent_[static_cast<std::size_t>((steady_ - 1 - age) % kOffTuneFrames)].semitones;
    sum += semitones;
    if (age < kBackInBandFrames) newestSum += semitones;
  }
  const bool newestInside = insideBand(centsOf(newestSum / kBackInBandFrames));
  if (toldOffTune_) {
    if (!newestInside && !accepted_) return;
    toldOffTune_ = false;
    events.offTuneOver = true;
    return;
  }
  const double semitones = sum / kOffTuneFrames;
  if (accepted_ || newestInside || insideBand(centsOf(semitones))) return;
  toldOffTune_ = true;
  events.offTune = OffTuneNote{static_cast<int>(std::lround(semitones)), centsOf(semitones)};
}

}  // namespace auralis
