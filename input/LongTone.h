#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "engine/Coaching.h"
#include "input/PitchEstimate.h"

namespace auralis {

inline constexpr int kShortestLongToneMs = 2000;
inline constexpr int kLongestLongToneMs = 10000;
// Frames without a voice that a take bridges, about a third of a second: a breath taken in haste
// ends it.
inline constexpr int kLongToneGapFrames = 14;
// Frames in a row on the same note that choose it, when no note was picked.
inline constexpr int kChoosingFrames = 6;

// Scores one long tone: how much of the time the voice stays near the target's centre, how far
// it drifts from the first second to the last, and how much it wobbles. The clock starts with
// the first frame that has a voice, so the breath before costs nothing. No allocation: it runs
// on every frame.
class LongToneScorer {
 public:
  // `midiNote` -1: the first steady note sung is the target. `durationMs` is clamped to 2 to 10 s.
  void start(int midiNote, int durationMs, std::int64_t atMs);
  // One analysed frame; the progress to show. Ends the take when its time is up or the voice has
  // been away too long.
  LongToneProgress frame(const std::optional<SungPitch>& pitch);
  // Ends the take where it stands; the result of the take, once.
  LongToneResult stop();

  bool running() const { return running_; }
  // The take ended by itself and its result waits for stop().
  bool finished() const { return finished_; }

 private:
  static constexpr int kMostFrames = 512;  // above 10 s of frames
  static constexpr int kSecondFrames = 43;

  void hear(const std::optional<SungPitch>& pitch);
  int elapsedMs() const;

  bool running_ = false;
  bool finished_ = false;
  bool completed_ = false;
  std::int64_t atMs_ = 0;
  int target_ = 0;  // 0 while it is chosen from the voice
  int durationMs_ = 0;
  int choosing_ = 0;
  int choosingNote_ = 0;
  int frames_ = 0;  // since the clock started
  int gapRun_ = 0;
  std::array<float, kMostFrames> cents_{};  // of each voiced frame from the target
  int voiced_ = 0;
};

}  // namespace auralis
