#pragma once

#include <array>
#include <string_view>

#include "engine/Levels.h"

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

// Each mastery value under the name it is stored by, with the size of the lesson table it is a
// level of; in the order they are written.
struct MasteryField {
  std::string_view name;
  int Mastery::*value;
  int levelCount;
};
inline constexpr std::array<MasteryField, 9> kMasteryFields = {{
    {"IdentifyMastery95Percent", &Mastery::IdentifyMastery95Percent, identifyLevelCount},
    {"IdentifyMastery100Percent", &Mastery::IdentifyMastery100Percent, identifyLevelCount},
    {"IdentifyMastery1Minute", &Mastery::IdentifyMastery1Minute, identifyLevelCount},
    {"MimicMastery95Percent", &Mastery::MimicMastery95Percent, identifyLevelCount},
    {"MimicMastery1Minute", &Mastery::MimicMastery1Minute, identifyLevelCount},
    {"UnlockMastery95Percent", &Mastery::UnlockMastery95Percent, unlockLevelCount},
    {"UnlockMastery1Minute", &Mastery::UnlockMastery1Minute, unlockLevelCount},
    {"SingingMastery95Percent", &Mastery::SingingMastery95Percent, singLevelCount},
    {"SingingMastery1Minute", &Mastery::SingingMastery1Minute, singLevelCount},
}};

}  // namespace auralis
