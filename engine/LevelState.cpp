#include "engine/LevelState.h"

#include <algorithm>

namespace auralis {

int LevelState::ActiveNoteCount() const {
  return static_cast<int>(std::count(ActivePitchClasses.begin(), ActivePitchClasses.end(), 1));
}

int levelCountOf(LessonMode mode) {
  switch (mode) {
    case LessonMode::Identify:
    case LessonMode::Mimic:
      return identifyLevelCount;
    case LessonMode::Unlock:
      return unlockLevelCount;
    case LessonMode::Sing:
      return singLevelCount;
    case LessonMode::Practice:
    case LessonMode::Meditate:
    case LessonMode::Intervals:
    case LessonMode::ScaleDegrees:
    case LessonMode::ChordTones:
      break;
  }
  return 0;
}

void LoadPracticeRow(LevelState& level) {
  const int kept = level.currentLevel;
  level = LevelState{};
  level.currentLevel = kept;
}

bool LoadLevelRow(LevelState& level, LessonMode mode) {
  if (mode == LessonMode::Practice) return false;
  const LevelRecord* row = &MeditateRow;
  if (mode != LessonMode::Meditate) {
    // A stored mastery value can be anything, so the level is kept inside the table both ways.
    level.currentLevel = std::clamp(level.currentLevel, 0, levelCountOf(mode) - 1);
    switch (mode) {
      case LessonMode::Unlock:
        row = &UnlockLevels[level.currentLevel];
        break;
      case LessonMode::Sing:
        row = &SingLevels[level.currentLevel];
        break;
      default:
        row = &IdentifyLevels[level.currentLevel];
        break;
    }
  }
  level.lessonTable = row;
  level.PaceCode = row->PaceCode;
  level.EchoCode = row->EchoCode;
  level.QuestionType = row->QuestionType;
  level.PlayStyle = row->PlayStyle;
  level.SameOctave = row->SameOctave;
  for (int i = 0; i < 12; ++i) level.ActivePitchClasses[i] = row->pitchClasses[i] == 1 ? 1 : 0;
  for (int i = 0; i < 4; ++i) level.NoteCountChoices[i] = 0;
  const int noteCount = row->QuestionType >= 5 ? 2 : row->QuestionType;
  if (noteCount >= 1 && noteCount <= 4) level.NoteCountChoices[noteCount - 1] = 1;
  level.OctaveChoices.fill(0);
  if (row->OctaveRangeCode >= 1 && row->OctaveRangeCode <= 6) {
    const OctaveRange range = OctaveRanges[row->OctaveRangeCode];
    for (int octave = range.lowest; octave <= range.highest; ++octave)
      level.OctaveChoices[octave - 1] = 1;
  }
  return true;
}

}  // namespace auralis
