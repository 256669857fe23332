#pragma once

#include "engine/FixedText.h"
#include "engine/LessonMode.h"
#include "engine/LevelState.h"
#include "engine/Random.h"
#include "engine/Scores.h"

namespace auralis {

struct QuestionState;

// "3/4 this level (75.0%);  2 in a row (2 highest);  10/12 total (83.3%)"
void ScoreText(const Scores& scores, FixedText& out);
// "0:07 / 1:32 / 12:05": the fast run, the level and the whole run.
void ClockText(const Scores& scores, FixedText& out);
// "m:ss" for a number of seconds.
void appendClock(int seconds, FixedText& out);

struct InstructionInputs {
  const LevelState& level;
  const QuestionState& question;
  bool solfegeNames;  // Solfege1 checked; letter names otherwise
  bool mimicChecked;  // MimicSing1 checked
};

// The instruction line; in Sing a black key is spelled flat or sharp by a draw.
void InstructionText(const InstructionInputs& in, Random& random, FixedText& out);

// Status panel 2: level position or mode text.
void LevelPanelText(LessonMode mode, int currentLevel, FixedText& out);
// Status panel 3: the mastery levels of the checked lesson.
void MasteryPanelText(LessonItem checked, const Mastery& mastery, FixedText& out);

}  // namespace auralis
