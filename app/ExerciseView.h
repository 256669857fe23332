#pragma once

#include <QString>
#include <array>
#include <optional>

#include "display/PitchGraphLayout.h"
#include "exercises/Exercise.h"

namespace auralis {

// The exercises as the window names them, in the order of Exercise.
struct ExerciseItem {
  const char* component;  // the menu item's object name
  const char* caption;
  const char* levelKey;  // the settings key of the level reached
  const char* statusTip;
};

// clang-format off
inline constexpr std::array<ExerciseItem, kExerciseCount> kExerciseItems = {{
    {"Intervals1",    "Inter&vals",     "IntervalsLevel",
     "Sing or name intervals above and below a note"},
    {"ScaleDegrees1", "Scale de&grees", "ScaleDegreesLevel",
     "Sing or name the degrees of a key set by a cadence"},
    {"ChordTones1",   "C&hord tones",   "ChordTonesLevel",
     "Sing the root, third or fifth of a chord, or name its kind"},
}};
// clang-format on

const ExerciseItem& exerciseItemOf(Exercise exercise);

// The pitch classes the note panel may mark while a question stands: the note the task is sung
// from or named against, unless that would give the answer away (the note to sing is that
// pitch class).
std::array<bool, 12> shownPitchClassesOf(const ExerciseQuestion& question);

// The band the pitch graph draws around the note to sing; none in the naming direction.
std::optional<display::TargetBand> targetBandOf(const ExerciseQuestion& question, bool octaveFree);

// The tool tip of a choice button: "major third (key 4)".
QString choiceToolTip(const ExerciseChoice& choice);

// A voice range that asks for nothing impossible: inside the keyboard's notes and at least an
// octave wide, so that every interval up to the octave fits.
bool voiceRangeUsable(int lowNote, int highNote);
inline constexpr int kLowestVoiceNote = 21;    // A0
inline constexpr int kHighestVoiceNote = 108;  // C8

}  // namespace auralis
