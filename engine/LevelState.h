#pragma once

#include <array>
#include <cstdint>

#include "engine/LessonMode.h"
#include "engine/Levels.h"

namespace auralis {

// The level in force, copied from its lesson-table row.
struct LevelState {
  const LevelRecord* lessonTable = &PracticeRow;
  int currentLevel = 0;  // 0-based; shown plus one
  int PaceCode = 0;
  int EchoCode = 0;
  int QuestionType = 0;
  int PlayStyle = 0;
  int SameOctave = 0;
  std::array<std::uint8_t, 12> ActivePitchClasses{};
  std::array<std::uint8_t, 8> OctaveChoices{};     // flag i: octave number i + 1
  std::array<std::uint8_t, 5> NoteCountChoices{};  // flag i: a question of i + 1 notes

  int ActiveNoteCount() const;
};

// Loads the row for mode and currentLevel, clamping currentLevel into the mode's table.
// Returns false in Practice, where nothing is loaded.
bool LoadLevelRow(LevelState& level, LessonMode mode);

// Puts PracticeRow in force: nothing to ask, so nothing to draw from.
void LoadPracticeRow(LevelState& level);

// The size of the lesson table a mode uses; 0 for Practice and Meditate.
int levelCountOf(LessonMode mode);

}  // namespace auralis
