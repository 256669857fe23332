#include "engine/Lesson.h"
#include "engine/Texts.h"

namespace auralis {

void Lesson::LoadLevel() {
  if (LoadLevelRow(level, lessonMode)) UpdateLevelPanels();
}

void Lesson::ResetLevelScores() {
  scores.LevelCorrect = 0;
  scores.LevelAsked = 0;
  scores.LevelStreak = 0;
  scores.LevelBestStreak = 0;
  UpdateTexts();
  host_.repaintNotePanel();
}

namespace {

bool ninetyFivePercent(const Scores& s) {
  return s.LevelAsked > 0 && static_cast<double>(s.LevelCorrect) / s.LevelAsked >= 0.95;
}

// A value rises only when the chain below the level being left is unbroken.
void raiseIf(bool criterion, int& value, int levelLeft) {
  if (criterion && value == levelLeft - 1) value = levelLeft;
}

}  // namespace

void Lesson::Promote() {
  const int left = level.currentLevel;
  const Scores& s = scores;
  Mastery& m = mastery;
  switch (lessonMode) {
    case LessonMode::Identify:
      raiseIf(s.LevelSeconds <= 60, m.IdentifyMastery1Minute, left);
      raiseIf(ninetyFivePercent(s), m.IdentifyMastery95Percent, left);
      raiseIf(s.LevelCorrect == s.LevelAsked, m.IdentifyMastery100Percent, left);
      break;
    case LessonMode::Unlock:
      raiseIf(s.LevelCorrect >= 10 && s.LevelSeconds <= 66, m.UnlockMastery1Minute, left);
      break;
    case LessonMode::Sing:
      raiseIf(s.LevelCorrect >= 10 && s.LevelSeconds <= 60, m.SingingMastery1Minute, left);
      raiseIf(ninetyFivePercent(s), m.SingingMastery95Percent, left);
      break;
    case LessonMode::Mimic:
      raiseIf(s.LevelCorrect >= 10 && s.LevelSeconds <= 60, m.MimicMastery1Minute, left);
      raiseIf(ninetyFivePercent(s), m.MimicMastery95Percent, left);
      break;
    default:
      break;
  }
  host_.saveMastery(mastery);
  scores.LevelSeconds = 0;
  scores.FastRunSeconds = 0;
  // At the last Identify level the level stays and its scores go on counting.
  if (left >= identifyLevelCount - 1) return;
  level.currentLevel = left + 1;
  ResetLevelScores();
  LoadLevel();
  host_.repaintNotePanel();
  UpdateTexts();
  recordLevelChange(LevelEventKind::Promotion, left);
}

void Lesson::UpdateTexts() {
  text_.clear();
  InstructionText({level, question, menus.Solfege1, menus.checkedLesson == LessonItem::MimicSing1},
                  random, text_);
  host_.setInstructionText(text_.view());
  // A Sing line is complete once set; the other lines are followed by a repaint of the panel.
  if (level.PaceCode != kPaceSing) host_.repaintNotePanel();
  text_.clear();
  ScoreText(scores, text_);
  host_.setStatusText(4, text_.view());
}

void Lesson::UpdateLevelPanels() {
  text_.clear();
  LevelPanelText(lessonMode, level.currentLevel, text_);
  host_.setStatusText(2, text_.view());
  text_.clear();
  MasteryPanelText(menus.checkedLesson, mastery, text_);
  host_.setStatusText(3, text_.view());
}

void Lesson::UpdateClock() {
  text_.clear();
  ClockText(scores, text_);
  host_.setStatusText(0, text_.view());
}

}  // namespace auralis
