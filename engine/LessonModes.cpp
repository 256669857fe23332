#include "engine/Lesson.h"

namespace auralis {

void Lesson::modeCommand(LessonItem item, LessonMode mode) {
  menus.checkedLesson = item;
  host_.lessonItemChecked(item);
  setLessonMode(mode);
}

void Lesson::Identify1Click() {
  modeCommand(LessonItem::Identify1, LessonMode::Identify);
  level.currentLevel = mastery.IdentifyMastery95Percent;
  startLesson();
}

void Lesson::Unlock1Click() {
  modeCommand(LessonItem::Unlock1, LessonMode::Unlock);
  level.currentLevel = mastery.UnlockMastery1Minute;
  startLesson();
}

void Lesson::Sing1Click() {
  modeCommand(LessonItem::Sing1, LessonMode::Sing);
  level.currentLevel = mastery.SingingMastery95Percent;
  startLesson();
}

void Lesson::MimicSing1Click() {
  modeCommand(LessonItem::MimicSing1, LessonMode::Mimic);
  level.currentLevel = mastery.MimicMastery95Percent;
  startLesson();
}

void Lesson::Meditate1Click() {
  modeCommand(LessonItem::Meditate1, LessonMode::Meditate);
  startLesson();
}

void Lesson::Warmup1Click() {
  modeCommand(LessonItem::Warmup1, LessonMode::Practice);
  // Show Practice Singing's own texts rather than those of the lesson just left.
  UpdateTexts();
  UpdateLevelPanels();
}

void Lesson::listenForAnyNote() {
  micWanted = true;
  level.ActivePitchClasses.fill(1);
  level.PaceCode = kPaceNone;
  FramesSincePlay = 0;
}

void Lesson::setLessonMode(LessonMode mode) {
  lessonMode = mode;
  switch (mode) {
    case LessonMode::Identify:
      setMicrophoneWanted(false);
      acceptMidiAnswers = true;
      acceptKeyAnswers = true;
      break;
    case LessonMode::Unlock:
    case LessonMode::Sing:
    case LessonMode::Mimic:
      setMicrophoneWanted(true);
      acceptMidiAnswers = false;
      acceptKeyAnswers = false;
      break;
    case LessonMode::Practice:
      LoadPracticeRow(level);
      setMicrophoneWanted(true);
      acceptMidiAnswers = true;
      acceptKeyAnswers = true;
      question.QuestionNoteCount = 0;
      // No question means nothing to replay: a new-question key or the timer must stay silent.
      ClearEvents(phrases.QuestionPhrase);
      level.ActivePitchClasses.fill(0);
      host_.repaintNotePanel();
      break;
    case LessonMode::Meditate:
      question.MeditationNote = -1;
      level.lessonTable = &MeditateRow;
      setMicrophoneWanted(true);
      acceptMidiAnswers = true;
      acceptKeyAnswers = true;
      LoadLevel();
      break;
    case LessonMode::Intervals:
    case LessonMode::ScaleDegrees:
    case LessonMode::ChordTones:
      // The exercises run beside the lesson, which never takes their modes.
      break;
  }
  scores.LevelCorrect = 0;
  scores.LevelAsked = 0;
  scores.LevelStreak = 0;
}

void Lesson::setMicrophoneWanted(bool on) {
  micWanted = on;
  if (!on && microphoneOn) {
    microphone_.stopMicrophone();
  } else if (on && !microphoneOn) {
    microphone_.startMicrophone();
  }
  microphoneOn = on;
  microphone_.showMicStatus();
}

void Lesson::startLesson() {
  LoadLevel();
  GenerateQuestion();
  UpdateTexts();
  host_.repaintNotePanel();
  playIfNotSing();
  scores.LevelSeconds = 0;
  scores.FastRunSeconds = 0;
  QuestionAge = 0;
}

void Lesson::ResetCorvinmasterylevel1Click() {
  // The two Mimic values are kept.
  mastery.IdentifyMastery95Percent = 0;
  mastery.IdentifyMastery1Minute = 0;
  mastery.IdentifyMastery100Percent = 0;
  mastery.UnlockMastery95Percent = 0;
  mastery.UnlockMastery1Minute = 0;
  mastery.SingingMastery95Percent = 0;
  mastery.SingingMastery1Minute = 0;
  LoadLevel();
  recordLevelChange(LevelEventKind::Reset, level.currentLevel);
}

}  // namespace auralis
