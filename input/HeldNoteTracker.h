#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "engine/Coaching.h"
#include "input/PitchDetector.h"
#include "input/PitchEstimate.h"

namespace auralis {

// One capture buffer, the time between two analysed frames.
inline constexpr double kFrameMs = 1000.0 * kBufferSamples / 44100.0;

// The frames at a note's start and end whose window holds the attack or the release as well as
// the note: left out of its mean.
inline constexpr int kOnsetFrames = 2;
inline constexpr int kReleaseFrames = 2;
// A held note has at least this many frames between its onset and its release.
inline constexpr int kLeastSteadyFrames = 3;
// Frames without a note that a held note bridges: a breath's catch, a consonant.
inline constexpr int kBridgedGapFrames = 2;
// A pitch further than this from the note's mean, on two frames in a row, is the next note;
// vibrato stays well inside.
inline constexpr double kSameNoteSemitones = 0.7;
// About half a second of steady frames outside the band before the singer is told; the newest
// of them tell whether it has come back.
inline constexpr int kOffTuneFrames = 22;
inline constexpr int kBackInBandFrames = 8;
// The band the readout accepts, in cents: sub-bands 3 to 8.
inline constexpr double kBandLowestCents = -25.0;
inline constexpr double kBandHighestCents = 100.0 / 6.0;

// A held note as the tracker measured it, in capture buffers.
struct HeldNoteSpan {
  std::int64_t firstBuffer = 0;
  std::int64_t lastBuffer = 0;  // the last frame with the note
  int midiNote = 0;
  double meanCents = 0.0;
  double spreadCents = 0.0;
  int steadyFrames = 0;
  bool accepted = false;

  int durationMs() const {
    return static_cast<int>(static_cast<double>(lastBuffer - firstBuffer + 1) * kFrameMs + 0.5);
  }
};

// What one frame changed.
struct HeldNoteEvents {
  std::optional<HeldNoteSpan> ended;   // a held note ended (too short a sound is no held note)
  bool started = false;                // a new note began on this frame or the one before
  std::optional<OffTuneNote> offTune;  // the note has been held outside the band long enough
  bool offTuneOver = false;            // what was told no longer holds
};

// Follows every analysed frame and cuts the sung pitch into held notes: a note begins with a
// pitch after silence or after a jump, and ends after more than a short gap, or with a jump.
// Its mean and spread come from the pitch between sub-bands over its steady part. It also tells
// a note held outside the band the readout accepts, unless the readout took it: vibrato may
// carry a note's edge into the band long enough. No allocation: it runs on every frame.
class HeldNoteTracker {
 public:
  // `answerWindow` is the lesson's count of questions and retries begun, so that a note can be
  // told apart from one that began before the question it might answer.
  HeldNoteEvents frame(const std::optional<SungPitch>& pitch, std::int64_t buffer,
                       int answerWindow);
  // Listening stopped: the note sounding, if it is long enough, ends here.
  HeldNoteEvents finish();
  // The readout accepted the note sounding.
  void markAccepted() { accepted_ = open_; }

  bool sounding() const { return open_; }
  // A note is sounding that began before the answer window given.
  bool soundingBefore(int answerWindow) const { return open_ && onsetWindow_ != answerWindow; }
  // The cents from `midiNote` over the steady part so far; none before it has a frame.
  std::optional<double> centsSoFar(int midiNote) const;

 private:
  struct Pending {
    double semitones;
    std::int64_t buffer;
    int answerWindow;
  };

  void open(const Pending& first);
  void add(const Pending& heard);
  void commit(const Pending& steady);
  HeldNoteEvents end();
  void watchTuning(HeldNoteEvents& events);
  double anchor() const { return anchorSum_ / anchorCount_; }

  bool open_ = false;
  int onsetWindow_ = 0;
  std::int64_t firstBuffer_ = 0;
  std::int64_t lastBuffer_ = 0;
  int reference_ = 0;  // the note the sums are measured from, in semitones
  double anchorSum_ = 0.0;
  int anchorCount_ = 0;
  int added_ = 0;
  int gapRun_ = 0;
  bool accepted_ = false;
  std::optional<Pending> away_;  // one frame off the note: an outlier, or the next note

  // The newest frames, not yet known to be before the release.
  std::array<Pending, kReleaseFrames> delay_{};
  int delayed_ = 0;

  // The steady part.
  int steady_ = 0;
  double sum_ = 0.0;
  double sumOfSquares_ = 0.0;

  // The newest steady frames, for the tuning message.
  std::array<Pending, kOffTuneFrames> recent_{};
  int recentNext_ = 0;
  bool toldOffTune_ = false;
};

}  // namespace auralis
