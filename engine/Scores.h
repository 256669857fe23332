#pragma once

namespace auralis {

struct Scores {
  // Cleared together by ResetLevelScores.
  int LevelCorrect = 0;
  int LevelAsked = 0;  // a wrong attempt at the same question counts again
  int LevelStreak = 0;
  int LevelBestStreak = 0;
  // For the whole run.
  int TotalCorrect = 0;
  int TotalAsked = 0;
  // Clocks, in timer ticks (seconds).
  int ElapsedSeconds = 0;
  int LevelSeconds = 0;    // counted while LevelAsked is above 0
  int FastRunSeconds = 0;  // the current run of quick correct answers
};

// 0-based level indices: every level from index 1 up to the value was left meeting its criterion.
struct Mastery {
  int IdentifyMastery95Percent = 0;
  int IdentifyMastery100Percent = 0;
  int IdentifyMastery1Minute = 0;
  int MimicMastery95Percent = 0;
  int MimicMastery1Minute = 0;
  int UnlockMastery95Percent = 0;
  int UnlockMastery1Minute = 0;
  int SingingMastery95Percent = 0;
  int SingingMastery1Minute = 0;

  bool operator==(const Mastery&) const = default;
};

}  // namespace auralis
